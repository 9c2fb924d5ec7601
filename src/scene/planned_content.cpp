#include "scene/planned_content.h"

#include <algorithm>
#include <cstring>

namespace quorvex {

PlannedContent::PlannedContent(const ByteSource& base, const EditPlan& plan) : base_(base) {
  std::uint64_t cursor = 0;  // in the base
  auto add = [&](Piece piece) {
    if (piece.length == 0) return;
    piece.start = size_;
    size_ += piece.length;
    pieces_.push_back(piece);
  };
  for (const auto& e : plan.edits()) {
    add(Piece{0, e.offset - cursor, cursor, nullptr});
    add(Piece{0, e.insert.size(), 0, e.insert.data()});
    cursor = e.offset + e.removeCount;
  }
  add(Piece{0, plan.originalLength() - cursor, cursor, nullptr});
}

Status PlannedContent::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset > size_ || out.size() > size_ - offset) {
    return MakeError(ErrorKind::NotReadable, "A read ran past the end of the planned content");
  }
  if (out.empty()) return OkStatus();
  // The piece holding `offset`: the last one that starts at or before it.
  const auto after =
      std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                       [](std::uint64_t at, const Piece& p) { return at < p.start; });
  auto index = static_cast<std::size_t>(after - pieces_.begin()) - 1;
  std::size_t done = 0;
  while (done < out.size()) {
    const Piece& piece = pieces_[index++];
    const std::uint64_t within = offset + done - piece.start;
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(piece.length - within, out.size() - done));
    if (piece.inserted != nullptr) {
      std::memcpy(out.data() + done, piece.inserted + within, count);
    } else if (auto s = base_.readAt(piece.baseOffset + within, out.subspan(done, count)); !s) {
      return s;
    }
    done += count;
  }
  return OkStatus();
}

}  // namespace quorvex
