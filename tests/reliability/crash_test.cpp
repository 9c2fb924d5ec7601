// Crash safety: quorvex-cli is killed at random moments while it writes a large scene: script
// saves that grow and shrink the scene, insertions, and saves of a large script that keep its
// length. After every kill the scene must be exactly the old or exactly the new content; a
// temporary ".save" left by the kill must make the next write refuse clearly (never be destroyed),
// and once it is moved away the next write must work.
//
// QUORVEX_CRASH_KILLS and QUORVEX_CRASH_MIB set the number of kills and the scene size
// (scripts/crash.sh runs hundreds of kills on tens of MiB).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "objects/insert_object.h"
#include "scene/catalogue.h"
#include "support/cli_runner.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::reliability {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::EnvNumber;
using testing::RunCli;

// The demo scene with `mib` MiB of neutral data behind its sections, so that every write that
// moves the rest of the file takes a while.
Bytes LargeScene(long mib) {
  auto spec = testing::DemoSceneSpec();
  Bytes filler(static_cast<std::size_t>(mib) << 20);
  for (std::size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<std::uint8_t>(1 + i % 15);
  spec.trailerChunks.push_back(testing::Chunk(0x0301, filler));
  return testing::BuildScene(spec);
}

class CrashSafety : public ::testing::Test {
 protected:
  // After a kill: the scene is one of the two contents, and a leftover temporary file is reported
  // by the next write, which changes nothing; then it is moved away as the message asks.
  void CheckAfterKill(const Bytes& old, const Bytes& updated,
                      const std::vector<std::string>& retry) {
    const auto now = testing::ReadFile(scene_);
    ASSERT_TRUE(now == old || now == updated)
        << "after a kill the scene is neither the old nor the new content (" << now.size()
        << " bytes; old " << old.size() << ", new " << updated.size() << ")";
    if (!fs::exists(temp_)) return;
    ++leftovers_;
    const auto refused = RunCli(retry);
    ASSERT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find(".save"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out.find("Saved"), std::string::npos) << refused.out;
    ASSERT_EQ(testing::ReadFile(scene_), now) << "a write with a leftover .save changed the scene";
    fs::remove(temp_);
  }

  // A third of the kills fall anywhere in a run, the others around the moments when the new
  // content is written to the temporary file, flushed and renamed into place; `timing` is an
  // uninterrupted run of the same kind of write.
  CliRun RunKilled(const std::vector<std::string>& args, const CliRun& timing) {
    const long total = timing.duration.count();
    const long writing = timing.seenAt ? timing.seenAt->count() : 0;
    const long renamed = timing.goneAt ? timing.goneAt->count() : total;
    if (rng_() % 3 == 0) {
      return RunCli(args, {.killAfter = std::chrono::microseconds(rng_() % (total + total / 5))});
    }
    const long window = (renamed - writing) * 3 / 2 + 1000;
    return RunCli(args, {.killAfter = std::chrono::microseconds(total * 3),
                         .watch = temp_,
                         .killAfterSeen = std::chrono::microseconds(rng_() % window)});
  }

  const testing::ScratchFolder dir_{"quorvex-crash"};
  const std::string scene_ = (dir_ / "scene2.bin").string();
  const std::string temp_ = scene_ + ".save";
  long leftovers_ = 0;
  std::mt19937_64 rng_{static_cast<std::uint64_t>(EnvNumber("QUORVEX_CRASH_SEED", 7))};
};

TEST_F(CrashSafety, KilledWritersLeaveTheOldOrTheNewScene) {
  const long kills = EnvNumber("QUORVEX_CRASH_KILLS", 30);
  const long mib = EnvNumber("QUORVEX_CRASH_MIB", 4);

  const Bytes original = LargeScene(mib);
  testing::WriteFile(scene_, original);
  // Row 0's script sits near the start: a save moves almost the whole file.
  const auto shortText = (dir_ / "short.txt").string();
  const auto longText = (dir_ / "long.txt").string();
  const auto script = RunCli({"script", scene_, "0"});
  ASSERT_EQ(script.status, 0) << script.err;
  testing::WriteFile(shortText, testing::ToBytes(script.out));
  testing::WriteFile(longText, testing::ToBytes(script.out + "// a longer script\r\nend\r\n"));

  // One uninterrupted round trip gives both contents, the time a write takes and when it starts
  // writing the temporary file.
  const auto grown = RunCli({"save-script", scene_, "0", longText}, {.watch = temp_});
  ASSERT_EQ(grown.status, 0) << grown.err;
  const Bytes longer = testing::ReadFile(scene_);
  ASSERT_EQ(longer.size(), original.size() + 25);
  const auto shrunk = RunCli({"save-script", scene_, "0", shortText});
  ASSERT_EQ(shrunk.status, 0) << shrunk.err;
  ASSERT_EQ(testing::ReadFile(scene_), original);

  const long total = grown.duration.count();
  const long writing = grown.seenAt ? grown.seenAt->count() : 0;
  const long renamed = grown.goneAt ? grown.goneAt->count() : total;
  auto runKilled = [&](const std::vector<std::string>& args) { return RunKilled(args, grown); };
  long killed = 0;
  long completed = 0;
  // First half: saves that grow and shrink the scene in turn.
  for (long i = 0; i < kills / 2 + kills % 2; ++i) {
    const bool isLong = testing::ReadFile(scene_).size() == longer.size();
    const std::vector<std::string> args = {"save-script", scene_, "0",
                                           isLong ? shortText : longText};
    const auto run = runKilled(args);
    run.killed ? ++killed : ++completed;
    if (!run.killed) {
      ASSERT_EQ(run.status, 0) << run.err;
    }
    CheckAfterKill(isLong ? longer : original, isLong ? original : longer, args);
    if (HasFatalFailure()) return;
  }
  // Second half: insertions, each checked against the content the insertion must produce.
  for (long i = 0; i < kills / 2; ++i) {
    const Bytes before = testing::ReadFile(scene_);
    InsertRequest request;
    request.name = "Crash" + std::to_string(i);
    request.category = Category::Female;
    request.model = "Sarah2LOW.i3d";
    request.translation[0] = 1.5f;
    request.size[0] = request.size[1] = request.size[2] = 1.0f;
    const auto plan = PlanInsert(SceneImage(before), request);
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    const Bytes after = testing::Applied(*plan, before);
    const std::vector<std::string> args = {"insert",     scene_,   "--name",        request.name,
                                           "--category", "female", "--translation", "1.5,0,0",
                                           "--size",     "1,1,1"};
    const auto run = runKilled(args);
    run.killed ? ++killed : ++completed;
    if (!run.killed) {
      ASSERT_EQ(run.status, 0) << run.err;
    }
    CheckAfterKill(before, after, args);
    if (HasFatalFailure()) return;
  }

  // The next operation works.
  const bool isShort = RunCli({"script", scene_, "0"}).out == script.out;
  const auto next = RunCli({"save-script", scene_, "0", isShort ? longText : shortText});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_FALSE(fs::exists(temp_));
  std::printf(
      "crash safety: %ld runs on a %ld MiB scene (a run takes %ld ms, the temporary file "
      "exists from %ld to %ld ms): %ld killed mid-run, %ld completed, %ld left a .save that "
      "the next write reported\n",
      kills, mib, total / 1000, writing / 1000, renamed / 1000, killed, completed, leftovers_);
}

// A save that keeps the length of a large script is no single small write: it must go through the
// temporary file too, or a kill tears the script.
TEST_F(CrashSafety, KilledSameLengthSavesOfALargeScriptLeaveTheOldOrTheNewScene) {
  const long kills = EnvNumber("QUORVEX_CRASH_KILLS", 30) / 2 + 1;
  const long mib = EnvNumber("QUORVEX_CRASH_MIB", 4);
  auto spec = testing::DemoSceneSpec();
  const std::size_t length = static_cast<std::size_t>(mib) << 20;
  ByteString one(length, 'a'), other(length, 'b');
  for (std::size_t i = 0; i < length; i += 64) one[i] = other[i] = '\n';
  spec.scripts.front().text = one;
  const Bytes original = testing::BuildScene(spec);
  testing::WriteFile(scene_, original);
  const auto oneText = (dir_ / "one.txt").string();
  const auto otherText = (dir_ / "other.txt").string();
  testing::WriteFile(oneText, testing::ToBytes(one));
  testing::WriteFile(otherText, testing::ToBytes(other));
  const auto catalogue = ScanCatalogue(SceneImage(original));
  ASSERT_TRUE(catalogue.ok());
  const std::string row = std::to_string(catalogue->firstStandaloneScriptRow);

  const auto timing = RunCli({"save-script", scene_, row, otherText}, {.watch = temp_});
  ASSERT_EQ(timing.status, 0) << timing.err;
  const Bytes changed = testing::ReadFile(scene_);
  ASSERT_EQ(changed.size(), original.size());
  ASSERT_NE(changed, original);
  ASSERT_TRUE(timing.seenAt) << "a large same-length save must write the temporary file";

  long killed = 0;
  for (long i = 0; i < kills; ++i) {
    const bool isOne = testing::ReadFile(scene_) == original;
    const std::vector<std::string> args = {"save-script", scene_, row, isOne ? otherText : oneText};
    const auto run = RunKilled(args, timing);
    killed += run.killed;
    if (!run.killed) {
      ASSERT_EQ(run.status, 0) << run.err;
    }
    CheckAfterKill(isOne ? original : changed, isOne ? changed : original, args);
    if (HasFatalFailure()) return;
  }
  std::printf("crash safety, same length: %ld saves of a %ld MiB script, %ld killed mid-run\n",
              kills, mib, killed);
}

}  // namespace
}  // namespace quorvex::reliability
