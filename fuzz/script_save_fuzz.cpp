// Script save on any bytes, with the same length, a longer and a shorter text, planned against the
// fuzzed scene and also run through the real file writer:
// - a refused save changes nothing (the file stays byte for byte as it was, no ".save" is left);
// - a successful save writes the text at the row's script, corrects exactly the enclosing length
//   fields by the difference, moves every following byte unchanged, and leaves the root length
//   equal to the file length when the length changed;
// - a saved scene lists as many rows as before when loaded afresh;
// - the writer, which reads its result back before committing, refuses exactly the saves whose
//   result a fresh load would read otherwise (a text hiding the script, a text read as a marker),
//   and then changes nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/read_back.h"
#include "fuzz/save_expectations.h"
#include "script/script_save.h"
#include "support/scene_builder.h"

namespace {

using namespace quorvex;

// A text of `length` bytes. Safe texts avoid every byte that can form a marker pair with a
// neighbour (00, 20, 21, 40, 50, 51, AE), so the scan sees no marker in or at the edge of the text.
ByteString MakeText(std::int64_t length, std::uint8_t seed, bool anyBytes) {
  static constexpr char kSafe[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n_.,;:()[]=+-*/\t";
  ByteString text(static_cast<std::size_t>(length), 'x');
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& c : text) {
    state = state * 1103515245u + 12345u;
    const auto r = static_cast<std::uint8_t>(state >> 16);
    c = anyBytes ? static_cast<char>(r) : kSafe[r % (sizeof kSafe - 1)];
  }
  return text;
}

void CheckRefusalOnDisk(std::span<const std::uint8_t> scene, const ScriptSaveTarget& target,
                        const ByteString& text, ErrorKind planned) {
  auto& scratch = fuzz::Scratch();
  scratch.write(scene);
  const auto written = SaveScript(scratch.path(), target, text);
  QV_FUZZ_CHECK(!written.ok(), "the planner refused but the writer saved");
  QV_FUZZ_CHECK(written.error().kind == planned, written.error().message);
  QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                "a refused save changed the file");
  QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a refused save left a .save file");
}

