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

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "scene/markers.h"

namespace quorvex {
namespace {

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

class Scanner;

// Looks on while the main loop runs: at the stretches it steps over and at every turn on a marker.
class LoopWatch {
 public:
  virtual ~LoopWatch() = default;
  // After the objects section: the main loop starts at `pos`; finding it read no byte beyond
  // `reach`.
  virtual void started(const Scanner& scan, Pos pos, Pos reach) = 0;
  // The loop steps over positions first .. last (no marker of the loop there; the turn at each of
  // them reads its two bytes). True stops the scan at `stopAt`, one of those positions.
  virtual bool skipped(const Scanner& scan, Pos first, Pos last, Pos& stopAt) = 0;
  // Before the turn at `pos`; true stops the scan there.
  virtual bool beforeTurn(const Scanner& scan, Pos pos) = 0;
  // After the turn at `pos`, which read no byte beyond `reach` and resumes at `next`.
  virtual void afterTurn(const Scanner& scan, Pos pos, Pos next, Pos reach) = 0;
};

class Scanner {
 public:
  Scanner(const SceneImage& image, SectionFlags flags, const CatalogueHooks& hooks,
          LoopWatch* watch = nullptr)
      : image_(image), length_(image.length()), hooks_(hooks), watch_(watch) {
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
    Pos reach = length_ + 1;  // the search for the section reads every pair up to the one found
    if (const auto h = findPair(5, 0x00, 0x40)) {
      const auto sectionLength = image_.int32At(*h + 2);
      // Damaged: the length field that gives the jump lies (partly) outside the file.
      if (!sectionLength) return Damaged("the objects section's length lies outside the file", *h);
      // Damaged: a length <= 0 would jump backwards or stay in place.
      if (*sectionLength <= 0) return Damaged("the objects section's length is not positive", *h);
      // A jump past the end of the file simply ends the scan (the main loop does not run).
      pos = *h + *sectionLength;
      reach = *h + 5;
    } else {
      pos = limit80;  // the 80 % fallback
    }
    if (watch_) watch_->started(*this, pos, reach);

    // The section flags start as the caller gives them (both false unless ReloadPending).
    return loop(pos, &progress);
  }

  // The main loop from `pos`, for a scanner whose catalogue already holds what the scan found
  // before `pos`. Positions whose two bytes are no marker of the loop only advance by one; they
  // are skipped in one go and their progress checks simulated.
  Result<Catalogue> loop(Pos pos, ScanProgress* progress) {
    while (pos <= length_) {
      const Pos candidate = nextCandidate(pos);
      if (candidate > pos) {
        const Pos last = std::min(candidate, length_ + 1) - 1;
        if (watch_ && watch_->skipped(*this, pos, last, stoppedAt_)) return std::move(catalogue_);
        if (progress) progress->turns(pos, last);
        pos = candidate;
        if (pos > length_) break;
      }
      if (progress) progress->turn(pos);  // the progress check comes first at every position
      if (watch_ && watch_->beforeTurn(*this, pos)) {
        stoppedAt_ = pos;
        return std::move(catalogue_);
      }
      reach_ = pos + 1;
      auto step = turn(pos);
      if (!step.ok()) return step.error();
      if (watch_) watch_->afterTurn(*this, pos, *step, reach_);
      pos = *step;
    }
    endPos_ = pos;
    return std::move(catalogue_);
  }

  // Continues a scan whose state at `pos` was `state` (the rows found before `pos` included).
  void resume(Catalogue state) {
    catalogue_ = std::move(state);
    catalogue_.sceneLength = length_;
    firstStandaloneSeen_ = false;
    for (const auto& row : catalogue_.rows) firstStandaloneSeen_ |= row.standalone;
  }

  const Catalogue& state() const { return catalogue_; }
  // Where the loop stopped on the watch's word (0 when it ran to the end), and where it ended.
  Pos stoppedAt() const { return stoppedAt_; }
  Pos endPos() const { return endPos_; }

 private:
  // First position x >= from (x <= length - 1) whose two bytes are b0 b1; absent without one.
  std::optional<Pos> findPair(Pos from, std::uint8_t b0, std::uint8_t b1) const {
    return FindPairFrom(image_, from, b0, b1);
  }

