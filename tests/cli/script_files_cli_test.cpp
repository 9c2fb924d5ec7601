// quorvex-cli export, import and check: runs the real binary. An import must give exactly the
// bytes of saving the changed scripts one after another with save-script, and a refused import
// must leave the scene untouched.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/sha256.h"
#include "scene/text_codec.h"
#include "script/overview.h"
#include "script/script_files.h"
#include "support/cli_runner.h"
#include "support/failing_file_system.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::testing {
namespace {

namespace fs = std::filesystem;

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

constexpr auto npos = std::string::npos;

// What a command run in-process printed, and its exit status.
CliRun InProcess(const std::function<int()>& command) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  CliRun run;
  run.status = command();
  run.out = ::testing::internal::GetCapturedStdout();
  run.err = ::testing::internal::GetCapturedStderr();
  return run;
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The demo scene with one more standalone script whose name needs cleaning and cutting, and whose
// text has a byte above 0x7F.
SceneSpec ExportSpec() {
  auto spec = DemoSceneSpec();
  spec.scripts.push_back({"caf\xE9 #1/" + std::string(70, 'n'),
                          "d\xE9"
                          "but\r\nfin\r\n"});
  return spec;
}

class ScriptFilesCli : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(scene_, original_); }

  CliRun Cli(const std::vector<std::string>& args) { return RunCli(args); }

  void Export() {
    const auto run = Cli({"export", scene_, out_});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  std::string FileOf(int row) const {
    const auto& name = catalogue_.rows.at(static_cast<std::size_t>(row)).name;
    return (fs::path(out_) / ExportFileName(row, name)).string();
  }

  // Rows by what their script is like.
  int RowWhere(const std::function<bool(const CatalogueRow&)>& test) const {
    for (std::size_t i = 0; i < catalogue_.rows.size(); ++i) {
      if (test(catalogue_.rows[i])) return static_cast<int>(i);
    }
    return -1;
  }

  const ScratchFolder scratch_{"quorvex-script-files"};
  const fs::path dir_ = scratch_.path();
  const std::string scene_ = (dir_ / "scene2.bin").string(), out_ = (dir_ / "scripts").string();
  const Bytes original_ = BuildScene(ExportSpec());
  const Catalogue catalogue_ = *ScanCatalogue(SceneImage(original_));
};

