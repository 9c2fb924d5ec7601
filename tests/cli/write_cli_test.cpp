// quorvex-cli, write side: runs the real binary for save-script, insert and modify and checks the
// exit statuses, the messages and the scene afterwards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "objects/records.h"
#include "objects/rotation.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "support/cli_runner.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::testing {
namespace {

namespace fs = std::filesystem;

class WriteCli : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(scene_, original_); }

  CliRun Cli(const std::vector<std::string>& args, const std::optional<Bytes>& input = {}) {
    return RunCli(args, {.input = input});
  }

  Bytes Scene() const { return ReadFile(scene_); }
  Catalogue Scan() const {
    auto catalogue = ScanCatalogue(SceneImage(bytes_ = Scene()));
    EXPECT_TRUE(catalogue.ok());
    return catalogue.ok() ? *catalogue : Catalogue{};
  }
  int Row(const ByteString& name) const {
    const auto catalogue = Scan();
    for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
      if (catalogue.rows[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
  ByteString ScriptOfRow(int row) const {
    const auto catalogue = Scan();
    const auto& r = catalogue.rows.at(static_cast<std::size_t>(row));
    return *SceneImage(bytes_).bytesAt(*r.scriptLengthPos + 4, *r.scriptLength);
  }
  std::optional<ObjectParams> ObjectOfRow(int row) const {
    const auto catalogue = Scan();
    std::vector<ByteString> names;
    for (const auto& r : catalogue.rows) names.push_back(r.name);
    std::optional<ObjectParams> found;
    const auto scan = ScanObjectParameters(SceneImage(bytes_), names).value();
    for (const auto& m : scan.matches) {
      if (m.row == row) found = m;
    }
    return found;
  }
  void ExpectRefused(const CliRun& run, const std::string& message) {
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Saved"), std::string::npos);
    EXPECT_EQ(Scene(), original_);
  }

  const ScratchFolder scratch_{"quorvex-write-cli"};
  const fs::path dir_ = scratch_.path();
  const std::string scene_ = (dir_ / "scene2.bin").string();
  const Bytes original_ = BuildScene(DemoSceneSpec());
  mutable Bytes bytes_;
};

TEST_F(WriteCli, SaveScriptFromFileAndFromStandardInput) {
  const int row = Row("timer");
  const std::string text = "use_num 1\r\n// caf\xE9 \x80\r\nfin\r\n";  // raw bytes, no conversion
  WriteFile((dir_ / "new.txt").string(), Bytes(text.begin(), text.end()));
  auto run = Cli({"save-script", scene_, std::to_string(row), (dir_ / "new.txt").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, " **** Saved ****\n");
  EXPECT_EQ(ScriptOfRow(row), text);

  const int oskar = Row("Oskar");
  run = Cli({"save-script", scene_, std::to_string(oskar)}, Bytes{'f', 'i', 'n'});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ScriptOfRow(oskar), "fin");
  run = Cli({"save-script", scene_, std::to_string(oskar), "-"}, Bytes{'x'});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ScriptOfRow(oskar), "x");
  EXPECT_EQ(ScriptOfRow(row), text);
  EXPECT_FALSE(fs::exists(scene_ + ".save"));
}

TEST_F(WriteCli, SaveScriptRefusals) {
  ExpectRefused(Cli({"save-script", scene_, std::to_string(Row("Vel"))}, Bytes{'x'}), "no script");
  ExpectRefused(Cli({"save-script", scene_, "99"}, Bytes{'x'}), "no such row 99");
  ExpectRefused(Cli({"save-script", scene_, "0", (dir_ / "missing.txt").string()}), "missing.txt");
  WriteFile(scene_ + ".save", Bytes{'k'});
  ExpectRefused(Cli({"save-script", scene_, "0"}, Bytes{'x'}), "scene2.bin.save");
  EXPECT_EQ(ReadFile(scene_ + ".save"), Bytes{'k'});
  fs::remove(scene_ + ".save");
  EXPECT_EQ(Cli({"save-script", scene_}).status, 1);
  EXPECT_EQ(Cli({"save-script", scene_, "zero"}).status, 1);
  // The new text comes from a text file or a pipe, never without bound.
  ExpectRefused(Cli({"save-script", scene_, "0", dir_.string()}), "it is a folder");
  ExpectRefused(Cli({"save-script", scene_, "0", "/dev/zero"}), "not a text file or a pipe");
  ExpectRefused(Cli({"save-script", scene_, "0", "/proc/self/mem"}), "Cannot read");
  EXPECT_EQ(Cli({"save-script", (dir_ / "none.bin").string(), "0"}, Bytes{'x'}).status, 2);
}

// Every whole number on the command line is plain decimal digits: anything that could be read as
// another row ("010" as octal 8, "0x8", "" as 0, " 3", "+3", "-1") is a usage error.
TEST_F(WriteCli, RowsAndDegreesArePlainDecimalDigits) {
  const std::vector<std::string> values = {"--translation", "1,2,3", "--size", "1,1,1"};
  for (const char* row : {"010", "0x8", "", " 3", "+3", "-1", "8 "}) {
    SCOPED_TRACE(row);
    std::vector<std::string> modify = {"modify", scene_, row};
    modify.insert(modify.end(), values.begin(), values.end());
    EXPECT_EQ(Cli(modify).status, 1);
    EXPECT_EQ(Cli({"save-script", scene_, row}, Bytes{'x'}).status, 1);
  }
  for (const char* degrees : {"010", "+3", " 3", "0x8", "-05"}) {
    std::vector<std::string> modify = {"modify", scene_, "0", "--rotation", degrees};
    modify.insert(modify.end(), values.begin(), values.end());
    EXPECT_EQ(Cli(modify).status, 1) << degrees;
  }
  EXPECT_EQ(Scene(), original_);
}

// The scene of a write command must be a regular file: anything else is refused at once.
TEST_F(WriteCli, SpecialFilesAreRefusedAsScenes) {
  const auto fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& scene : {fifo, std::string("/dev/zero")}) {
    const auto run =
        Cli({"insert", scene, "--name", "New", "--translation", "1,2,3", "--size", "1,1,1"});
    EXPECT_EQ(run.status, 2) << scene;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    EXPECT_EQ(Cli({"save-script", scene, "0"}, Bytes{'x'}).status, 2) << scene;
    EXPECT_EQ(Cli({"modify", scene, "0", "--translation", "1,2,3", "--size", "1,1,1"}).status, 2);
  }
}