  // First position x >= from whose two bytes are one of the main loop's markers; length + 1
  // when there is none. Every such marker has 0xAE as its second byte.
  Pos nextCandidate(Pos from) const {
    return FindPairWhere(image_, from, marker::kScanMarkerHigh, marker::IsScanMarkerLow)
        .value_or(length_ + 1);
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
    touch(pos + 7);
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
    touch(pos + 10);
    const auto nameLength = image_.int32At(pos + 7);
    // Damaged: the name length field lies outside the file, is negative, or the name runs past
    // the end of the file.
    if (!nameLength) return Damaged("a script's name length lies outside the file", pos);
    if (*nameLength < 0) return Damaged("a script's name length is negative", pos);
    const Pos scriptLengthPos = pos + 11 + *nameLength;
    touch(scriptLengthPos + 3);
    const auto name = image_.bytesAt(pos + 11, *nameLength);
    if (!name) return Damaged("a script's name runs past the end of the file", pos);
    row.name = *name;
    const auto scriptLength = image_.int32At(scriptLengthPos);
    // Damaged: the script length lies outside the file, is negative, or the text runs past the end.
    if (!scriptLength) return Damaged("a script's length lies outside the file", pos);
    if (*scriptLength < 0) return Damaged("a script's length is negative", pos);
    touch(scriptLengthPos + 3 + *scriptLength);  // whether the text fits depends on the length
    if (!image_.contains(scriptLengthPos + 4, *scriptLength))
      return Damaged("a script's text runs past the end of the file", pos);
    row.scriptLengthPos = scriptLengthPos;
    row.scriptLength = *scriptLength;
    row.checked = *scriptLength != 0;
    if (!firstStandaloneSeen_) {
      firstStandaloneSeen_ = true;
      catalogue_.firstStandaloneScriptRow = static_cast<int>(catalogue_.rows.size());
    }
    if (auto s = add(std::move(row)); !s) return s.error();
    // Resume 4 bytes before the end of the text, without the usual step of 1.
    return scriptLengthPos + *scriptLength;
  }

  Result<Pos> definitionRow(Pos p) {
    // The row's slots are written before the kind is tested: row 5001 fails even for kind 6/18.
    if (catalogue_.rows.size() >= static_cast<std::size_t>(kMaxRows)) return TooMany();
    touch(p + 11);
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
    touch(q + 6);
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
    touch(r + 5);
    if (!image_.contains(r + 2, 4))
      return Damaged("a definition's parameter chunk lies outside the file", p);
    row.scriptChunkLengthPos = r + 2;

    auto next = scriptSearch(row, r + 6, r + 6 + *entryLength, p);
    if (!next.ok()) return next.error();
    if (auto s = add(std::move(row)); !s) return s.error();
    return *next;
  }

  Status add(CatalogueRow row) {
    catalogue_.rows.push_back(std::move(row));
    if (!hooks_.rowFound) return OkStatus();
    return hooks_.rowFound(catalogue_.rows.back());
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
            touch(scriptLengthPos + 3 + std::max(s, 0));
            // Damaged: a negative script length or a text running past the end of the file.
            if (s < 0) return Damaged("a definition's script length is negative", p);
            if (!image_.contains(scriptLengthPos + 4, s))
              return Damaged("a definition's script runs past the end of the file", p);
            row.scriptLengthPos = scriptLengthPos;
            row.scriptLength = s;
            row.checked = s != 0;
            touch(x + 9);
            return x + 9;  // the first byte of the script text
          }
        }
        continue;
      }
      if (b == 0x05 && x + 4 <= length_ && b2 == 0 && at(x + 2) == 0 && at(x + 3) == 0 &&
          at(x + 4) == 0) {
        touch(x + 9);
        return x + 1;  // an object without script
      }
      // Any marker of the main loop but a definition section header ends the search.
      if (marker::IsScanMarker(b, b2) && b != marker::Low(marker::kDefinitionSection)) {
        touch(x + 9);
        return x;  // the next definition or the script section: resume at that marker
      }
    }
    // Every pattern test looks at most 9 bytes ahead; a bound past the end of the file makes the
    // outcome depend on where the file ends.
    touch(limit - 1 > length_ - 1 ? length_ + 1 : last + 9);
    return std::max(start, limit);
  }

  // The turn being made reads the byte at `last` (or decides by whether it is in the file).
  void touch(Pos last) { reach_ = std::max(reach_, last); }

  const SceneImage& image_;
  Pos length_;
  const CatalogueHooks& hooks_;
  LoopWatch* watch_;
  Catalogue catalogue_;
  bool firstStandaloneSeen_ = false;
  Pos reach_ = 0;
  Pos stoppedAt_ = 0;
  Pos endPos_ = 0;
};

