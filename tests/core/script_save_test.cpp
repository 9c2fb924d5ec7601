// Script save: the exact bytes of same-length and length-changing saves, the checks that refuse a
// save against a changed or inconsistent file, and the file faults a save must survive.

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#endif
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "scene/catalogue.h"
#include "scene/write_checks.h"
#include "script/script_save.h"
#include "support/failing_file_system.h"
#include "support/scene_builder.h"
#include "write_test_support.h"

namespace quorvex {
namespace {

using testing::ExpectReplacedText;
using testing::Int32At;
using testing::ScratchFolder;

Catalogue Scan(const Bytes& bytes) {
  auto catalogue = ScanCatalogue(SceneImage(bytes));
  EXPECT_TRUE(catalogue.ok()) << (catalogue.ok() ? "" : catalogue.error().message);
  return catalogue.ok() ? *catalogue : Catalogue{};
}

int RowNamed(const Catalogue& catalogue, const ByteString& name) {
  for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
    if (catalogue.rows[i].name == name) return static_cast<int>(i);
  }
  ADD_FAILURE() << "no row " << name;
  return -1;
}

ByteString ScriptOf(const Bytes& bytes, const CatalogueRow& row) {
  return *SceneImage(bytes).bytesAt(*row.scriptLengthPos + 4, *row.scriptLength);
}

// The lengths a length-changing save must correct, with their expected new values.
std::map<Pos, std::int32_t> CorrectedFields(const Bytes& before, const Catalogue& catalogue,
                                            int row, std::int64_t newLength) {
  const auto& r = catalogue.rows[static_cast<std::size_t>(row)];
  const std::int64_t delta = newLength - *r.scriptLength;
  auto adjusted = [&](Pos pos) { return static_cast<std::int32_t>(Int32At(before, pos) + delta); };
  const Pos section =
      r.standalone ? catalogue.scriptSection->lengthPos : catalogue.defSection->lengthPos;
  std::map<Pos, std::int32_t> fields{{3, adjusted(3)},
                                     {section, adjusted(section)},
                                     {r.entryLengthPos, adjusted(r.entryLengthPos)},
                                     {*r.scriptLengthPos, static_cast<std::int32_t>(newLength)}};
  if (!r.standalone) fields[*r.scriptChunkLengthPos] = adjusted(*r.scriptChunkLengthPos);
  return fields;
}

Bytes Saved(const Bytes& before, const ScriptSaveTarget& target, const ByteString& text) {
  auto plan = PlanScriptSave(SceneImage(before), target, text);
  EXPECT_TRUE(plan.ok()) << (plan.ok() ? "" : plan.error().message);
  return plan.ok() ? testing::Applied(*plan, before) : before;
}

ScriptSaveTarget TargetOf(const Catalogue& catalogue, int row) {
  auto target = ScriptSaveTargetFor(catalogue, row);
  EXPECT_TRUE(target.ok());
  return target.ok() ? *target : ScriptSaveTarget{};
}

// A scene of exactly 50 000 bytes whose single definition holds a 120-byte script at p = 1001.
Bytes WorkedExampleScene() {
  auto build = [](std::size_t headerPad, std::size_t trailerPad) {
    testing::SceneSpec spec;
    spec.headerChunks = {testing::Chunk(0x0002, Bytes(headerPad, 0x11))};
    testing::Definition boss;
    boss.name = "Boss";
    boss.script = ByteString(120, 'a');
    spec.definitions = {boss};
    spec.trailerChunks = {testing::Chunk(0xAE40, Bytes(trailerPad, 0x22))};
    return testing::BuildScene(spec);
  };
  auto bytes = build(800, 40000);
  const Pos p = *Scan(bytes).rows.at(0).scriptLengthPos;
  const std::size_t headerPad = 800 + static_cast<std::size_t>(1001 - p);
  bytes = build(headerPad, 40000);
  return build(headerPad, 40000 + (50000 - bytes.size()));
}

TEST(ScriptSave, WorkedExampleShrinksDefinitionScriptBy20) {
  const Bytes before = WorkedExampleScene();
  ASSERT_EQ(before.size(), 50000u);
  ASSERT_EQ(Int32At(before, 3), 50000);
  const auto catalogue = Scan(before);
  ASSERT_EQ(catalogue.rows.size(), 1u);
  ASSERT_EQ(*catalogue.rows[0].scriptLengthPos, 1001);
  ASSERT_EQ(*catalogue.rows[0].scriptLength, 120);

  const ByteString text(100, 'b');
  const Bytes after = Saved(before, TargetOf(catalogue, 0), text);
  ASSERT_EQ(after.size(), 49980u);
  EXPECT_EQ(Int32At(after, 3), 49980);
  // New text at 1005..1104, the kept bytes 1125..50 000 at 1105..49 980, five lengths −20.
  ExpectReplacedText(before, after, 1005, 120, text, CorrectedFields(before, catalogue, 0, 100));
  EXPECT_TRUE(std::equal(after.begin() + 1104, after.end(), before.begin() + 1124));

  const auto again = Scan(after);
  ASSERT_EQ(again.rows.size(), 1u);
  EXPECT_EQ(ScriptOf(after, again.rows[0]), text);
}

TEST(ScriptSave, GrowthAndShrinkCorrectEveryLengthAndKeepEveryFollowingByte) {
  const Bytes before = testing::BuildScene(testing::DemoSceneSpec());
  const auto catalogue = Scan(before);
  for (std::size_t row = 0; row < catalogue.rows.size(); ++row) {
    const auto& r = catalogue.rows[row];
    if (!r.scriptLengthPos) continue;
    const ByteString old = ScriptOf(before, r);
    const std::int64_t steps[] = {1, 7, 300, -1, -static_cast<std::int64_t>(old.size())};
    for (const std::int64_t k : steps) {
      if (static_cast<std::int64_t>(old.size()) + k < 0 || (k == -1 && old.empty())) continue;
      SCOPED_TRACE("row " + std::to_string(row) + " k " + std::to_string(k));
      const ByteString text = k >= 0 ? old + ByteString(static_cast<std::size_t>(k), '\xE9')
                                     : old.substr(0, old.size() + static_cast<std::size_t>(k));
      const Bytes after = Saved(before, TargetOf(catalogue, static_cast<int>(row)), text);
      ExpectReplacedText(before, after, *r.scriptLengthPos + 4, *r.scriptLength, text,
                         CorrectedFields(before, catalogue, static_cast<int>(row),
                                         static_cast<std::int64_t>(text.size())));
      // The rescan finds the same rows; only the edited one has another text.
      const auto again = Scan(after);
      ASSERT_EQ(again.rows.size(), catalogue.rows.size());
      for (std::size_t i = 0; i < again.rows.size(); ++i) {
        EXPECT_EQ(again.rows[i].name, catalogue.rows[i].name);
        if (!catalogue.rows[i].scriptLengthPos) continue;
        EXPECT_EQ(ScriptOf(after, again.rows[i]),
                  i == row ? text : ScriptOf(before, catalogue.rows[i]));
      }
    }
  }
}

TEST(ScriptSave, SameLengthPatchesOnlyTheTextInPlace) {
  ScratchFolder folder;
  const auto path = folder / "scene2.bin";
  const Bytes before = testing::BuildScene(testing::DemoSceneSpec());
  testing::WriteFile(path.string(), before);
  const auto catalogue = Scan(before);
  const int row = RowNamed(catalogue, "init");
  const auto& r = catalogue.rows[static_cast<std::size_t>(row)];
  ByteString text = ScriptOf(before, r);
  text[3] = 'X';
  struct stat st1 {};
  ASSERT_EQ(::stat(path.string().c_str(), &st1), 0);

  const auto result = SaveScript(path, TargetOf(catalogue, row), text);
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(*result, WriteMode::PatchedInPlace);
  const Bytes after = testing::ReadFile(path.string());
  ExpectReplacedText(before, after, *r.scriptLengthPos + 4, *r.scriptLength, text, {});
  struct stat st2 {};
  ASSERT_EQ(::stat(path.string().c_str(), &st2), 0);
  EXPECT_EQ(st1.st_ino, st2.st_ino);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path)));
}

