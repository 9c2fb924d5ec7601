#include "fuzz/read_back.h"

#include "fuzz/fuzz_support.h"
#include "scene/catalogue.h"
#include "support/same_results.h"

namespace quorvex::fuzz {
namespace {

int FirstStandalone(const Catalogue& catalogue) {
  for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
    if (catalogue.rows[i].standalone) return static_cast<int>(i);
  }
  return 0;
}

}  // namespace

std::optional<std::string> ReadBackDifference(const SceneImage& before, const SceneImage& after,
                                              const ReadBackExpectation& expected) {
  const auto old = ScanCatalogue(before);
  if (!old) return "the scene before the write cannot be read: " + old.error().message;
  auto now = ScanCatalogue(after);
  if (!now) return "the result cannot be read: " + now.error().message;
  const auto& moved = expected.moved;

  Catalogue want = *old;
  want.sceneLength = after.length();
  for (auto& row : want.rows) {
    const bool saved = row.scriptLengthPos && row.scriptLengthPos == expected.savedScriptLengthPos;
    row.entryLengthPos = moved(row.entryLengthPos);
    if (row.scriptChunkLengthPos) row.scriptChunkLengthPos = moved(*row.scriptChunkLengthPos);
    if (row.scriptLengthPos) row.scriptLengthPos = moved(*row.scriptLengthPos);
    if (saved) row.scriptLength = static_cast<std::int32_t>(expected.savedText.size());
    row.checked = row.scriptLength && *row.scriptLength != 0;
  }
  // A section header is where it was; a section that had none may show one now (an insertion
  // into an empty section).
  auto section = [&](std::optional<SectionHeader>& header, const std::optional<SectionHeader>& got,
                     bool& seen) {
    if (!header) {
      header = got;
      seen = got.has_value() || seen;
      return;
    }
    header->lengthPos = moved(header->lengthPos);
    header->length = after.int32At(header->lengthPos).value_or(-1);
  };
  section(want.scriptSection, now->scriptSection, want.flags.scriptSectionSeen);
  section(want.defSection, now->defSection, want.flags.defSectionSeen);

  if (expected.newRowLengthPos) {
    bool found = false;
    for (auto row = now->rows.begin(); row != now->rows.end(); ++row) {
      if (row->entryLengthPos == *expected.newRowLengthPos && !row->standalone) {
        now->rows.erase(row);
        found = true;
        break;
      }
    }
    if (!found) return "the new definition row is not listed";
  }
  want.firstStandaloneScriptRow = FirstStandalone(want);
  now->firstStandaloneScriptRow = FirstStandalone(*now);
  if (const auto difference = testing::CatalogueDifference(want, *now); !difference.empty()) {
    return "catalogue: " + difference;
  }

  if (expected.savedScriptLengthPos) {
    const Pos at = moved(*expected.savedScriptLengthPos) + 4;
    if (after.bytesAt(at, static_cast<Pos>(expected.savedText.size())) != expected.savedText) {
      return "the saved text does not read back";
    }
  }
  const auto root = after.int32At(3);
  const bool sameLength = after.length() == before.length();
  if (!(root && *root == after.length()) && !(sameLength && root == before.int32At(3))) {
    return "root length";
  }
  return std::nullopt;
}

}  // namespace quorvex::fuzz