// Where and in which state a scan stood at the top of its main loop, the rows found so far
// counted.
struct LoopPoint {
  Pos pos = 0;
  SectionFlags flags;
  std::optional<SectionHeader> scriptSection;
  std::optional<SectionHeader> defSection;
  std::size_t rows = 0;
};

LoopPoint PointOf(const Scanner& scan, Pos pos) {
  const auto& state = scan.state();
  return {pos, state.flags, state.scriptSection, state.defSection, state.rows.size()};
}

// Watches the scan of the old content: finds the first point of its main loop whose turn reads a
// changed byte (or the start, when finding the objects section does), and records every turn from
// there on: the new scan can only meet the old one again at a point the old scan passed.
class OldScanRecorder final : public LoopWatch {
 public:
  struct Turn {
    Pos pos;
    Pos next;
    SectionFlags before;
    SectionFlags after;
  };

  explicit OldScanRecorder(Pos firstChanged) : firstChanged_(firstChanged) {}

  void started(const Scanner&, Pos, Pos reach) override {
    if (reach >= firstChanged_) fromStart_ = true;
  }
  bool skipped(const Scanner& scan, Pos first, Pos last, Pos&) override {
    // The turn at y reads the bytes at y and y + 1.
    if (!fromStart_ && !split_ && last + 1 >= firstChanged_) {
      split_ = PointOf(scan, std::max(first, firstChanged_ - 1));
    }
    return false;
  }
  bool beforeTurn(const Scanner& scan, Pos pos) override {
    pending_ = PointOf(scan, pos);
    return false;
  }
  void afterTurn(const Scanner& scan, Pos pos, Pos next, Pos reach) override {
    if (!fromStart_ && !split_ && reach >= firstChanged_) split_ = pending_;
    if (split_) turns_.push_back({pos, next, pending_.flags, scan.state().flags});
  }
  void ended(const Scanner& scan) {
    if (!fromStart_ && !split_) split_ = PointOf(scan, scan.endPos());
  }

  // Whether the old scan stood at the top of its main loop at x (at or after the split), with
  // which flags; otherwise the next position where it did.
  struct Visit {
    bool visited = false;
    SectionFlags flags;
    Pos next = 0;
  };
  Visit at(Pos x) const {
    auto it = std::upper_bound(turns_.begin(), turns_.end(), x,
                               [](Pos value, const Turn& turn) { return value < turn.pos; });
    if (it == turns_.begin()) {
      if (x >= split_->pos) return {true, split_->flags, 0};
      return {false, {}, split_->pos};
    }
    --it;
    if (it->pos == x) return {true, it->before, 0};
    if (x >= it->next) return {true, it->after, 0};
    return {false, {}, it->next};
  }

  bool fromStart() const { return fromStart_; }
  const LoopPoint& split() const { return *split_; }

 private:
  Pos firstChanged_;
  bool fromStart_ = false;
  std::optional<LoopPoint> split_;
  LoopPoint pending_;
  std::vector<Turn> turns_;
};

// Watches the scan of the new content from the split on and stops it where it meets the old scan
// again: on a kept byte that the old scan stood on too, with the same section flags. From there
// both read the same bytes in the same state, so they go on alike.
class MeetingWatch final : public LoopWatch {
 public:
  MeetingWatch(const OldScanRecorder& old, const ContentChange& change)
      : old_(old), shift_(change.shift), firstKeptNew_(change.firstKept + change.shift) {}