TEST_F(WriteCli, InsertFemaleWithDefaults) {
  const auto before = Scan();
  const auto run = Cli({"insert", scene_, "--name", "Lucia", "--category", "female",
                        "--translation", "1.5,0,-2.25", "--size", "1,1,1", "--rotation", "30"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, " **** Saved ****\n");
  EXPECT_EQ(Scene().size(), original_.size() + 133 + 5 + 13 + 128 + 5);
  const int row = before.firstStandaloneScriptRow;
  EXPECT_EQ(Scan().rows.at(static_cast<std::size_t>(row)).name, "Lucia");
  const auto object = ObjectOfRow(row);
  ASSERT_TRUE(object);
  EXPECT_EQ(object->model, "Sarah2LOW.i3d");
  EXPECT_EQ(object->translation[0], 1.5f);
  EXPECT_EQ(object->translation[2], -2.25f);
  EXPECT_EQ(object->rotationA(), 0.5f);
  EXPECT_EQ(object->rotationC(), 0.8660254f);
}

TEST_F(WriteCli, InsertOthersNoCategoryAndOwnModel) {
  auto run = Cli({"insert", scene_, "--name", "Zone", "--category", "others", "--translation",
                  "0,0,0", "--size", "2,2,2", "--model", "ignored.i3d"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Scene().size(), original_.size() + 156 + 4 + 53 + 4);
  const auto afterOthers = Scene().size();
  run = Cli({"insert", scene_, "--name", "Lamp", "--translation", "0,0,0", "--size", "1,1,1",
             "--model", "lamp\xC3\xA9.i3d"});  // UTF-8 é becomes the single byte E9
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Scene().size(), afterOthers + 133 + 4 + 9);
  const Bytes scene = Scene();
  const Bytes model = ToBytes("lamp\xE9.i3d");
  EXPECT_NE(std::search(scene.begin(), scene.end(), model.begin(), model.end()), scene.end());
}

TEST_F(WriteCli, InsertRefusals) {
  const std::vector<std::string> numbers = {"--translation", "1,2,3", "--size", "1,1,1"};
  auto insert = [&](std::vector<std::string> args) {
    std::vector<std::string> all = {"insert", scene_};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), numbers.begin(), numbers.end());
    return Cli(all);
  };
  ExpectRefused(insert({"--name", ""}), "Put Name");
  ExpectRefused(insert({"--name", "oskar", "--category", "male"}), "Put another!");
  ExpectRefused(
      Cli({"insert", scene_, "--name", "New", "--translation", "1,x,3", "--size", "1,1,1"}),
      "Put numeric (Translation)");
  ExpectRefused(
      Cli({"insert", scene_, "--name", "New", "--translation", "1,2,3", "--size", "1,1,"}),
      "Fill all fields");
  ExpectRefused(insert({"--name", "\xE2\x82\xAC\xE4\xB8\xAD"}), "Windows-1252");
  // Not UTF-8: an overlong "A", an overlong zero byte, a broken sequence, a surrogate.
  for (const char* name : {"\xC1\x81", "a\xC0\x80", "\xE2\x82", "\xED\xA0\x80"}) {
    ExpectRefused(insert({"--name", name}), "not valid UTF-8");
  }
  ExpectRefused(insert({"--name", "New", "--model", "\xC1\x81.i3d"}), "not valid UTF-8");
  EXPECT_EQ(insert({"--name", "New", "--category", "bus"}).status, 1);
  EXPECT_EQ(insert({"--name", "New", "--rotation", "91"}).status, 1);
  EXPECT_EQ(insert({"--name", "New", "--rotation", "4.5"}).status, 1);
  EXPECT_EQ(
      Cli({"insert", scene_, "--name", "New", "--translation", "1,2", "--size", "1,1,1"}).status,
      1);
  EXPECT_EQ(Scene(), original_);
}

