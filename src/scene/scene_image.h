#pragma once
// The scene file as a byte sequence addressed by 1-based positions: position 1 is the first byte,
// the last byte is at position length(). The scans read small windows at positions they find by
// stepping; a window that runs past the end of the file (or starts before position 1) is simply
// absent: it matches no marker and is not an error.
//
// The image does not own the bytes; the caller keeps them alive (a loaded file, a test buffer).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scene/markers.h"

namespace quorvex {

using Bytes = std::vector<std::uint8_t>;
// Texts of the file (names, scripts, model file names): raw bytes, one byte per character in
// Windows-1252. Kept in std::string for convenience; never assume UTF-8 here.
using ByteString = std::string;
// 1-based file position. 64-bit so that sums of 32-bit fields never overflow.
using Pos = std::int64_t;

class SceneImage {
 public:
  SceneImage() = default;
  explicit SceneImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  Pos length() const { return static_cast<Pos>(bytes_.size()); }
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  // True when positions pos .. pos + count - 1 all lie inside the file.
  bool contains(Pos pos, Pos count) const {
    return count >= 0 && pos >= 1 && pos - 1 <= length() && count <= length() - (pos - 1);
  }

  // The byte at pos.
  std::optional<std::uint8_t> byteAt(Pos pos) const {
    if (!contains(pos, 1)) return std::nullopt;
    return bytes_[static_cast<std::size_t>(pos - 1)];
  }

  // Marker test: the two bytes at pos are the marker's bytes, low byte first.
  bool markerAt(Pos pos, std::uint16_t m) const {
    if (!contains(pos, 2)) return false;
    const auto i = static_cast<std::size_t>(pos - 1);
    return bytes_[i] == marker::Low(m) && bytes_[i + 1] == marker::High(m);
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

  // A view of the bytes at pos .. pos + count - 1; empty span when outside the file.
  std::span<const std::uint8_t> view(Pos pos, Pos count) const;

 private:
  std::span<const std::uint8_t> bytes_;
};

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
