#pragma once
// A read-only sequence of bytes read by position. Every scan and every writer reads a scene
// through one: the scene file on disk (read with positioned reads, never copied whole), a buffer
// in memory (tests, fuzzing, templates), or the result a write is about to produce (the current
// file with the write's edits laid over it), so a write can be scanned before it is committed.

#include <cstdint>
#include <span>

#include "scene/result.h"

namespace quorvex {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The number of bytes; fixed for the life of the source (a file's length when it was opened).
  virtual std::uint64_t size() const = 0;
  // Fills `out` with the bytes at the 0-based `offset`. Fails when any of them cannot be read: an
  // I/O error, or a file that another program made shorter since it was opened.
  virtual Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
  // The whole content when it already lies in memory (read without copying); empty otherwise.
  virtual std::span<const std::uint8_t> memory() const { return {}; }
};

// Bytes in memory, kept alive by the caller.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;
  std::span<const std::uint8_t> memory() const override { return bytes_; }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace quorvex
