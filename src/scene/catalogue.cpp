// ScanScene's logic: the catalogue scan and the script search inside a definition.
//
// The scan visits every position after the objects section in turn and acts on the markers it
// finds: section headers, standalone scripts, definitions. Here the bytes are searched run by run
// (a block of the file at a time, or all of it when it lies in memory), and the
// positions where nothing can happen are skipped: every marker the main loop tests (50 AE, 51 AE,
// 20 AE, 21 AE) has 0xAE as its second byte, so memchr finds the next candidate, and the progress
// check that the main loop makes at every position it visits is simulated in closed form for the
// skipped positions. The result (rows, positions, sections, the sequence of progress calls) is
// exactly that of stepping one byte at a time; tests compare it with a byte-stepping reference.

#include "scene/catalogue.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "scene/markers.h"

namespace quorvex {
namespace {

constexpr std::uint8_t kAE = 0xAE;

// limit80 := 0.8 x SceneLength rounded to the nearest integer, 0.8 as a single-precision value,
// ties to even (a product ending in .5 goes to the even neighbour).
Pos Limit80(Pos length) {
  const double x = static_cast<double>(0.8f) * static_cast<double>(length);
  double whole = std::floor(x);
  const double diff = x - whole;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<Pos>(whole);
}

// The progress of the main loop: at every turn, at position x, before anything else, if
// 5 * (x - limit80) > ProgressCount * progressStep + 1 the hook is called with ProgressCount, which
// then grows by 1. The left side grows with x, so for a given count the condition holds exactly
// from a threshold position on; `next_` caches that threshold for the current count.
class ScanProgress {
 public:
  ScanProgress(Pos limit80, double step, int initial, const std::function<void(int)>& hook)
      : limit80_(limit80), step_(step), count_(initial), hook_(hook) {
    next_ = threshold();
  }

  // One turn of the main loop at position x.
  void turn(Pos x) {
    if (x >= next_) fire();
  }

  // Turns at every position first .. last, in order (none when first > last).
  void turns(Pos first, Pos last) {
    Pos x = first;
    while (x <= last) {
      if (next_ > last) return;
      if (x < next_) x = next_;
      fire();
      ++x;
    }
  }

 private:
  void fire() {
    if (hook_) hook_(count_);
    ++count_;
    next_ = threshold();
  }

  // Smallest x with double(5 * (x - limit80)) > double(count) * step + 1.0, the same double
  // expression the literal loop evaluates; 5 * d is an exact integer in a double here.
  Pos threshold() const {
    const double t = static_cast<double>(count_) * step_ + 1.0;
    if (t > 1e15) return std::numeric_limits<Pos>::max();
    if (t < -1e15) return std::numeric_limits<Pos>::min();
    auto d = static_cast<Pos>(std::floor(t / 5.0)) + 1;
    while (static_cast<double>(5 * (d - 1)) > t) --d;
    while (!(static_cast<double>(5 * d) > t)) ++d;
    return limit80_ + d;
  }

  Pos limit80_;
  double step_;
  int count_;
  const std::function<void(int)>& hook_;
  Pos next_ = 0;
};

Error Damaged(const std::string& what, Pos pos) {
  return MakeError(ErrorKind::Damaged, "The scene is damaged: " + what + " (chunk at position " +
                                           std::to_string(pos) + ").");
}

Error TooMany() {
  return MakeError(ErrorKind::TooManyRows, "The scene has more than " + std::to_string(kMaxRows) +
                                               " script entries; Quorvex lists at most " +
                                               std::to_string(kMaxRows) + ".");
}

class Scanner {
 public:
  Scanner(const SceneImage& image, SectionFlags flags, const CatalogueHooks& hooks)
      : image_(image), length_(image.length()), hooks_(hooks) {
    catalogue_.sceneLength = length_;
    catalogue_.flags = flags;
  }

  Result<Catalogue> run() {
    // An empty file ends the scan with no rows (the section flags are not touched).
    if (length_ == 0) return std::move(catalogue_);

    // The 80 % mark: where the scan starts without an objects section, and where the progress
    // counts from (one call per limit80 / 150 positions past it).
    const Pos limit80 = Limit80(length_);
    const double progressStep = static_cast<double>(limit80) / 30.0;
    ScanProgress progress(limit80, progressStep, hooks_.initialProgressCount, hooks_.progress);

    // Skip the objects section: no script entry lies inside it.
    Pos pos = 0;
    if (const auto h = findPair(5, 0x00, 0x40)) {
      const auto sectionLength = image_.int32At(*h + 2);
      // Damaged: the length field that gives the jump lies (partly) outside the file.
      if (!sectionLength) return Damaged("the objects section's length lies outside the file", *h);
      // Damaged: a length <= 0 would jump backwards or stay in place.
      if (*sectionLength <= 0) return Damaged("the objects section's length is not positive", *h);
      // A jump past the end of the file simply ends the scan (the main loop does not run).
      pos = *h + *sectionLength;
    } else {
      pos = limit80;  // the 80 % fallback
    }

    // The section flags start as the caller gives them (both false unless ReloadPending).

    // The main loop. Positions whose two bytes are no marker of the loop only advance by
    // one; they are skipped in one go and their progress checks simulated.
    while (pos <= length_) {
      const Pos candidate = nextCandidate(pos);
      if (candidate > pos) {
        progress.turns(pos, std::min(candidate, length_ + 1) - 1);
        pos = candidate;
        if (pos > length_) break;
      }
      progress.turn(pos);  // the progress check comes first at every position
      auto step = turn(pos);
      if (!step.ok()) return step.error();
      pos = *step;
    }
    return std::move(catalogue_);
  }