// Positions chosen by the input: the planner must refuse or stay inside the file.
void ArbitraryTarget(std::span<const std::uint8_t> scene, fuzz::ControlBytes& control) {
  const auto length = static_cast<Pos>(scene.size());
  auto pick = [&] { return static_cast<Pos>(control.u16()) % (length + 8) - 3; };
  ScriptSaveTarget target;
  target.standalone = control.byte() & 1;
  target.entryLengthPos = pick();
  target.scriptLengthPos = pick();
  target.scriptChunkLengthPos = pick();
  target.sectionLengthPos = pick();
  target.loadedLength = static_cast<std::int32_t>(control.u16()) - 2;
  target.sceneLength = length;
  const auto text = MakeText(control.byte(), control.byte(), false);
  const auto plan = PlanScriptSave(SceneImage(scene), target, text);
  if (!plan) {
    QV_FUZZ_CHECK(!plan.error().message.empty(), "an error without a message");
    return;
  }
  QV_FUZZ_CHECK(plan->originalLength() == scene.size(), "plan over another length");
  for (const auto& edit : plan->edits()) {
    QV_FUZZ_CHECK(edit.offset + edit.removeCount <= scene.size(), "an edit outside the file");
  }
  const auto result = testing::Applied(*plan, scene);
  QV_FUZZ_CHECK(result.size() == plan->newLength(), "new length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ControlBytes control({data, size}, fuzz::kControlBytes);
  const auto scene = control.scene();
  const SceneImage image(scene);
  const int mode = control.byte() % 3;  // 0 same length, 1 longer, 2 shorter
  const SectionFlags flags = (control.byte() & 1) ? SectionFlags{true, true} : SectionFlags{};
  const std::uint16_t rowChoice = control.u16();
  const std::uint16_t amount = control.u16();
  const std::uint8_t seed = control.byte();
  const bool anyBytes = (control.byte() & 7) == 0;

  const auto catalogue = ScanCatalogue(image, flags);
  if (!catalogue || catalogue->rows.empty()) {
    ArbitraryTarget(scene, control);
    return 0;
  }
  const int row = static_cast<int>(rowChoice % catalogue->rows.size());
  const auto target = ScriptSaveTargetFor(*catalogue, row);
  if (!target) {
    QV_FUZZ_CHECK(target.error().kind == ErrorKind::NoScript, target.error().message);
    QV_FUZZ_CHECK(!catalogue->rows[static_cast<std::size_t>(row)].scriptLengthPos,
                  "row has a script");
    return 0;
  }
  const std::int64_t org = target->loadedLength;
  std::int64_t newLength = org;
  if (mode == 1) newLength = org + 1 + amount % 2048;
  if (mode == 2 && org > 0) newLength = org - 1 - amount % org;
  const auto text = MakeText(newLength, seed, anyBytes);

  const auto plan = PlanScriptSave(SceneImage(scene), *target, text);
  if (!plan) {
    const auto kind = plan.error().kind;
    QV_FUZZ_CHECK(kind == ErrorKind::Refused || kind == ErrorKind::ChangedOnDisk ||
                      kind == ErrorKind::Damaged || kind == ErrorKind::UnexpectedLayout,
                  plan.error().message);
    fuzz::Count("save: refused");
    CheckRefusalOnDisk(scene, *target, text, kind);
    return 0;
  }
  fuzz::Count(newLength == org ? "save: same length" : "save: length changed (planned)");
  const auto result = testing::Applied(*plan, scene);
  fuzz::CheckSavedBytes(scene, result, *target, text);

  auto& scratch = fuzz::Scratch();
  scratch.write(scene);
  const auto written = SaveScript(scratch.path(), *target, text);
  if (plan->edits().empty()) {
    // The file holds the text already: nothing is written, so there is nothing to read back,
    // whatever else the scene holds.
    QV_FUZZ_CHECK(written.ok() && *written == WriteMode::NothingWritten, "the same text written");
    QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()), "the same text changed");
    return 0;
  }
  const Pos p = target->scriptLengthPos;
  fuzz::ReadBackExpectation expected;
  expected.moved = [&](Pos x) { return x > p + 3 ? x + (newLength - org) : x; };
  expected.savedScriptLengthPos = p;
  expected.savedText = text;
  const auto difference = fuzz::ReadBackDifference(image, SceneImage(result), expected);
  if (!written.ok()) {
    QV_FUZZ_CHECK(written.error().kind == ErrorKind::WouldMisread, written.error().message);
    QV_FUZZ_CHECK(difference.has_value(),
                  "refused a save whose result reads back as intended: " + written.error().message);
    QV_FUZZ_CHECK(scratch.read() == Bytes(scene.begin(), scene.end()),
                  "a refused save changed the file");
    QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a refused save left a .save file");
    fuzz::Count("save: refused, the result would read otherwise");
    return 0;
  }
  QV_FUZZ_CHECK(!difference, "a saved scene reads back otherwise: " + difference.value_or(""));
  const auto rowsBefore = ScanCatalogue(image);
  const auto rowsAfter = ScanCatalogue(SceneImage(result));
  QV_FUZZ_CHECK(rowsBefore && rowsAfter && rowsAfter->rows.size() == rowsBefore->rows.size(),
                "a saved scene lists another number of rows");
  QV_FUZZ_CHECK(
      *written == (PatchesInPlace(*plan) ? WriteMode::PatchedInPlace : WriteMode::Replaced),
      "write mode");
  QV_FUZZ_CHECK(scratch.read() == result, "the file differs from the planned content");
  QV_FUZZ_CHECK(!scratch.tempLeftOver(), "a save left a .save file");
  return 0;
}
