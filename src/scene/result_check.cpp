#include "scene/result_check.h"

#include <algorithm>
#include <cstring>

#include "scene/markers.h"
#include "scene/text_codec.h"

namespace quorvex {
namespace {

// A row as the result must list it: an existing row at its moved place, or a saved row with its
// new script length.
struct ExpectedRow {
  ByteString name;
  bool standalone = false;
  Pos entryLengthPos = 0;
  std::optional<Pos> scriptLengthPos;
  std::optional<std::int32_t> scriptLength;
  std::optional<Pos> scriptChunkLengthPos;
  const WriteIntent::SavedScript* saved = nullptr;
};

bool SameRow(const CatalogueRow& got, const ExpectedRow& want) {
  return got.name == want.name && got.standalone == want.standalone &&
         got.entryLengthPos == want.entryLengthPos && got.scriptLengthPos == want.scriptLengthPos &&
         got.scriptLength == want.scriptLength &&
         got.scriptChunkLengthPos == want.scriptChunkLengthPos;
}

std::string Quoted(const ByteString& name) {
  std::string quoted = "\"";
  quoted += BytesToUtf8(name);
  quoted += '"';
  return quoted;
}

// "The characters '!®'", or the byte values where a character would not show.
std::string PairText(std::uint8_t low, std::uint8_t high) {
  auto shows = [](std::uint8_t b) { return b >= 0x20 && b != 0x7F; };
  if (shows(low) && shows(high)) {
    return "The characters '" +
           BytesToUtf8(ByteString{static_cast<char>(low), static_cast<char>(high)}) + "'";
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "The bytes ";
  for (const std::uint8_t b : {low, high}) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
    text += ' ';
  }
  text.pop_back();
  return text;
}

std::string Meaning(std::uint8_t low) {
  return low == 0x21 || low == 0x51 ? "a new entry" : "a new section";
}

// The catalogue scan never reads positions 1 to 4 of a content of 6 bytes or more: it starts
// looking for the objects section at position 5, and without one at 80 % of the length, and
// every other read lies after a marker it has found.
constexpr Pos kFirstPositionScanned = 5;
constexpr Pos kShortestSkippingStart = 6;

// Where the plan changes the content, as the catalogue scan needs to know it: from the first byte
// the scan can read that the plan gives another value (a corrected root length whose upper bytes
// stay as they are changes nothing the scan sees), to the end of the last edit.
ContentChange ChangeOf(const EditPlan& plan, const SceneImage& current) {
  ContentChange change;
  if (plan.edits().empty()) return change;
  const auto shorter = static_cast<Pos>(std::min(plan.originalLength(), plan.newLength()));
  const Pos unread = shorter >= kShortestSkippingStart ? kFirstPositionScanned - 1 : 0;
  change.firstChanged = static_cast<Pos>(plan.edits().front().offset) + 1;
  for (const auto& e : plan.edits()) {
    const Pos first = static_cast<Pos>(e.offset) + 1;
    if (e.removeCount != e.insert.size()) {
      change.firstChanged = first;
      break;
    }
    std::size_t i = 0;
    while (i < e.insert.size() && (first + static_cast<Pos>(i) <= unread ||
                                   current.byteAt(first + static_cast<Pos>(i)) == e.insert[i])) {
      ++i;
    }
    change.firstChanged = first + static_cast<Pos>(i);
    if (i < e.insert.size()) break;
  }
  std::uint64_t end = 0;
  for (const auto& e : plan.edits()) end = std::max(end, e.offset + e.removeCount);
  change.firstKept = static_cast<Pos>(end) + 1;
  change.shift = static_cast<Pos>(plan.newLength()) - static_cast<Pos>(plan.originalLength());
  return change;
}

class Comparison {
 public:
  Comparison(const SceneImage& current, const EditPlan& plan, const SceneImage& result,
             const WriteIntent& intent)
      : current_(current), plan_(plan), result_(result), intent_(intent) {}