TEST_F(WriteCli, ModifyRewritesTheObjectInPlace) {
  const int row = Row("Brenna");
  const auto before = ObjectOfRow(row);
  ASSERT_TRUE(before);
  auto run = Cli(
      {"modify", scene_, std::to_string(row), "--translation", "10,20,30", "--size", "0.1,2,3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Scene().size(), original_.size());
  auto after = ObjectOfRow(row);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->translation[1], 20.0f);
  EXPECT_EQ(after->size[0], 0.1f);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(after->rotation[i], before->rotation[i]);

  run = Cli({"modify", scene_, std::to_string(row), "--translation", "10,20,30", "--size", "1,2,3",
             "--rotation", "-90"});
  ASSERT_EQ(run.status, 0) << run.err;
  after = ObjectOfRow(row);
  EXPECT_EQ(after->rotationA(), -1.0f);
  EXPECT_EQ(after->rotationC(), 6.123234e-17f);
  EXPECT_EQ(after->rotation[1], before->rotation[1]);
  EXPECT_EQ(after->rotation[3], before->rotation[3]);
}

TEST_F(WriteCli, ModifyRefusals) {
  const std::vector<std::string> values = {"--translation", "1,2,3", "--size", "1,1,1"};
  auto modify = [&](const std::string& row) {
    std::vector<std::string> args = {"modify", scene_, row};
    args.insert(args.end(), values.begin(), values.end());
    return Cli(args);
  };
  // "init" is a standalone script without an object of that name.
  ExpectRefused(modify(std::to_string(Row("init"))), "No object position");
  ExpectRefused(modify("500"), "no such row 500");
  ExpectRefused(Cli({"modify", scene_, "0", "--translation", "1,2,3", "--size", "1,z,1"}),
                "Put numeric (Size)");
  EXPECT_EQ(Cli({"modify", scene_, "0", "--translation", "1,2,3"}).status, 1);
  EXPECT_EQ(
      Cli({"modify", scene_, "0", "--translation", "1,2,3", "--size", "1,1,1", "--rotation", "x"})
          .status,
      1);
}

}  // namespace
}  // namespace quorvex::testing