  void started(const Scanner&, Pos, Pos) override {}
  bool skipped(const Scanner& scan, Pos first, Pos last, Pos& stopAt) override {
    // No turn of either scan falls inside such a stretch of kept bytes, so the flags stay.
    for (Pos y = std::max(first, firstKeptNew_); y <= last;) {
      const auto visit = old_.at(y - shift_);
      if (visit.visited) {
        if (visit.flags != scan.state().flags) return false;
        stopAt = y;
        return true;
      }
      y = visit.next + shift_;
    }
    return false;
  }
  bool beforeTurn(const Scanner& scan, Pos pos) override {
    if (pos < firstKeptNew_) return false;
    const auto visit = old_.at(pos - shift_);
    return visit.visited && visit.flags == scan.state().flags;
  }
  void afterTurn(const Scanner&, Pos, Pos, Pos) override {}

 private:
  const OldScanRecorder& old_;
  Pos shift_;
  Pos firstKeptNew_;
};

int FirstStandaloneRow(const Catalogue& catalogue) {
  for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
    if (catalogue.rows[i].standalone) return static_cast<int>(i);
  }
  return 0;
}

// The new catalogue from the new scan, stopped where it met the old one at `meet` (new
// positions), and the rest of the old catalogue moved. Absent when the moved rows could reach the
// row limit, which the old scan did not have to respect at the same turns.
std::optional<Catalogue> Joined(Catalogue front, const Catalogue& old, Pos meet, Pos shift) {
  const Pos x = meet - shift;
  std::size_t first = 0;
  while (first < old.rows.size() && old.rows[first].entryLengthPos - 2 < x) ++first;
  const std::size_t rest = old.rows.size() - first;
  if (front.rows.size() > first && front.rows.size() + rest >= static_cast<std::size_t>(kMaxRows)) {
    return std::nullopt;
  }
  for (std::size_t i = first; i < old.rows.size(); ++i) {
    CatalogueRow row = old.rows[i];
    row.entryLengthPos += shift;
    if (row.scriptLengthPos) *row.scriptLengthPos += shift;
    if (row.scriptChunkLengthPos) *row.scriptChunkLengthPos += shift;
    front.rows.push_back(std::move(row));
  }
  for (auto [section, oldSection] : {std::pair{&front.scriptSection, &old.scriptSection},
                                     std::pair{&front.defSection, &old.defSection}}) {
    if (*oldSection && (*oldSection)->lengthPos - 2 >= x) {
      *section = SectionHeader{(*oldSection)->lengthPos + shift, (*oldSection)->length};
    }
  }
  front.flags = old.flags;
  front.firstStandaloneScriptRow = FirstStandaloneRow(front);
  return front;
}

}  // namespace

Result<Catalogue> ScanCatalogue(const SceneImage& image, SectionFlags initialFlags,
                                const CatalogueHooks& hooks) {
  return CheckedRead(image, Scanner(image, initialFlags, hooks).run());
}

CataloguePair ScanAroundChange(const SceneImage& before, const SceneImage& after,
                               const ContentChange& change) {
  if (before.length() == 0 || after.length() == 0) {
    auto old = ScanCatalogue(before);
    if (!old) return {old, old.error()};
    return {std::move(old), ScanCatalogue(after)};
  }
  const CatalogueHooks noHooks;
  OldScanRecorder recorder(change.firstChanged);
  Scanner oldScan(before, {}, noHooks, &recorder);
  auto old = CheckedRead(before, oldScan.run());
  if (!old) return {old, old.error()};
  recorder.ended(oldScan);
  if (recorder.fromStart()) return {std::move(old), ScanCatalogue(after)};

  // The new scan up to the split is the old one: start from the old scan's state there.
  const LoopPoint& split = recorder.split();
  Catalogue front;
  front.rows.assign(old->rows.begin(), old->rows.begin() + static_cast<std::ptrdiff_t>(split.rows));
  front.flags = split.flags;
  front.scriptSection = split.scriptSection;
  front.defSection = split.defSection;
  front.firstStandaloneScriptRow = FirstStandaloneRow(front);
  MeetingWatch meeting(recorder, change);
  Scanner newScan(after, {}, noHooks, &meeting);
  newScan.resume(std::move(front));
  auto scanned = CheckedRead(after, newScan.loop(split.pos, nullptr));
  if (!scanned || newScan.stoppedAt() == 0) return {std::move(old), std::move(scanned)};
  auto joined = Joined(std::move(*scanned), *old, newScan.stoppedAt(), change.shift);
  if (!joined) return {std::move(old), ScanCatalogue(after)};
  return {std::move(old), std::move(*joined)};
}

}  // namespace quorvex