TEST(ScriptSave, LengthChangeOnDiskReplacesTheSceneAndLeavesNoTemporaryFile) {
  ScratchFolder folder;
  const auto path = folder / "scene2.bin";
  const Bytes before = testing::BuildScene(testing::DemoSceneSpec());
  testing::WriteFile(path.string(), before);
  const auto catalogue = Scan(before);
  const int row = RowNamed(catalogue, "Brenna");
  const ByteString text = "// shorter\r\nend\r\n";

  const auto result = SaveScript(path, TargetOf(catalogue, row), text);
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(*result, WriteMode::Replaced);
  EXPECT_EQ(testing::ReadFile(path.string()), Saved(before, TargetOf(catalogue, row), text));
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path)));
}

TEST(ScriptSave, ScriptEndingAtTheLastByteHasNoTail) {
  auto spec = testing::DemoSceneSpec();
  spec.trailerChunks.clear();
  const Bytes before = testing::BuildScene(spec);
  const auto catalogue = Scan(before);
  const int row = RowNamed(catalogue, "outro");
  const auto& r = catalogue.rows[static_cast<std::size_t>(row)];
  ASSERT_EQ(*r.scriptLengthPos + 3 + *r.scriptLength, static_cast<Pos>(before.size()));
  for (const ByteString& text : {ByteString("end\r\n"), ScriptOf(before, r) + "// more\r\n"}) {
    const Bytes after = Saved(before, TargetOf(catalogue, row), text);
    ExpectReplacedText(
        before, after, *r.scriptLengthPos + 4, *r.scriptLength, text,
        CorrectedFields(before, catalogue, row, static_cast<std::int64_t>(text.size())));
    EXPECT_EQ(Int32At(after, 3), static_cast<std::int32_t>(after.size()));
  }
}