TEST_F(ScriptFilesCli, ExportWritesEveryScriptAndTheManifest) {
  Export();
  const auto manifest = nlohmann::json::parse(Text(ReadFile(out_ + "/manifest.json")));
  EXPECT_EQ(manifest["scene"], "scene2.bin");
  EXPECT_EQ(manifest["sceneLength"], original_.size());
  EXPECT_EQ(manifest["sceneSha256"], Sha256Hex(Text(original_)));

  std::size_t listed = 0;
  const SceneImage image(original_);
  for (std::size_t i = 0; i < catalogue_.rows.size(); ++i) {
    const auto& row = catalogue_.rows[i];
    if (!row.scriptLengthPos) continue;  // rows without a script position get no file
    const auto text = *image.bytesAt(*row.scriptLengthPos + 4, *row.scriptLength);
    const auto& entry = manifest["scripts"].at(listed++);
    EXPECT_EQ(entry["row"], i);
    EXPECT_EQ(entry["name"], BytesToUtf8(row.name));
    EXPECT_EQ(entry["standalone"], row.standalone);
    EXPECT_EQ(entry["file"], fs::path(FileOf(static_cast<int>(i))).filename().string());
    EXPECT_EQ(entry["length"], text.size());
    EXPECT_EQ(entry["sha256"], Sha256Hex(text));
    EXPECT_EQ(Text(ReadFile(FileOf(static_cast<int>(i)))), text);  // zero-length ones too
  }
  EXPECT_EQ(manifest["scripts"].size(), listed);
  const auto last = manifest["scripts"].back();
  EXPECT_EQ(last["file"], "0014_caf___1_" + std::string(56, 'n') + ".txt");
  EXPECT_EQ(last["name"], "caf\xC3\xA9 #1/" + std::string(70, 'n'));

  // A folder that holds files is refused unless --force is given.
  auto run = Cli({"export", scene_, out_});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
  run = Cli({"export", scene_, out_, "--force"});
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(ScriptFilesCli, ImportWithoutEditsWritesNothing) {
  Export();
  const auto stamp = fs::last_write_time(scene_) - std::chrono::hours(48);
  fs::last_write_time(scene_, stamp);
  const auto run = Cli({"import", scene_, out_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "no changes\n");
  EXPECT_EQ(ReadFile(scene_), original_);
  EXPECT_EQ(fs::last_write_time(scene_), stamp);

  // A digest edited in the manifest, the file unchanged: still nothing to write.
  auto manifest = nlohmann::json::parse(Text(ReadFile(out_ + "/manifest.json")));
  manifest["scripts"][0]["sha256"] = manifest["scripts"][1]["sha256"];
  WriteFile(out_ + "/manifest.json", ToBytes(manifest.dump()));
  EXPECT_EQ(Cli({"import", scene_, out_}).out, "no changes\n");
  EXPECT_EQ(fs::last_write_time(scene_), stamp);
}

TEST_F(ScriptFilesCli, ImportEqualsTheOneByOneSaves) {
  Export();
  const int longer = RowWhere([](const CatalogueRow& r) { return !r.standalone && r.checked; });
  const int sameLength = RowWhere([&](const CatalogueRow& r) {
    return !r.standalone && r.checked && &r != &catalogue_.rows[static_cast<std::size_t>(longer)];
  });
  const int filled = RowWhere([](const CatalogueRow& r) { return r.scriptLength == 0; });
  const int shorter = RowWhere([](const CatalogueRow& r) { return r.standalone && r.checked; });
  ASSERT_TRUE(longer >= 0 && sameLength >= 0 && filled >= 0 && shorter >= 0);

  auto edit = [&](int row, std::function<std::string(std::string)> change) {
    const auto path = FileOf(row);
    const auto text = change(Text(ReadFile(path)));
    WriteFile(path, ToBytes(text));
    return std::make_pair(row, path);
  };
  std::vector<std::pair<int, std::string>> edits = {
      edit(longer, [](std::string t) { return t + "// two more lines\r\nfin\r\n"; }),
      edit(sameLength, [](std::string t) { return std::string(t.size(), '\xE9'); }),
      edit(filled, [](std::string) { return std::string("wake\r\n"); }),
      edit(shorter, [](std::string t) { return t.substr(0, 3); }),
  };
  std::sort(edits.begin(), edits.end());

  const auto seq = (dir_ / "one-by-one.bin").string();
  WriteFile(seq, original_);
  std::string expected;
  for (const auto& [row, path] : edits) {
    const auto run = Cli({"save-script", seq, std::to_string(row), path});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto& r = catalogue_.rows[static_cast<std::size_t>(row)];
    expected += "row " + std::to_string(row) + " " + BytesToUtf8(r.name) + ": " +
                std::to_string(*r.scriptLength) + " -> " + std::to_string(ReadFile(path).size()) +
                " bytes\n";
  }

  const auto run = Cli({"import", scene_, out_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_TRUE(ReadFile(scene_) == ReadFile(seq));
  EXPECT_FALSE(fs::exists(scene_ + ".save"));
}

TEST_F(ScriptFilesCli, RefusedImportsChangeNothing) {
  const int defRow = RowWhere([](const CatalogueRow& r) { return !r.standalone && r.checked; });
  const int scriptRow = RowWhere([](const CatalogueRow& r) { return r.standalone && r.checked; });
  struct Case {
    const char* what;
    std::function<void()> arrange;  // after the export and the edits
    const char* message;
  };
  using json = nlohmann::json;
  const auto editManifest = [&](const std::function<void(json&)>& change) {
    auto j = json::parse(Text(ReadFile(out_ + "/manifest.json")));
    change(j);
    WriteFile(out_ + "/manifest.json", ToBytes(j.dump()));
  };
  const auto entryOf = [](json& j, int row) -> json& {
    return *std::find_if(j["scripts"].begin(), j["scripts"].end(),
                         [&](const json& e) { return e["row"] == row; });
  };
  const std::vector<Case> cases = {
      {"a listed file is missing", [&] { fs::remove(FileOf(scriptRow)); }, "is missing"},
      {"the scene changed since the export",
       [&] {
         WriteFile((dir_ / "x.txt").string(), ToBytes("x"));
         ASSERT_EQ(
             Cli({"save-script", scene_, std::to_string(scriptRow), (dir_ / "x.txt").string()})
                 .status,
             0);
       },
       "changed since the export"},
      {"a leftover temporary file", [&] { WriteFile(scene_ + ".save", Bytes{'k'}); },
       "scene2.bin.save"},
      {"one save refused: the root length is not the file length",
       [&] {
         // Re-exported from a scene whose root length is one short: the same-length edit of the
         // definition alone could be saved, the longer standalone script not.
         Bytes bad = original_;
         bad[2] = static_cast<std::uint8_t>(bad[2] - 1);
         WriteFile(scene_, bad);
         ASSERT_EQ(Cli({"export", scene_, out_, "--force"}).status, 0);
         WriteFile(FileOf(defRow),
                   ToBytes(std::string(
                       *catalogue_.rows[static_cast<std::size_t>(defRow)].scriptLength, 'z')));
         WriteFile(FileOf(scriptRow),
                   ToBytes("much longer than before\r\n" + std::string(200, 'y')));
       },
       "root length"},
      {"a script file is a link out of the folder",
       [&] {
         WriteFile((dir_ / "elsewhere.txt").string(), ToBytes("not a script of this export"));
         fs::remove(FileOf(scriptRow));
         fs::create_symlink(dir_ / "elsewhere.txt", FileOf(scriptRow));
       },
       "symbolic link"},
      {"the manifest is a link to a device-like file",
       [&] {
         fs::remove(out_ + "/manifest.json");
         fs::create_symlink("/proc/self/mem", out_ + "/manifest.json");
       },
       "symbolic link"},
      {"a row names the manifest as its file",
       [&] { editManifest([&](json& j) { entryOf(j, scriptRow)["file"] = "manifest.json"; }); },
       "names the manifest"},
      {"the manifest's row is another row of the scene",
       [&] { editManifest([&](json& j) { entryOf(j, scriptRow)["name"] = "Dock_18"; }); },
       "Dock_18"},
      {"the row's script is not the exported one",
       [&] {
         editManifest(
             [&](json& j) { entryOf(j, scriptRow)["sha256"] = entryOf(j, defRow)["sha256"]; });
       },
       "SHA-256 differs"},
      {"the scene changed, and a listed file cannot be read",
       [&] {
         fs::remove(FileOf(defRow));
         fs::create_directory(FileOf(defRow));
         WriteFile((dir_ / "x.txt").string(), ToBytes("x"));
         ASSERT_EQ(Cli({"save-script", scene_, "0", (dir_ / "x.txt").string()}).status, 0);
       },
       "changed since the export"},
      {"a script file larger than any scene, sparse",
       [&] { fs::resize_file(FileOf(scriptRow), (1ull << 31) + 10); }, "2147483658 bytes long"},
  };
  for (const auto& c : cases) {
    WriteFile(scene_, original_);
    fs::remove_all(out_);
    fs::remove(dir_ / "elsewhere.txt");
    fs::remove(scene_ + ".save");
    Export();
    WriteFile(FileOf(defRow), ToBytes("changed\r\n"));
    WriteFile(FileOf(scriptRow), ToBytes("changed too\r\n"));
    c.arrange();
    const auto before = ReadFile(scene_);
    const auto run = Cli({"import", scene_, out_});
    EXPECT_EQ(run.status, 2) << c.what;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_TRUE(ReadFile(scene_) == before) << c.what;
  }
}

TEST_F(ScriptFilesCli, CheckReportsCountsOrTheFirstDamage) {
  auto run = Cli({"check", scene_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "ok: 11 objects, 12 definitions, 5 scripts\n");

  // The objects section's length made 0: check names the place, and a scan that refuses the scene
  // adds the same finding to its message.
  Bytes damaged = original_;
  const Pos section = *FindObjectsSection(SceneImage(original_));
  std::fill_n(damaged.begin() + section + 1, 4, std::uint8_t{0});
  WriteFile(scene_, damaged);
  const std::string finding = "damaged at position " + std::to_string(section) +
                              " (0x4000 #4): its length 0 is shorter than its 6-byte header";
  run = Cli({"check", scene_});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, finding + "\n");
  const std::vector<std::vector<std::string>> refusing = {{"catalogue", scene_},
                                                          {"export", scene_, out_}};
  for (const auto& args : refusing) {
    run = Cli(args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_NE(run.err.find("Chunk check: " + finding), std::string::npos) << run.err;
  }
}

TEST_F(ScriptFilesCli, UsageErrors) {
  const std::vector<std::vector<std::string>> usages = {
      {"check"},          {"check", scene_, "extra"},
      {"export", scene_}, {"export", scene_, out_, "--forc"},
      {"import", scene_}, {"import"}};
  for (const auto& args : usages) EXPECT_EQ(Cli(args).status, 1) << args.size();
  // An empty FILE or DIR (an unset variable) is no file: never standard input or ".".
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"save-script", scene_, "0", ""}, {"export", scene_, ""}, {"import", scene_, ""}})
    EXPECT_EQ(Cli(args).status, 1) << args[0];
  EXPECT_EQ(ReadFile(scene_), original_);

  // A sparse text larger than any scene is refused by its size, unread.
  const auto huge = (dir_ / "huge.txt").string();
  WriteFile(huge, {});
  fs::resize_file(huge, (1ull << 31) + 10);
  const auto run = Cli({"save-script", scene_, "0", huge});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("(2147483658 bytes)"), npos) << run.err;

  // A verdict that cannot be written is no success.
  EXPECT_EQ(RunCli({"check", scene_}, {.outputFile = "/dev/full"}).status, 2);
}

TEST_F(ScriptFilesCli, ExportWritesNothingOutsideTheFolder) {
  const int row = RowWhere([](const CatalogueRow& r) { return r.checked; });
  const auto name = fs::path(FileOf(row)).filename();
  const fs::path out = out_, outside = dir_ / "outside.txt", created = dir_ / "created.txt";
  struct Case {
    const char* what;
    fs::path scene;  // where the scene lies
    std::function<void()> arrange;
    int status;
  };
  const std::vector<Case> cases = {
      {"a dangling link", scene_, [&] { fs::create_symlink(created, out / name); }, 0},
      {"a link to a file", scene_, [&] { fs::create_symlink(outside, out / name); }, 0},
      {"the scene named like the manifest", out / "manifest.json", [] {}, 2},
      {"the scene named like a script file", out / name, [] {}, 2},
  };
  for (const auto& c : cases) {
    fs::remove_all(out_);
    fs::create_directories(out_);
    WriteFile(outside.string(), ToBytes("keep"));
    WriteFile(c.scene.string(), original_);
    c.arrange();
    const auto run = Cli({"export", c.scene.string(), out_, "--force"});
    EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
    EXPECT_EQ(Text(ReadFile(outside.string())), "keep") << c.what;
    EXPECT_FALSE(fs::exists(created)) << c.what;
    EXPECT_TRUE(ReadFile(c.scene.string()) == original_) << c.what;
    if (c.status == 0) {
      EXPECT_FALSE(fs::is_symlink(out / name)) << c.what;
    } else {
      EXPECT_NE(run.err.find("is the scene itself"), npos) << c.what;
    }
  }
}

// Another program rewrites a script's first byte between the export's passes (or during the first
// and back): the export refuses and leaves the folder as it was.
TEST_F(ScriptFilesCli, ExportRefusesASceneRewrittenWhileRead) {
  const auto& row = catalogue_.rows[static_cast<std::size_t>(
      RowWhere([](const CatalogueRow& r) { return r.checked; }))];
  const auto offset = static_cast<std::uint64_t>(*row.scriptLengthPos + 3);
  for (const bool restored : {false, true}) {
    for (const bool existing : {false, true}) {
      fs::remove_all(out_);
      if (existing) fs::create_directories(out_);
      if (existing) WriteFile(out_ + "/mine.txt", ToBytes("mine"));
      FailingFileSystem files;
      files.changeSceneReads(ChangedBetweenReads(offset, ToBytes("#"), restored));
      const auto run = InProcess([&] { return cli::Export(scene_, out_, true, files); });
      EXPECT_EQ(run.status, 2) << restored << existing;
      EXPECT_NE(run.err.find("changed on disk"), npos) << run.err;
      EXPECT_EQ(fs::exists(out_), existing);
      EXPECT_EQ(Listing(out_),
                existing ? std::vector<std::string>{"mine.txt"} : std::vector<std::string>{});
    }
  }
}

// A read error is a message; a folder that cannot be flushed after a rename is said so.
TEST_F(ScriptFilesCli, FaultsAreReportedNotThrown) {
  Export();
  WriteFile(FileOf(RowWhere([](const CatalogueRow& r) { return r.checked; })), ToBytes("x\r\n"));
  FailingFileSystem unreadable;
  unreadable.failFileReads();
  auto run = InProcess([&] { return cli::Import(scene_, out_, unreadable); });
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Input/output error"), npos) << run.err;
  EXPECT_TRUE(ReadFile(scene_) == original_);

  FailingFileSystem unflushed;
  unflushed.failFolderFlush();
  const auto text = (dir_ / "longer.txt").string();
  WriteFile(text, ToBytes("a longer script than before\r\nfin\r\n"));
  const std::vector<std::function<int()>> commands = {
      [&] { return cli::SaveScript(scene_, 0, text, unflushed); },
      [&] { return cli::Export(scene_, out_, true, unflushed); }};
  for (const auto& command : commands) {
    run = InProcess(command);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("may not survive a power loss"), npos) << run.err;
  }
  EXPECT_EQ(Cli({"script", scene_, "0"}).out, "a longer script than before\r\nfin\r\n");
}