 private:
  // First position x >= from (x <= length - 1) whose two bytes are b0 b1; absent without one.
  std::optional<Pos> findPair(Pos from, std::uint8_t b0, std::uint8_t b1) const {
    return FindPairFrom(image_, from, b0, b1);
  }

  static bool isLoopMarkerLow(std::uint8_t b) {
    return b == 0x50 || b == 0x51 || b == 0x20 || b == 0x21;
  }

  // First position x >= from whose two bytes are one of the main loop's markers; length + 1
  // when there is none. Every such marker has 0xAE as its second byte.
  Pos nextCandidate(Pos from) const {
    return FindPairWhere(image_, from, kAE, isLoopMarkerLow).value_or(length_ + 1);
  }

  // One turn of the main loop at `pos`, after the progress check. Returns the next position.
  Result<Pos> turn(Pos pos) {
    const std::uint8_t low = *image_.byteAt(pos);
    switch (low) {
      case 0x50:  // 0xAE50: script section header
        return header(pos, marker::kScript, catalogue_.flags.scriptSectionSeen,
                      catalogue_.scriptSection);
      case 0x20:  // 0xAE20: definition section header
        return header(pos, marker::kDefinition, catalogue_.flags.defSectionSeen,
                      catalogue_.defSection);
      case 0x51:  // 0xAE51: standalone script, once its section's header is seen
        if (!catalogue_.flags.scriptSectionSeen) return pos + 1;
        return standalone(pos);
      case 0x21:  // 0xAE21: object definition, once its section's header is seen
        if (!catalogue_.flags.defSectionSeen) return pos + 1;
        return definitionRow(pos);
      default:
        return pos + 1;
    }
  }

  // A section header is accepted only when its entry marker occurs in the 8 bytes at its position.
  Pos header(Pos pos, std::uint16_t entryMarker, bool& seen,
             std::optional<SectionHeader>& section) {
    if (!image_.windowHasMarker(pos, 8, entryMarker)) return pos + 1;
    seen = true;
    section = SectionHeader{pos + 2, *image_.int32At(pos + 2)};  // inside the 8-byte window
    return pos + 4;
  }

  Result<Pos> standalone(Pos pos) {
    // More than 5001 rows: the row arrays (5001 slots) overflow at the first write for row 5001.
    if (catalogue_.rows.size() >= static_cast<std::size_t>(kMaxRows)) return TooMany();
    CatalogueRow row;
    row.standalone = true;
    row.entryLengthPos = pos + 2;
    const auto nameLength = image_.int32At(pos + 7);
    // Damaged: the name length field lies outside the file, is negative, or the name runs past
    // the end of the file.
    if (!nameLength) return Damaged("a script's name length lies outside the file", pos);
    if (*nameLength < 0) return Damaged("a script's name length is negative", pos);
    const auto name = image_.bytesAt(pos + 11, *nameLength);
    if (!name) return Damaged("a script's name runs past the end of the file", pos);
    row.name = *name;
    const Pos scriptLengthPos = pos + 11 + *nameLength;
    const auto scriptLength = image_.int32At(scriptLengthPos);
    // Damaged: the script length lies outside the file, is negative, or the text runs past the end.
    if (!scriptLength) return Damaged("a script's length lies outside the file", pos);
    if (*scriptLength < 0) return Damaged("a script's length is negative", pos);
    if (!image_.contains(scriptLengthPos + 4, *scriptLength))
      return Damaged("a script's text runs past the end of the file", pos);
    row.scriptLengthPos = scriptLengthPos;
    row.scriptLength = *scriptLength;
    row.checked = *scriptLength != 0;
    if (!firstStandaloneSeen_) {
      firstStandaloneSeen_ = true;
      catalogue_.firstStandaloneScriptRow = static_cast<int>(catalogue_.rows.size());
    }
    catalogue_.rows.push_back(std::move(row));
    // Resume 4 bytes before the end of the text, without the usual step of 1.
    return scriptLengthPos + *scriptLength;
  }

