#include "scene/sha256.h"

#include <new>

#include "scene/platform.h"

namespace quorvex {

Sha256::Sha256() {
  auto made = platform::NewSha256();
  if (made) {
    digest_ = std::move(*made);
  } else {
    failure_ = made.error();
  }
}

Sha256::~Sha256() = default;

void Sha256::update(std::span<const std::uint8_t> bytes) {
  if (failure_) return;
  if (auto fed = digest_->update(bytes); !fed) failure_ = fed.error();
}

void Sha256::update(std::string_view bytes) {
  update(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Result<std::string> Sha256::digest() {
  if (failure_) return *failure_;
  auto bytes = digest_->finish();
  if (!bytes) return bytes.error();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * bytes->size());
  for (const auto byte : *bytes) {
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
  }
  return out;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.hexDigest();
}

std::string Sha256::hexDigest() {
  auto hex = digest();
  if (!hex) throw std::bad_alloc();
  return std::move(*hex);
}

Result<std::string> SceneSha256(const SceneImage& image) {
  Sha256 hash;
  image.forEachRun(1, image.length(),
                   [&](std::span<const std::uint8_t> piece) { hash.update(piece); });
  auto hex = hash.digest();
  if (!hex) return hex.error();
  return CheckedRead(image, std::move(hex));
}

}  // namespace quorvex
