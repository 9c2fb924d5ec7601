#pragma once
// SHA-256 (FIPS 180-4), fed in pieces, for the fingerprints of exported scenes and scripts.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

class Sha256 {
 public:
  Sha256();
  void update(std::span<const std::uint8_t> bytes);
  void update(std::string_view bytes);
  // The digest as 64 lowercase hex digits. The object is spent afterwards.
  std::string hexDigest();

 private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// The digest of a byte string in one call.
std::string Sha256Hex(std::string_view bytes);

// The digest of the whole scene, read run by run through the image (never copied whole). Fails
// with the image's read failure.
Result<std::string> SceneSha256(const SceneImage& image);

}  // namespace quorvex
