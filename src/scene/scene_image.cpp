#include "scene/scene_image.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quorvex {

bool SceneImage::matchAt(Pos pos, std::span<const std::uint8_t> pattern) const {
  const auto window = view(pos, static_cast<Pos>(pattern.size()));
  if (window.size() != pattern.size()) return false;
  return std::equal(window.begin(), window.end(), pattern.begin());
}

bool SceneImage::windowHasMarker(Pos pos, Pos width, std::uint16_t m) const {
  if (width < 2) return false;
  const auto window = view(pos, width);
  if (static_cast<Pos>(window.size()) != width) return false;
  for (std::size_t i = 0; i + 1 < window.size(); ++i) {
    if (window[i] == marker::Low(m) && window[i + 1] == marker::High(m)) return true;
  }
  return false;
}

std::optional<std::uint32_t> SceneImage::uint32At(Pos pos) const {
  if (!contains(pos, 4)) return std::nullopt;
  const auto* p = bytes_.data() + (pos - 1);
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::optional<std::int32_t> SceneImage::int32At(Pos pos) const {
  const auto raw = uint32At(pos);
  if (!raw) return std::nullopt;
  return static_cast<std::int32_t>(*raw);
}

std::optional<float> SceneImage::floatAt(Pos pos) const {
  const auto raw = uint32At(pos);
  if (!raw) return std::nullopt;
  return BitsToFloat(*raw);
}

std::optional<ByteString> SceneImage::bytesAt(Pos pos, Pos count) const {
  if (!contains(pos, count)) return std::nullopt;
  const auto window = view(pos, count);
  return ByteString(reinterpret_cast<const char*>(window.data()), window.size());
}

std::span<const std::uint8_t> SceneImage::view(Pos pos, Pos count) const {
  if (!contains(pos, count)) return {};
  return bytes_.subspan(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(count));
}

void AppendUint32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendInt32(Bytes& out, std::int32_t value) {
  AppendUint32(out, static_cast<std::uint32_t>(value));
}

void AppendFloat(Bytes& out, float value) { AppendUint32(out, FloatBits(value)); }

void AppendMarker(Bytes& out, std::uint16_t m) {
  out.push_back(marker::Low(m));
  out.push_back(marker::High(m));
}

void AppendText(Bytes& out, const ByteString& text) { out.insert(out.end(), text.begin(), text.end()); }

Bytes Int32Bytes(std::int32_t value) {
  Bytes out;
  AppendInt32(out, value);
  return out;
}

std::uint32_t FloatBits(float value) { return std::bit_cast<std::uint32_t>(value); }
float BitsToFloat(std::uint32_t bits) { return std::bit_cast<float>(bits); }

}  // namespace quorvex