TEST(ScriptSave, EmptyScriptCanReceiveText) {
  const Bytes before = testing::BuildScene(testing::DemoSceneSpec());
  const auto catalogue = Scan(before);
  const int row = RowNamed(catalogue, "empty_script");
  const auto after = Saved(before, TargetOf(catalogue, row), "end\r\n");
  EXPECT_EQ(ScriptOf(after, Scan(after).rows[static_cast<std::size_t>(row)]), "end\r\n");
}

TEST(ScriptSave, TargetNeedsAScriptPosition) {
  const auto catalogue = Scan(testing::BuildScene(testing::DemoSceneSpec()));
  EXPECT_EQ(ScriptSaveTargetFor(catalogue, RowNamed(catalogue, "Vel")).error().kind,
            ErrorKind::NoScript);
  EXPECT_EQ(ScriptSaveTargetFor(catalogue, -1).error().kind, ErrorKind::NoSuchRow);
  EXPECT_EQ(ScriptSaveTargetFor(catalogue, static_cast<int>(catalogue.rows.size())).error().kind,
            ErrorKind::NoSuchRow);
}

class ScriptSaveRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    scene_ = testing::BuildScene(testing::DemoSceneSpec());
    catalogue_ = Scan(scene_);
    definition_ = TargetOf(catalogue_, RowNamed(catalogue_, "Oskar"));
    standalone_ = TargetOf(catalogue_, RowNamed(catalogue_, "timer"));
  }
  ErrorKind Refusal(const Bytes& bytes, const ScriptSaveTarget& target, const ByteString& text) {
    auto plan = PlanScriptSave(SceneImage(bytes), target, text);
    EXPECT_FALSE(plan.ok());
    return plan.ok() ? ErrorKind::Invalid : plan.error().kind;
  }
  Bytes scene_;
  Catalogue catalogue_;
  ScriptSaveTarget definition_, standalone_;
};

