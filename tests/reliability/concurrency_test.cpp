// Several quorvex-cli processes on one scene at once. Writers that insert objects and save scripts
// of changing length on their own rows, for a bounded time: every write that reported " ****
// Saved ****" must be in the final scene (a writer that opened the scene just before another
// replaced it must not write over the newer content, nor into the file nobody reads any more).
// Readers running beside them succeed or are told "File used by another program", nothing else;
// readers among themselves never refuse each other.
//
// QUORVEX_STRESS_SECONDS sets how long the writers run (3 seconds in the test suite).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scene/catalogue.h"
#include "scene/result.h"
#include "support/cli_runner.h"
#include "support/load_scene.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::reliability {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::RunCli;

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(scene_, testing::BuildScene(testing::DemoSceneSpec()));
  }

  Catalogue Scan() const {
    auto bytes = LoadScene(scene_);
    EXPECT_TRUE(bytes.ok());
    auto catalogue = ScanCatalogue(SceneImage(*bytes));
    EXPECT_TRUE(catalogue.ok());
    return catalogue.ok() ? *catalogue : Catalogue{};
  }

  const testing::ScratchFolder dir_{"quorvex-concurrency"};
  const std::string scene_ = (dir_ / "scene2.bin").string();
};

bool Busy(const CliRun& run) {
  return run.status == 2 && run.err.find(kFileUsedMessage) != std::string::npos;
}

TEST_F(Concurrency, EveryWriteReportedSavedIsInTheFinalScene) {
  const auto seconds = std::chrono::seconds(testing::EnvNumber("QUORVEX_STRESS_SECONDS", 3));
  // Each writer owns a definition row with a script; new definitions go behind the last one, so
  // the rows keep their numbers.
  const auto before = Scan();
  std::vector<int> rows;
  for (std::size_t i = 0; i < before.rows.size() && rows.size() < 4; ++i) {
    if (!before.rows[i].standalone && before.rows[i].scriptLengthPos) {
      rows.push_back(static_cast<int>(i));
    }
  }
  ASSERT_EQ(rows.size(), 4u);

  struct Writer {
    long operations = 0, saved = 0, busy = 0;
    std::optional<std::string> lastText;  // the last text reported saved
    std::vector<std::string> inserted;    // names reported saved
    std::vector<std::string> failures;    // anything but Saved or "File used by another program"
  };
  std::vector<Writer> writers(rows.size());
  std::atomic<bool> stop{false};
  std::atomic<long> reads{0}, readsBusy{0};
  std::vector<std::string> readFailures;
  std::mutex readMutex;

  const auto deadline = std::chrono::steady_clock::now() + seconds;
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < writers.size(); ++w) {
    threads.emplace_back([&, w] {
      auto& writer = writers[w];
      const auto textFile = (dir_ / ("text" + std::to_string(w))).string();
      for (long n = 0; std::chrono::steady_clock::now() < deadline; ++n) {
        ++writer.operations;
        CliRun run;
        std::string text, name;
        if (n % 2 == 0) {
          // A length that changes from one save to the next: the scene is replaced every time.
          text = "// writer " + std::to_string(w) + " save " + std::to_string(n) +
                 std::string(static_cast<std::size_t>(n % 7), '+') + "\r\nend\r\n";
          testing::WriteFile(textFile, testing::ToBytes(text));
          run = RunCli({"save-script", scene_, std::to_string(rows[w]), textFile});
        } else {
          name = "W" + std::to_string(w) + "n" + std::to_string(n);
          run = RunCli({"insert", scene_, "--name", name, "--category", "male", "--translation",
                        "1,2,3", "--size", "1,1,1"});
        }
        if (run.status == 0 && run.out == " **** Saved ****\n") {
          ++writer.saved;
          if (name.empty()) {
            writer.lastText = text;
          } else {
            writer.inserted.push_back(name);
          }
        } else if (Busy(run)) {
          ++writer.busy;
        } else {
          writer.failures.push_back(std::to_string(run.status) + ": " + run.err);
        }
      }
    });
  }
  threads.emplace_back([&] {
    while (std::chrono::steady_clock::now() < deadline) {
      const auto run = RunCli({"catalogue", scene_});
      ++reads;
      if (Busy(run)) ++readsBusy;
      if (run.status != 0 && !Busy(run)) {
        std::lock_guard<std::mutex> lock(readMutex);
        readFailures.push_back(run.err);
      }
    }
  });
  for (auto& thread : threads) thread.join();
  stop = true;

  const auto after = Scan();
  std::set<ByteString> names;
  for (const auto& row : after.rows) names.insert(row.name);
  const Bytes bytes = *LoadScene(scene_);
  long operations = 0, saved = 0, busy = 0, lost = 0;
  for (std::size_t w = 0; w < writers.size(); ++w) {
    const auto& writer = writers[w];
    operations += writer.operations;
    saved += writer.saved;
    busy += writer.busy;
    for (const auto& failure : writer.failures) ADD_FAILURE() << "writer " << w << ": " << failure;
    for (const auto& name : writer.inserted) {
      if (!names.count(name)) {
        ++lost;
        ADD_FAILURE() << "the insertion of " << name << " was reported saved but is not there";
      }
    }
    if (writer.lastText) {
      const auto& row = after.rows.at(static_cast<std::size_t>(rows[w]));
      const auto script = SceneImage(bytes).bytesAt(*row.scriptLengthPos + 4, *row.scriptLength);
      if (script != *writer.lastText) {
        ++lost;
        ADD_FAILURE() << "writer " << w << "'s last save is not there";
      }
    }
  }
  for (const auto& failure : readFailures) ADD_FAILURE() << "a read failed: " << failure;
  EXPECT_GT(saved, 0);
  std::printf(
      "concurrent writers: %ld operations by %zu writers in %lld s, %ld reported saved, %ld "
      "refused as busy, %ld lost; %ld reads beside them, %ld refused as busy\n",
      operations, writers.size(), static_cast<long long>(seconds.count()), saved, busy, lost,
      reads.load(), readsBusy.load());
}

// Readers take the scene shared: two reading at the same moment never turn each other away.
TEST_F(Concurrency, ReadersNeverRefuseEachOther) {
  constexpr int kReads = 100;
  std::atomic<int> failed{0};
  std::string firstFailure;
  std::mutex mutex;
  auto reader = [&](const char* command) {
    for (int i = 0; i < kReads; ++i) {
      const auto run = RunCli({command, scene_});
      if (run.status == 0) continue;
      ++failed;
      std::lock_guard<std::mutex> lock(mutex);
      if (firstFailure.empty()) firstFailure = run.err;
    }
  };
  std::thread a(reader, "catalogue"), b(reader, "objects");
  a.join();
  b.join();
  EXPECT_EQ(failed.load(), 0) << firstFailure;
}

}  // namespace
}  // namespace quorvex::reliability
