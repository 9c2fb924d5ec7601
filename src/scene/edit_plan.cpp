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
    return MakeError(ErrorKind::Damaged,
                     "A length field at position " + std::to_string(pos) + " lies outside the file.");
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

Bytes EditPlan::apply(std::span<const std::uint8_t> original) const {
  Bytes out;
  out.reserve(static_cast<std::size_t>(newLength()));
  std::uint64_t cursor = 0;
  for (const auto& e : edits_) {
    out.insert(out.end(), original.begin() + static_cast<std::ptrdiff_t>(cursor),
               original.begin() + static_cast<std::ptrdiff_t>(e.offset));
    out.insert(out.end(), e.insert.begin(), e.insert.end());
    cursor = e.offset + e.removeCount;
  }
  out.insert(out.end(), original.begin() + static_cast<std::ptrdiff_t>(cursor), original.end());
  return out;
}

}  // namespace quorvex
