#pragma once
// The scene file as a byte sequence addressed by 1-based positions: position 1 is the first byte,
// the last byte is at position length(). The scans read small windows at positions they find by
// stepping; a window that runs past the end of the file (or starts before position 1) is simply
// absent: it matches no marker and is not an error.
//
// The image reads its bytes from a ByteSource: a scene file is read block by block with positioned
// reads through a small cache that suits stepping forwards, never copied whole; bytes already in
// memory are read in place. The source (or the bytes) must outlive the image.
//
// Should the source fail to deliver a block (an I/O error, or another program made the file
// shorter while it was read), the block reads as zeros, which hold no marker, and readFailure()
// keeps the first error: every operation that reads through an image reports that error instead
// of its own result.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/byte_source.h"
#include "scene/markers.h"
#include "scene/result.h"

namespace quorvex {

using Bytes = std::vector<std::uint8_t>;
// Texts of the file (names, scripts, model file names): raw bytes, one byte per character in
// Windows-1252. Kept in std::string for convenience; never assume UTF-8 here.
using ByteString = std::string;
// 1-based file position. 64-bit so that sums of 32-bit fields never overflow.
using Pos = std::int64_t;

class SceneImage {
 public:
  // A source that is not in memory is read in aligned blocks of this many bytes, of which the
  // image keeps the last kCachedBlocks used.
  static constexpr Pos kBlockSize = 256 * 1024;
  static constexpr int kCachedBlocks = 4;

  SceneImage();
  // Bytes in memory.
  explicit SceneImage(std::span<const std::uint8_t> bytes);
  // Any source; its length is taken once, here.
  explicit SceneImage(const ByteSource& source);
  SceneImage(const SceneImage& other);
  SceneImage& operator=(const SceneImage& other);
  SceneImage(SceneImage&& other) noexcept;
  SceneImage& operator=(SceneImage&& other) noexcept;
  ~SceneImage();

  Pos length() const { return length_; }

  // True when positions pos .. pos + count - 1 all lie inside the file.
  bool contains(Pos pos, Pos count) const {
    return count >= 0 && pos >= 1 && pos - 1 <= length() && count <= length() - (pos - 1);
  }

  // The byte at pos.
  std::optional<std::uint8_t> byteAt(Pos pos) const {
    if (pos >= runFirst_ && pos < runEnd_) return runData_[pos - runFirst_];
    if (!contains(pos, 1)) return std::nullopt;
    return *load(pos);
  }

  // Marker test: the two bytes at pos are the marker's bytes, low byte first.
  bool markerAt(Pos pos, std::uint16_t m) const {
    if (pos >= runFirst_ && pos + 1 < runEnd_) {
      const auto* p = runData_ + (pos - runFirst_);
      return p[0] == marker::Low(m) && p[1] == marker::High(m);
    }
    return byteAt(pos) == marker::Low(m) && byteAt(pos + 1) == marker::High(m);
  }

  // Window test: the exact bytes `pattern` stand at pos.
  bool matchAt(Pos pos, std::span<const std::uint8_t> pattern) const;

  // Window test: marker m occurs anywhere inside the `width`-byte window at pos. A window that
  // runs past the end matches nothing.
  bool windowHasMarker(Pos pos, Pos width, std::uint16_t m) const;

  // The 32-bit little-endian integer at pos .. pos + 3, read as signed.
  std::optional<std::int32_t> int32At(Pos pos) const;
  // The same four bytes as an unsigned value (raw bit pattern).
  std::optional<std::uint32_t> uint32At(Pos pos) const;
  // The 32-bit little-endian IEEE single at pos.
  std::optional<float> floatAt(Pos pos) const;

  // The count bytes at pos .. pos + count - 1; absent when any of them lies outside the file.
  std::optional<ByteString> bytesAt(Pos pos, Pos count) const;

  // The bytes from pos on that lie together in memory: at least one when pos is inside the file,
  // empty otherwise. Valid until the next call on this image. The fast scans search these runs.
  std::span<const std::uint8_t> run(Pos pos) const;

  // Hands the bytes pos .. pos + count - 1 to `piece` in consecutive runs; false (and nothing
  // handed) when they do not all lie inside the file.
  bool forEachRun(Pos pos, Pos count,
                  const std::function<void(std::span<const std::uint8_t>)>& piece) const;

  // The first failure to read the source, if any (see above).
  const std::optional<Error>& readFailure() const;

 private:
  struct Cache;
  void resetRun() const;
  // Makes the block holding pos (inside the file) the current run; returns its byte at pos.
  const std::uint8_t* load(Pos pos) const;
  bool copyOut(Pos pos, Pos count, std::uint8_t* out) const;

  const ByteSource* source_ = nullptr;
  std::span<const std::uint8_t> memory_;  // the whole content, when it lies in memory
  Pos length_ = 0;
  std::unique_ptr<Cache> cache_;  // blocks read from a source that is not in memory
  // The current run: positions runFirst_ .. runEnd_ - 1 at runData_.
  mutable const std::uint8_t* runData_ = nullptr;
  mutable Pos runFirst_ = 1;
  mutable Pos runEnd_ = 1;
};

// What an operation that read through `image` reports: the image's read failure when there was
// one (its own result was computed from zeros), else `result`.
template <class T>
Result<T> CheckedRead(const SceneImage& image, Result<T> result) {
  if (image.readFailure()) return *image.readFailure();
  return result;
}

// The first position x >= from whose second byte is `second` and whose first byte passes
// `firstIs`; absent when there is none. Searches the second byte run by run and tests the byte
// before it.
std::optional<Pos> FindPairWhere(const SceneImage& image, Pos from, std::uint8_t second,
                                 const std::function<bool(std::uint8_t)>& firstIs);

// The first position x >= from whose two bytes are b0 b1 (a marker pair at any alignment).
std::optional<Pos> FindPairFrom(const SceneImage& image, Pos from, std::uint8_t b0,
                                std::uint8_t b1);

// The first position x in first .. last - size + 1 where `pattern` stands, so that the whole
// pattern lies within first .. last; absent when there is none.
std::optional<Pos> FindBytes(const SceneImage& image, Pos first, Pos last,
                             std::string_view pattern);

// Whether the bytes at pos are exactly `text`, all of them inside the content.
bool BytesAre(const SceneImage& image, Pos pos, std::string_view text);

// Little-endian encoders shared by the writers.
void AppendInt32(Bytes& out, std::int32_t value);
void AppendUint32(Bytes& out, std::uint32_t value);
void AppendFloat(Bytes& out, float value);
void AppendMarker(Bytes& out, std::uint16_t m);
void AppendText(Bytes& out, const ByteString& text);
Bytes Int32Bytes(std::int32_t value);
std::uint32_t FloatBits(float value);
float BitsToFloat(std::uint32_t bits);

}  // namespace quorvex