TEST_F(ScriptSaveRefusal, RootLengthOtherThanFileLengthRefusesALengthChange) {
  Bytes longer = scene_;
  longer.push_back(0x7F);  // root length now one short of the file
  auto target = standalone_;
  target.sceneLength = static_cast<Pos>(longer.size());
  EXPECT_EQ(Refusal(longer, target, "x"), ErrorKind::Refused);
  const auto& r = catalogue_.rows[static_cast<std::size_t>(RowNamed(catalogue_, "timer"))];
  // A same-length save does not depend on the root length.
  EXPECT_TRUE(PlanScriptSave(SceneImage(longer), target,
                             ByteString(static_cast<std::size_t>(*r.scriptLength), 'y'))
                  .ok());
}

TEST_F(ScriptSaveRefusal, FileNoLongerWhatTheScanSaw) {
  auto target = definition_;
  target.sceneLength += 1;
  EXPECT_EQ(Refusal(scene_, target, "x"), ErrorKind::ChangedOnDisk);

  Bytes otherLength = scene_;
  otherLength[static_cast<std::size_t>(definition_.scriptLengthPos - 1)] ^= 1;
  EXPECT_EQ(Refusal(otherLength, definition_, "x"), ErrorKind::ChangedOnDisk);

  Bytes movedEntry = scene_;
  movedEntry[static_cast<std::size_t>(standalone_.entryLengthPos - 3)] = 0;
  EXPECT_EQ(Refusal(movedEntry, standalone_, "x"), ErrorKind::ChangedOnDisk);

  // A definition laid out otherwise than the format says is no change on disk: a change of
  // length is refused for what it is, a text of the same length is saved.
  Bytes movedChunk = scene_;
  movedChunk[static_cast<std::size_t>(*definition_.scriptChunkLengthPos - 3)] = 0x25;
  EXPECT_EQ(Refusal(movedChunk, definition_, "x"), ErrorKind::UnexpectedLayout);
  EXPECT_EQ(PlanScriptSave(SceneImage(movedChunk), definition_, "x")
                .error()
                .message.find(kChangedOnDiskMessage),
            std::string::npos);
  EXPECT_TRUE(PlanScriptSave(SceneImage(movedChunk), definition_,
                             ByteString(static_cast<std::size_t>(definition_.loadedLength), 'y'))
                  .ok());

  Bytes movedSection = scene_;
  movedSection[static_cast<std::size_t>(*standalone_.sectionLengthPos - 3)] = 0x51;
  EXPECT_EQ(Refusal(movedSection, standalone_, "x"), ErrorKind::ChangedOnDisk);

  target = definition_;
  target.scriptLengthPos = static_cast<Pos>(scene_.size()) - 1;
  EXPECT_EQ(Refusal(scene_, target, "x"), ErrorKind::ChangedOnDisk);
  const auto message = PlanScriptSave(SceneImage(scene_), target, "x").error().message;
  EXPECT_EQ(message.rfind(kChangedOnDiskMessage, 0), 0u) << message;
}

TEST_F(ScriptSaveRefusal, LengthThatDoesNotEncloseTheScriptIsNotCorrected) {
  Bytes damaged = scene_;
  const Pos section = *definition_.sectionLengthPos;
  for (int i = 0; i < 4; ++i) damaged[static_cast<std::size_t>(section - 1 + i)] = i == 0 ? 6 : 0;
  EXPECT_EQ(Refusal(damaged, definition_, "x"), ErrorKind::Refused);

  auto noSection = standalone_;
  noSection.sectionLengthPos.reset();
  EXPECT_EQ(Refusal(scene_, noSection, "x"), ErrorKind::Refused);
}

TEST_F(ScriptSaveRefusal, ScriptRunningPastTheEndIsRefused) {
  Bytes damaged = scene_;
  const Pos p = standalone_.scriptLengthPos;
  const auto huge = static_cast<std::int32_t>(scene_.size());
  for (int i = 0; i < 4; ++i) {
    damaged[static_cast<std::size_t>(p - 1 + i)] = static_cast<std::uint8_t>(huge >> (8 * i));
  }
  auto target = standalone_;
  target.loadedLength = huge;
  EXPECT_EQ(Refusal(damaged, target, "x"), ErrorKind::Refused);
  target.loadedLength = -5;
  for (int i = 0; i < 4; ++i) {
    damaged[static_cast<std::size_t>(p - 1 + i)] = static_cast<std::uint8_t>(-5 >> (8 * i));
  }
  EXPECT_EQ(Refusal(damaged, target, "x"), ErrorKind::Refused);
}