  Status Run() {
    std::optional<Catalogue> scanned;
    const Catalogue* before = intent_.before;
    std::optional<Result<Catalogue>> after;
    if (before == nullptr) {
      // Both scans at once: the result is scanned only where the edits can change what the scan
      // sees, and taken from the current content's scan elsewhere.
      auto both = ScanAroundChange(current_, result_, ChangeOf(plan_, current_));
      if (!both.before) {
        return Refuse("The scene cannot be read as it is now (" + both.before.error().message +
                      "), so the change cannot be checked.");
      }
      scanned = std::move(*both.before);
      before = &*scanned;
      after.emplace(std::move(both.after));
    } else {
      after.emplace(ScanCatalogue(result_));
    }
    if (!*after) {
      if (auto marker = MarkerInSavedText()) return *marker;
      return Refuse("After this change the scene could not be read back: " +
                    after->error().message);
    }
    const Catalogue& afterRows = **after;
    if (auto s = CompareRows(*before, afterRows); !s) return s;
    if (auto s = CompareSection(before->scriptSection, afterRows.scriptSection); !s) return s;
    if (auto s = CompareSection(before->defSection, afterRows.defSection); !s) return s;
    if (auto s = CompareSavedTexts(); !s) return s;
    return CompareRootLength();
  }

 private:
  Error Refuse(const std::string& why) const {
    return MakeError(ErrorKind::WouldMisread, why + " " + intent_.nothingDone);
  }

  std::vector<ExpectedRow> Expected(const Catalogue& before) const {
    std::vector<ExpectedRow> rows;
    rows.reserve(before.rows.size());
    for (const auto& row : before.rows) {
      ExpectedRow want;
      want.name = row.name;
      want.standalone = row.standalone;
      want.entryLengthPos = plan_.movedPosition(row.entryLengthPos);
      if (row.scriptLengthPos) want.scriptLengthPos = plan_.movedPosition(*row.scriptLengthPos);
      want.scriptLength = row.scriptLength;
      if (row.scriptChunkLengthPos) {
        want.scriptChunkLengthPos = plan_.movedPosition(*row.scriptChunkLengthPos);
      }
      for (const auto& saved : intent_.scripts) {
        if (row.scriptLengthPos == saved.scriptLengthPos) {
          want.scriptLength = static_cast<std::int32_t>(saved.text.size());
          want.saved = &saved;
        }
      }
      rows.push_back(std::move(want));
    }
    return rows;
  }

  Status CompareRows(const Catalogue& before, const Catalogue& after) const {
    const auto expected = Expected(before);
    std::size_t next = 0;  // the expected row the result should list next
    bool newRowSeen = false;
    for (const auto& got : after.rows) {
      if (next < expected.size() && SameRow(got, expected[next])) {
        ++next;
        continue;
      }
      if (intent_.newDefinitionRow && !newRowSeen && !got.standalone &&
          got.name == *intent_.newDefinitionRow) {
        newRowSeen = true;
        continue;
      }
      if (next < expected.size() && got.entryLengthPos == expected[next].entryLengthPos &&
          got.name == expected[next].name) {
        return Differs(expected[next], &got);
      }
      if (auto marker = MarkerAt(got.entryLengthPos - 2)) return *marker;
      if (next < expected.size()) return Differs(expected[next], nullptr);
      return Refuse("After this change the scene would list an entry " + Quoted(got.name) +
                    " that is not there now.");
    }
    if (next < expected.size()) return Differs(expected[next], nullptr);
    if (intent_.newDefinitionRow && !newRowSeen) {
      if (auto marker = MarkerInSavedText()) return *marker;
      return Refuse("After this change the scene would not list the new object's definition " +
                    Quoted(*intent_.newDefinitionRow) + ".");
    }
    return OkStatus();
  }

  // Why the expected row `want` is missing from the result (`got` null) or read differently.
  Error Differs(const ExpectedRow& want, const CatalogueRow* got) const {
    if (want.saved != nullptr && got != nullptr && !got->scriptLengthPos && !want.standalone) {
      // A definition's script is found only where its first byte is 0x0A or above.
      const auto& text = want.saved->text;
      if (text.empty()) {
        return Refuse(
            "An empty text would hide the script from the scene here: the byte after it is a "
            "control character.");
      }
      if (static_cast<std::uint8_t>(text[0]) < 0x0A) {
        return Refuse(
            "This text would hide the script from the scene: it starts with a control "
            "character.");
      }
    }
    if (auto marker = MarkerInSavedText()) return *marker;
    if (got == nullptr) {
      return Refuse("After this change the scene would no longer list the entry " +
                    Quoted(want.name) + ".");
    }
    return Refuse("After this change the scene would read the entry " + Quoted(want.name) +
                  " differently.");
  }

