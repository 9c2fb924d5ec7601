#pragma once
// The content a write is about to produce, read by position without being built: the current
// scene with an edit plan laid over it. A write scans it exactly as the next load will scan the
// file, before a single byte is written, and refuses when the result would not read back as
// intended.

#include <cstdint>
#include <span>
#include <vector>

#include "scene/byte_source.h"
#include "scene/edit_plan.h"

namespace quorvex {

class PlannedContent final : public ByteSource {
 public:
  // `base` and `plan` must outlive this object; `plan` was made for `base`'s length.
  PlannedContent(const ByteSource& base, const EditPlan& plan);

  std::uint64_t size() const override { return size_; }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  // A stretch of the new content: `length` bytes starting at `start`, taken from the base at
  // `baseOffset`, or (when `inserted` is set) from an edit's new bytes.
  struct Piece {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::uint64_t baseOffset = 0;
    const std::uint8_t* inserted = nullptr;
  };

  const ByteSource& base_;
  std::vector<Piece> pieces_;
  std::uint64_t size_ = 0;
};

}  // namespace quorvex
