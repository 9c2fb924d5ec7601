#include "scene/edit_plan.h"

#include <algorithm>
#include <string>

namespace quorvex {
namespace {

bool Overlaps(const Edit& a, const Edit& b) {
  // Two replacements overlap when their removed ranges share a byte; an insertion overlaps a
  // replacement when it would land strictly inside the replaced bytes.
  const auto aEnd = a.offset + a.removeCount;
  const auto bEnd = b.offset + b.removeCount;
  if (a.removeCount == 0 && b.removeCount == 0) return false;
  if (a.removeCount == 0) return a.offset > b.offset && a.offset < bEnd;
  if (b.removeCount == 0) return b.offset > a.offset && b.offset < aEnd;
  return a.offset < bEnd && b.offset < aEnd;
}

}  // namespace

Status EditPlan::add(Edit edit) {
  if (edit.offset > originalLength_ || edit.removeCount > originalLength_ - edit.offset) {
    return MakeError(ErrorKind::Damaged, "A change at file position " +
                                             std::to_string(edit.offset + 1) +
                                             " lies outside the scene file.");
  }
  // An edit at or after the end of the last one (plans are mostly built in file order) overlaps
  // none and goes last.
  if (edits_.empty() || edit.offset >= edits_.back().offset + edits_.back().removeCount) {
    edits_.push_back(std::move(edit));
    return OkStatus();
  }
  for (const auto& other : edits_) {
    if (Overlaps(edit, other)) {
      return MakeError(ErrorKind::Damaged, "Two changes overlap at file position " +
                                               std::to_string(edit.offset + 1) +
                                               ": the scene's length fields are inconsistent.");
    }
  }
  // Keep file order. At one offset, insertions come first in the order they were added, then the
  // replacement that starts there.
  const bool isInsertion = edit.removeCount == 0;
  const auto at = std::find_if(edits_.begin(), edits_.end(), [&](const Edit& other) {
    if (other.offset != edit.offset) return other.offset > edit.offset;
    return isInsertion ? other.removeCount != 0 : false;
  });
  edits_.insert(at, std::move(edit));
  return OkStatus();
}

Status EditPlan::patchUint32(Pos pos, std::uint32_t value) {
  if (pos < 1) {
    return MakeError(ErrorKind::Damaged, "A length field at position " + std::to_string(pos) +
                                             " lies outside the file.");
  }
  Bytes bytes;
  AppendUint32(bytes, value);
  return add(Edit{static_cast<std::uint64_t>(pos - 1), 4, std::move(bytes)});
}

Status EditPlan::patchInt32(Pos pos, std::int32_t value) {
  return patchUint32(pos, static_cast<std::uint32_t>(value));
}

Status EditPlan::insertAt(Pos pos, Bytes bytes) {
  if (pos < 1) {
    return MakeError(ErrorKind::Damaged,
                     "An insertion at position " + std::to_string(pos) + " lies outside the file.");
  }
  return add(Edit{static_cast<std::uint64_t>(pos - 1), 0, std::move(bytes)});
}

std::uint64_t EditPlan::newLength() const {
  std::uint64_t length = originalLength_;
  for (const auto& e : edits_) length = length - e.removeCount + e.insert.size();
  return length;
}

bool EditPlan::keepsLength() const {
  return std::all_of(edits_.begin(), edits_.end(),
                     [](const Edit& e) { return e.insert.size() == e.removeCount; });
}

Pos EditPlan::movedPosition(Pos pos) const {
  const auto at = static_cast<std::uint64_t>(pos - 1);
  std::int64_t shift = 0;
  for (const auto& e : edits_) {
    if (e.offset > at) break;
    const auto grown =
        static_cast<std::int64_t>(e.insert.size()) - static_cast<std::int64_t>(e.removeCount);
    if (e.removeCount == 0 || e.offset + e.removeCount <= at) {
      shift += grown;
    } else {
      break;  // inside this replacement: the same offset within it
    }
  }
  return pos + shift;
}

std::optional<Pos> EditPlan::originalPosition(Pos pos) const {
  const auto at = static_cast<std::uint64_t>(pos - 1);  // in the new content
  std::uint64_t cursor = 0;                             // in the current file
  std::uint64_t produced = 0;                           // new bytes before `cursor`
  for (const auto& e : edits_) {
    const std::uint64_t kept = e.offset - cursor;
    if (at < produced + kept) return static_cast<Pos>(cursor + (at - produced)) + 1;
    produced += kept;
    if (at < produced + e.insert.size()) {
      // A replaced byte keeps its place within a replacement of the same length.
      if (e.insert.size() == e.removeCount) return static_cast<Pos>(e.offset + (at - produced)) + 1;
      return std::nullopt;
    }
    produced += e.insert.size();
    cursor = e.offset + e.removeCount;
  }
  return static_cast<Pos>(cursor + (at - produced)) + 1;
}

}  // namespace quorvex
