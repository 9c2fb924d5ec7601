#pragma once
// A scene file that one operation reads more than once (the export scans the catalogue, cuts the
// scripts, then hashes every byte; the overview reads each script length twice) must give the
// same bytes every time, or the operation would describe a scene that never existed: rows from
// one version, texts or a digest from another. Quorvex's own writers cannot change a scene while
// it is read (the read lock keeps them out), but another program may rewrite it in place without
// asking.
//
// SteadySource reads its file in fixed blocks and keeps a fingerprint of each block the first time
// it is read; a later read of the same block that gives other bytes fails with "The scene changed
// on disk". A whole pass over the file (the digest) therefore proves that every byte used before
// is the byte it saw.

#include <cstdint>
#include <span>
#include <vector>

#include "scene/byte_source.h"

namespace quorvex {

class SteadySource final : public ByteSource {
 public:
  static constexpr std::uint64_t kBlockSize = 64 * 1024;

  // EveryBlock keeps the fingerprint of every block read. GuardedBlocks keeps them only for the
  // blocks named by guard(), for an operation that knows which of its reads can come back to the
  // same bytes (the fingerprints cost about a twentieth of md5sum's time over the whole file).
  enum class Mode { EveryBlock, GuardedBlocks };

  // `file` must outlive this source.
  explicit SteadySource(const ByteSource& file, Mode mode = Mode::EveryBlock);

  // From now on the blocks that hold offset .. offset + count - 1 are fingerprinted when read and
  // compared on every later read. A block read before it was guarded is not compared with that
  // earlier read.
  void guard(std::uint64_t offset, std::uint64_t count) const;

  std::uint64_t size() const override { return file_.size(); }
  // Reads the whole blocks that hold the bytes asked for (so each block is always compared as a
  // whole); fails with ChangedOnDisk when a block gives other bytes than it gave before.
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;
  std::span<const std::uint8_t> memory() const override { return file_.memory(); }

 private:
  const ByteSource& file_;
  Mode mode_;
  mutable std::vector<std::uint64_t> fingerprints_;  // per block; 0: not read yet
  mutable std::vector<bool> guarded_;                // per block, in GuardedBlocks mode
  mutable std::vector<std::uint8_t> block_;          // a block read only in part
};

// A 64-bit fingerprint of bytes that never equals 0. Each step is a bijection of the state, so any
// change confined to one 8-byte word always changes the result; other changes do so but for a
// chance of 2^-64.
std::uint64_t Fingerprint(std::span<const std::uint8_t> bytes);

}  // namespace quorvex