TEST(WriteChecks, AdjustedLengthStaysInside32Bits) {
  EXPECT_EQ(*AdjustedLength(100, -20, "x"), 80);
  EXPECT_EQ(AdjustedLength(10, -11, "x").error().kind, ErrorKind::Refused);
  EXPECT_EQ(AdjustedLength(0x7FFFFFFF, 1, "x").error().kind, ErrorKind::Refused);
  EXPECT_EQ(*AdjustedLength(0x7FFFFFFE, 1, "x"), 0x7FFFFFFF);
}

// File faults: each ends with the scene byte for byte as it was and a clear message.
class ScriptSaveFault : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_ / "scene2.bin";
    scene_ = testing::BuildScene(testing::DemoSceneSpec());
    testing::WriteFile(path_.string(), scene_);
    catalogue_ = Scan(scene_);
    target_ = TargetOf(catalogue_, RowNamed(catalogue_, "init"));
  }
  Bytes OnDisk() const { return testing::ReadWhole(path_); }

  ScratchFolder folder_;
  std::filesystem::path path_;
  Bytes scene_;
  Catalogue catalogue_;
  ScriptSaveTarget target_;
};

#ifndef _WIN32  // POSIX holders and modes; the Windows ones are in platform_test.cpp
TEST_F(ScriptSaveFault, LockedByAnotherHolder) {
  const int fd = ::open(path_.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const auto result = SaveScript(path_, target_, "end\r\n");
  ::close(fd);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::Locked);
  EXPECT_EQ(result.error().message, kFileUsedMessage);
  EXPECT_EQ(OnDisk(), scene_);
}

TEST_F(ScriptSaveFault, ReadOnlyScene) {
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0755), 0);
  // Run the save without privileges: an administrator could write a read-only file anyway.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    const auto result = SaveScript(path_, target_, "end\r\n");
    if (result.ok()) ::_exit(0);
    const bool clear = result.error().message.find("read-only") != std::string::npos;
    ::_exit(result.error().kind == ErrorKind::Refused && clear ? 1 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
}
#endif

TEST_F(ScriptSaveFault, DeletedBetweenScanAndSave) {
  std::filesystem::remove(path_);
  const auto result = SaveScript(path_, target_, "end\r\n");
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().message.find("scene2.bin"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path_));  // never created empty
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
}

TEST_F(ScriptSaveFault, ChangedBetweenScanAndSave) {
  // Another save grew a script meanwhile.
  const auto other = TargetOf(catalogue_, RowNamed(catalogue_, "Oskar"));
  const Bytes changed = Saved(scene_, other, "end\r\n// changed elsewhere\r\n");
  testing::WriteFile(path_.string(), changed);
  const auto result = SaveScript(path_, target_, "end\r\n");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::ChangedOnDisk);
  EXPECT_EQ(OnDisk(), changed);
}

TEST_F(ScriptSaveFault, FailingWriteDuringTheTemporaryFile) {
  testing::FailingFileSystem fillsUp;
  fillsUp.failWritesAfter(scene_.size() / 2);
  const auto result = SaveScript(path_, target_, "end\r\n", fillsUp);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::WriteFailed);
  EXPECT_NE(result.error().message.find("unchanged"), std::string::npos);
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
}