// The overview reads each script length twice; on a scene over the read cache's size the second
// read comes from the file again, and another program may have changed it in between.
TEST(Overview, ReportsASceneThatChangesWhileItIsWritten) {
  auto spec = DemoSceneSpec();
  for (int i = 0; i < 5; ++i) spec.scripts.push_back({"big", std::string(300000, 'a')});
  const auto bytes = BuildScene(spec);
  const auto catalogue = *ScanCatalogue(SceneImage(bytes));
  const auto at = static_cast<std::uint64_t>(*catalogue.rows.at(0).scriptLengthPos - 1);
  const ChangingSource source(bytes, ChangedBetweenReads(at, Int32Bytes(0x7FFFFFFF)));
  const auto written = WriteScriptOverview(SceneImage(source), catalogue, [](std::string_view) {});
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error().kind, ErrorKind::ChangedOnDisk) << written.error().message;
}

// In one pass a text longer than the read cache is read ahead of the scan, and a definition's
// text again by the scan: the text is the two-pass one, and a text rewritten in between is caught.
TEST(Overview, OnePassReadsLongTextsAsTheyAre) {
  auto spec = DemoSceneSpec();
  Definition definition;
  definition.name = "Lang";
  definition.script = std::string(1500000, 'b');
  spec.definitions.push_back(definition);
  spec.scripts.push_back({"long", std::string(1500000, 'c')});
  const auto bytes = BuildScene(spec);
  const auto catalogue = *ScanCatalogue(SceneImage(bytes));
  const auto& lang = *std::find_if(catalogue.rows.begin(), catalogue.rows.end(),
                                   [](const CatalogueRow& row) { return row.name == "Lang"; });
  const auto middle = static_cast<std::uint64_t>(*lang.scriptLengthPos + 700000);
  for (const bool rewritten : {false, true}) {
    const ChangingSource source(
        bytes, rewritten ? ChangedBetweenReads(middle, {'x'}) : ReadHook([](auto, auto) {}));
    const SteadySource steady(source, SteadySource::Mode::GuardedBlocks);
    std::string out;
    const auto scanned = ScanWithOverview(SceneImage(steady), steady,
                                          [&](std::string_view piece) { out.append(piece); });
    if (rewritten) {
      ASSERT_FALSE(scanned.ok());
      EXPECT_EQ(scanned.error().kind, ErrorKind::ChangedOnDisk) << scanned.error().message;
      continue;
    }
    ASSERT_TRUE(scanned.ok()) << scanned.error().message;
    EXPECT_EQ(scanned->rows.size(), catalogue.rows.size());
    EXPECT_EQ(out, *BuildScriptOverview(SceneImage(bytes), catalogue));
  }
}

}  // namespace
}  // namespace quorvex::testing
