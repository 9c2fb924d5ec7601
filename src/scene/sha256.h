#pragma once
// SHA-256 (FIPS 180-4), fed in pieces, for the fingerprints of exported scenes and scripts. The
// hashing itself is the system's (see platform::NewSha256).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

namespace platform {
class Sha256Digest;
}

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void update(std::span<const std::uint8_t> bytes);
  void update(std::string_view bytes);
  // The digest as 64 lowercase hex digits, or the system library's failure. The object is spent
  // afterwards.
  Result<std::string> digest();
  // The same, for callers that treat the library's failure like running out of memory (it fails
  // only when it cannot set up its state): throws std::bad_alloc then.
  std::string hexDigest();

 private:
  std::unique_ptr<platform::Sha256Digest> digest_;
  std::optional<Error> failure_;
};

// The digest of a byte string in one call (throws std::bad_alloc as hexDigest does).
std::string Sha256Hex(std::string_view bytes);

// The digest of the whole scene, read run by run through the image (never copied whole). Fails
// with the image's read failure or the library's.
Result<std::string> SceneSha256(const SceneImage& image);

}  // namespace quorvex
