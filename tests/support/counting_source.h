#pragma once
// A byte source that counts the reads made through it. Over a SceneFile every read is one
// positioned read of the file (pread on POSIX, ReadFile at an offset on Windows), so the count is
// the number of system calls the literal scans make on the real file.

#include <cstdint>

#include "scene/byte_source.h"

namespace quorvex::testing {

class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(const ByteSource& inner) : inner_(inner) {}

  std::uint64_t size() const override { return inner_.size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    ++reads_;
    return inner_.readAt(offset, out);
  }
  // memory() stays empty: whoever reads through this source reads by position.

  std::uint64_t reads() const { return reads_; }

 private:
  const ByteSource& inner_;
  mutable std::uint64_t reads_ = 0;
};

}  // namespace quorvex::testing