// The check before commit: a text the next load would read otherwise is refused, in place or
// not, and says why.
TEST_F(ScriptSaveFault, TextsTheNextLoadWouldMisreadAreRefused) {
  const int definition = 0;  // the first definition row, which has a script
  ASSERT_TRUE(catalogue_.rows[0].scriptLengthPos && !catalogue_.rows[0].standalone);
  const int script = RowNamed(catalogue_, "init");
  const ByteString definitionText = ScriptOf(scene_, catalogue_.rows[0]);
  const std::string hides =
      "This text would hide the script from the scene: it starts with a control character. "
      "Nothing was saved.";
  const struct {
    int row;
    ByteString text;
    std::string message;
  } cases[] = {
      {definition, "// Brand!\xAE\r\n",
       "The characters '!\xC2\xAE' would be read as the start of a new entry. Nothing was saved."},
      {definition, "\t// hi\r\n", hides},
      {definition, "\t" + definitionText.substr(1), hides},  // the same length: patched in place
      {script, "xQ\xAEy",
       "The characters 'Q\xC2\xAE' would be read as the start of a new entry. Nothing was saved."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto result = SaveScript(path_, TargetOf(catalogue_, c.row), c.text);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::WouldMisread);
    EXPECT_EQ(result.error().message, c.message);
    EXPECT_EQ(OnDisk(), scene_);
    EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  }
}

// With the loaded text given, another program's change of the same length is never overwritten.
TEST_F(ScriptSaveFault, AnotherProgramsSameLengthEditIsNotOverwritten) {
  const auto& row = catalogue_.rows[static_cast<std::size_t>(RowNamed(catalogue_, "init"))];
  auto target = target_;
  target.loadedText = ScriptOf(scene_, row);
  ByteString mine = *target.loadedText;
  mine[0] = 'Z';
  Bytes theirs = scene_;
  theirs[static_cast<std::size_t>(*row.scriptLengthPos + 4 + 2 - 1)] ^= 0x20;
  testing::WriteFile(path_.string(), theirs);
  const auto result = SaveScript(path_, target, mine);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::ChangedOnDisk);
  EXPECT_EQ(result.error().message.rfind(kChangedOnDiskMessage, 0), 0u);
  EXPECT_EQ(OnDisk(), theirs);

  testing::WriteFile(path_.string(), scene_);
  EXPECT_TRUE(SaveScript(path_, target, mine).ok());
}

TEST_F(ScriptSaveFault, LeftoverTemporaryFileIsKept) {
  const Bytes leftover = {'k', 'e', 'e', 'p'};
  testing::WriteFile(TempPathFor(path_).string(), leftover);
  const auto result = SaveScript(path_, target_, "end\r\n");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ErrorKind::TempExists);
  EXPECT_EQ(OnDisk(), scene_);
  EXPECT_EQ(testing::ReadFile(TempPathFor(path_).string()), leftover);
}

#ifndef _WIN32  // fork and kill
TEST_F(ScriptSaveFault, KilledDuringALengthChangingSaveLeavesOldOrNewScene) {
  auto spec = testing::DemoSceneSpec();
  spec.trailerChunks = {testing::Chunk(0xAE40, Bytes(32u << 20, 0x5A))};
  const Bytes big = testing::BuildScene(spec);
  const auto catalogue = Scan(big);
  const auto target = TargetOf(catalogue, RowNamed(catalogue, "init"));
  const ByteString text =
      ScriptOf(big, catalogue.rows[static_cast<std::size_t>(RowNamed(catalogue, "init"))]) +
      "// grown\r\n";
  const Bytes grown = Saved(big, target, text);

  // One save undisturbed, to know how long a save takes here.
  testing::WriteFile(path_.string(), big);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(SaveScript(path_, target, text).ok());
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count() +
                    1;
  ASSERT_EQ(OnDisk(), grown);

  std::mt19937 random(12345);
  int sawOld = 0, sawNew = 0;
  for (int i = 0; i < 4; ++i) {
    testing::WriteFile(path_.string(), big);
    std::filesystem::remove(TempPathFor(path_));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(SaveScript(path_, target, text).ok() ? 0 : 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % (took + took / 4)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const Bytes now = OnDisk();
    const bool isOld = now == big, isNew = now == grown;
    EXPECT_TRUE(isOld || isNew) << "iteration " << i << ": " << now.size() << " bytes";
    sawOld += isOld;
    sawNew += isNew;
  }
  std::filesystem::remove(TempPathFor(path_));
  std::printf("a save took %lld ms; killed saves left %d old and %d new scenes\n",
              static_cast<long long>(took), sawOld, sawNew);
}
#endif

}  // namespace
}  // namespace quorvex