  Status CompareSection(const std::optional<SectionHeader>& before,
                        const std::optional<SectionHeader>& after) const {
    if (!before) return OkStatus();  // an insertion may make an empty section visible
    if (after && after->lengthPos == plan_.movedPosition(before->lengthPos)) return OkStatus();
    if (after) {
      if (auto marker = MarkerAt(after->lengthPos - 2)) return *marker;
    }
    if (auto marker = MarkerInSavedText()) return *marker;
    return Refuse(
        "After this change the scene would no longer find its section header at "
        "position " +
        std::to_string(plan_.movedPosition(before->lengthPos) - 2) + ".");
  }

  Status CompareSavedTexts() const {
    for (const auto& saved : intent_.scripts) {
      const Pos at = plan_.movedPosition(saved.scriptLengthPos) + 4;
      std::size_t done = 0;
      bool same = result_.int32At(at - 4) == static_cast<std::int64_t>(saved.text.size());
      same = same &&
             result_.forEachRun(
                 at, static_cast<Pos>(saved.text.size()), [&](std::span<const std::uint8_t> piece) {
                   same = same &&
                          std::memcmp(piece.data(), saved.text.data() + done, piece.size()) == 0;
                   done += piece.size();
                 });
      if (!same) return Refuse("The saved script would not read back as the new text.");
    }
    return OkStatus();
  }

  Status CompareRootLength() const {
    const auto root = result_.int32At(3);
    if (root && *root == result_.length()) return OkStatus();
    // A scene whose root length was already off may still be changed in place.
    if (plan_.keepsLength() && root == current_.int32At(3)) return OkStatus();
    return Refuse("After this change the scene's root length (position 3) would not match its " +
                  std::to_string(result_.length()) + " bytes.");
  }

  // The refusal naming the marker pair at `pos` of the result, when the scan would step onto one
  // there.
  std::optional<Error> MarkerAt(Pos pos) const {
    const auto low = result_.byteAt(pos);
    const auto high = result_.byteAt(pos + 1);
    if (!low || !high || !marker::IsScanMarker(*low, *high)) return std::nullopt;
    std::string where;
    if (!InSavedText(pos)) {
      const auto old = plan_.originalPosition(pos);
      where = old ? " at position " + std::to_string(*old) : " in the new bytes";
    }
    return Refuse(PairText(*low, *high) + where + " would be read as the start of " +
                  Meaning(*low) + ".");
  }

  bool InSavedText(Pos pos) const {
    for (const auto& saved : intent_.scripts) {
      const Pos first = plan_.movedPosition(saved.scriptLengthPos) + 4;
      if (pos >= first - 1 && pos < first + static_cast<Pos>(saved.text.size())) return true;
    }
    return false;
  }

  // The first marker pair inside a saved text, or formed by its first or last byte and the byte
  // beside it.
  std::optional<Error> MarkerInSavedText() const {
    for (const auto& saved : intent_.scripts) {
      const Pos first = plan_.movedPosition(saved.scriptLengthPos) + 4;
      const Pos last = first + static_cast<Pos>(saved.text.size()) - 1;
      for (Pos pos = first - 1; pos <= last; ++pos) {
        if (auto marker = MarkerAt(pos)) return marker;
      }
    }
    return std::nullopt;
  }

  const SceneImage& current_;
  const EditPlan& plan_;
  const SceneImage& result_;
  const WriteIntent& intent_;
};

}  // namespace

Status CheckPlannedResult(const SceneImage& current, const EditPlan& plan, const SceneImage& result,
                          const WriteIntent& intent) {
  auto status = Comparison(current, plan, result, intent).Run();
  return CheckedRead(current, CheckedRead(result, std::move(status)));
}

}  // namespace quorvex
