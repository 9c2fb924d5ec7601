#include "fuzz/save_expectations.h"

#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "scene/object_params.h"
#include "support/same_results.h"

namespace quorvex::fuzz {
namespace {

// A pair of bytes the scans may take for a marker: x AE (x = 20, 21, 50, 51) or 00 40.
bool MarkerPairAt(const SceneImage& image, Pos pos) {
  const auto a = image.byteAt(pos);
  const auto b = image.byteAt(pos + 1);
  if (!a || !b) return false;
  return marker::IsScanMarker(*a, *b) || (*a == 0x00 && *b == 0x40);
}

bool MarkerPairIn(const SceneImage& image, Pos first, Pos last) {
  for (Pos pos = std::max<Pos>(first, 1); pos <= last; ++pos) {
    if (MarkerPairAt(image, pos)) return true;
  }
  return false;
}

bool Intersects(Pos a0, Pos a1, Pos b0, Pos b1) {
  return a0 <= b1 && b0 <= a1;
}

}  // namespace

std::vector<Pos> CheckSavedBytes(std::span<const std::uint8_t> before,
                                 std::span<const std::uint8_t> after,
                                 const ScriptSaveTarget& target, const ByteString& text) {
  const SceneImage old(before);
  const SceneImage now(after);
  const Pos p = target.scriptLengthPos;
  const std::int64_t org = target.loadedLength;
  const auto newLength = static_cast<std::int64_t>(text.size());
  const std::int64_t delta = newLength - org;
  QV_FUZZ_CHECK(now.length() == old.length() + delta, "new file length");
  QV_FUZZ_CHECK(now.bytesAt(p + 4, newLength) == text, "text at the script");
  QV_FUZZ_CHECK(std::equal(before.begin() + (p + 3 + org), before.end(),
                           after.begin() + (p + 3 + newLength), after.end()),
                "bytes after the script");

  std::vector<Pos> fields;
  if (delta != 0) {
    fields = {3, *target.sectionLengthPos, target.entryLengthPos};
    if (!target.standalone) fields.push_back(*target.scriptChunkLengthPos);
  }
  Bytes expected(before.begin(), before.begin() + (p + 3));
  for (const Pos f : fields) {
    QV_FUZZ_CHECK(f + 3 < p, "a corrected length lies behind the script");
    const auto value = static_cast<std::int32_t>(*old.int32At(f) + delta);
    const auto bytes = Int32Bytes(value);
    std::copy(bytes.begin(), bytes.end(), expected.begin() + (f - 1));
  }
  const auto length = Int32Bytes(static_cast<std::int32_t>(newLength));
  std::copy(length.begin(), length.end(), expected.begin() + (p - 1));
  QV_FUZZ_CHECK(std::equal(expected.begin(), expected.end(), after.begin()),
                "bytes before the script: only the enclosing lengths may change");
  if (delta != 0) {
    QV_FUZZ_CHECK(now.int32At(3) == now.length(), "root length = file length after the save");
  }
  return fields;
}

void CheckSameRowsAfterSave(std::span<const std::uint8_t> before,
                            std::span<const std::uint8_t> after, const Catalogue& catalogue,
                            SectionFlags flags, int row, const std::vector<Pos>& changedFields,
                            bool textMayHoldMarkers) {
  const SceneImage old(before);
  const SceneImage now(after);
  const auto& saved = catalogue.rows[static_cast<std::size_t>(row)];
  const Pos p = *saved.scriptLengthPos;
  const Pos org = *saved.scriptLength;
  const Pos newLength = *now.int32At(p);
  const Pos delta = newLength - org;

  // Where the byte-stepping scan could see something else after the edit, a different catalogue
  // is the scan's own (quirky) reading of the bytes, not a fault of the save.
  Count("save: length changed");
  if (textMayHoldMarkers) return;
  // A definition's script is found only when the byte after its length is 0x0A or above. The
  // writer refuses a text that would hide a script from a fresh load; a row that only the reload
  // after a save lists (both sections taken as seen) is not covered by that check.
  if (!saved.standalone && (flags.defSectionSeen || flags.scriptSectionSeen)) {
    const auto first = now.byteAt(p + 4);
    if (!first || *first < 0x0A) return;
  }
  if (MarkerPairIn(old, p - 4, p + 3 + org) || MarkerPairIn(now, p - 4, p + 3 + newLength)) return;
  for (const Pos f : changedFields) {
    if (MarkerPairIn(old, f - 1, f + 3) || MarkerPairIn(now, f - 1, f + 3)) return;
    // The upper half of a length may be stepped over as a marker or read as a script's first byte.
    if ((*old.int32At(f) >> 16) != (*now.int32At(f) >> 16)) return;
  }
  // The objects section is skipped by its length: it must lie wholly before the script.
  const auto h = FindObjectsSection(old);
  if (!h || *h >= p) return;
  const auto sectionLength = old.int32At(*h + 2);
  if (!sectionLength || *sectionLength <= 0 || *h + *sectionLength > p) return;
  // No other row may read anything inside the edited bytes.
  for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
    if (static_cast<int>(i) == row) continue;
    const auto& other = catalogue.rows[i];
    const Pos nameStart = other.entryLengthPos + (other.standalone ? 9 : 10);
    if (Intersects(nameStart - 6, nameStart + static_cast<Pos>(other.name.size()), p, p + 3 + org))
      return;
    if (other.scriptLengthPos &&
        Intersects(*other.scriptLengthPos, *other.scriptLengthPos + 3 + *other.scriptLength, p,
                   p + 3 + org))
      return;
    for (const Pos f : changedFields) {
      if (Intersects(nameStart, nameStart + static_cast<Pos>(other.name.size()), f, f + 3)) return;
      if (other.scriptLengthPos &&
          Intersects(*other.scriptLengthPos, *other.scriptLengthPos + 3 + *other.scriptLength, f,
                     f + 3))
        return;
    }
  }

  Count("save: catalogue compared after the save");
  const auto rescanned = ScanCatalogue(now, flags);
  QV_FUZZ_CHECK(rescanned.ok(), "the saved scene no longer scans: " + rescanned.error().message);
  auto moved = [&](Pos x) { return x > p + 3 ? x + delta : x; };
  Catalogue expected = catalogue;
  expected.sceneLength = now.length();
  for (auto* section : {&expected.scriptSection, &expected.defSection}) {
    if (!*section) continue;
    (*section)->lengthPos = moved((*section)->lengthPos);
    (*section)->length = *now.int32At((*section)->lengthPos);
  }
  for (auto& r : expected.rows) {
    r.entryLengthPos = moved(r.entryLengthPos);
    if (r.scriptChunkLengthPos) r.scriptChunkLengthPos = moved(*r.scriptChunkLengthPos);
    if (r.scriptLengthPos) {
      r.scriptLengthPos = moved(*r.scriptLengthPos);
      r.scriptLength = *now.int32At(*r.scriptLengthPos);
      r.checked = *r.scriptLength != 0;
    }
  }
  QV_FUZZ_CHECK(expected.rows[static_cast<std::size_t>(row)].scriptLength == newLength,
                "saved row's length");
  const auto difference = testing::CatalogueDifference(expected, *rescanned);
  QV_FUZZ_CHECK(difference.empty(), "catalogue after the save: " + difference);
}

}  // namespace quorvex::fuzz