  Result<Pos> definitionRow(Pos p) {
    // The row's slots are written before the kind is tested: row 5001 fails even for kind 6/18.
    if (catalogue_.rows.size() >= static_cast<std::size_t>(kMaxRows)) return TooMany();
    const auto entryLength = image_.int32At(p + 2);
    const auto nameField = image_.int32At(p + 8);
    // Damaged: the length fields lie outside the file, the name length is negative, or the name
    // runs past the end of the file.
    if (!entryLength || !nameField) return Damaged("a definition's name lies outside the file", p);
    const Pos nameLength = static_cast<Pos>(*nameField) - 7;
    if (nameLength < 0) return Damaged("a definition's name length is negative", p);
    const auto name = image_.bytesAt(p + 12, nameLength);
    if (!name) return Damaged("a definition's name runs past the end of the file", p);
    const Pos q = p + 12 + nameLength + 1;  // the second sub-chunk (kind)
    const auto kind = image_.byteAt(q + 6);
    // Damaged: the kind sub-chunk (its length K and kind byte) lies outside the file.
    if (!kind) return Damaged("a definition's kind lies outside the file", p);
    const Pos k = *image_.int32At(q + 2);         // inside: q + 6 is
    if (*kind == 6 || *kind == 18) return q + 6;  // no row; resume at the kind byte

    CatalogueRow row;
    row.standalone = false;
    row.entryLengthPos = p + 2;
    row.name = *name;
    const Pos r = q + k;  // the third sub-chunk (parameters)
    // Damaged: a search start r + 6 at or before the definition's marker would loop forever.
    if (r + 6 <= p) return Damaged("a definition's kind length points backwards", p);
    // Damaged: the third sub-chunk's length field lies outside the file.
    if (!image_.contains(r + 2, 4))
      return Damaged("a definition's parameter chunk lies outside the file", p);
    row.scriptChunkLengthPos = r + 2;

    auto next = scriptSearch(row, r + 6, r + 6 + *entryLength, p);
    if (!next.ok()) return next.error();
    catalogue_.rows.push_back(std::move(row));
    return *next;
  }

  // The script search inside a definition, from `start` while the position is below `limit`.
  // Returns the position where the main loop resumes.
  Result<Pos> scriptSearch(CatalogueRow& row, Pos start, Pos limit, Pos p) {
    // Nothing can match at a position x >= length (the 2-byte marker window runs past the end), so
    // only x <= min(limit - 1, length - 1) is examined; without a match the stepping goes on to
    // `limit` with `searching` still true: no script.
    const Pos last = std::min(limit - 1, length_ - 1);
    auto at = [this](Pos x) { return *image_.byteAt(x); };  // x <= length
    for (Pos x = start; x <= last; ++x) {
      const std::uint8_t b = at(x);
      const std::uint8_t b2 = at(x + 1);  // x <= length - 1
      if (b == 0x01) {
        if (x + 9 <= length_ && b2 == 0 && at(x + 2) == 0 && at(x + 3) == 0 && at(x + 4) == 0) {
          // c, the first byte of the script text; a pattern followed by c < 0x0A is ignored. (A c
          // past the end of the file matches nothing either.)
          if (at(x + 9) >= 0x0A) {
            const Pos scriptLengthPos = x + 5;
            const std::int32_t s = *image_.int32At(scriptLengthPos);  // inside: x + 9 is
            // Damaged: a negative script length or a text running past the end of the file.
            if (s < 0) return Damaged("a definition's script length is negative", p);
            if (!image_.contains(scriptLengthPos + 4, s))
              return Damaged("a definition's script runs past the end of the file", p);
            row.scriptLengthPos = scriptLengthPos;
            row.scriptLength = s;
            row.checked = s != 0;
            return x + 9;  // the first byte of the script text
          }
        }
        continue;
      }
      if (b == 0x05 && x + 4 <= length_ && b2 == 0 && at(x + 2) == 0 && at(x + 3) == 0 &&
          at(x + 4) == 0) {
        return x + 1;  // an object without script
      }
      if (b2 == kAE && (b == 0x21 || b == 0x50 || b == 0x51)) {
        return x;  // the next definition or the script section: resume at that marker
      }
    }
    return std::max(start, limit);
  }

  const SceneImage& image_;
  Pos length_;
  const CatalogueHooks& hooks_;
  Catalogue catalogue_;
  bool firstStandaloneSeen_ = false;
};

}  // namespace

Result<Catalogue> ScanCatalogue(const SceneImage& image, SectionFlags initialFlags,
                                const CatalogueHooks& hooks) {
  return CheckedRead(image, Scanner(image, initialFlags, hooks).run());
}

}  // namespace quorvex
