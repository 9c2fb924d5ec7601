// Platform-independent defaults of the platform layer.

#include "scene/platform.h"

namespace quorvex::platform {

Result<std::span<const std::uint8_t>> LockedFile::view() {
  if (!copied_) {
    auto bytes = readAll();
    if (!bytes) return bytes.error();
    copy_ = std::move(*bytes);
    copied_ = true;
  }
  return std::span<const std::uint8_t>(copy_);
}

Status LockedFile::copyTo(NewFile& out, std::uint64_t offset, std::uint64_t count) {
  auto bytes = view();
  if (!bytes) return bytes.error();
  if (offset > bytes->size() || count > bytes->size() - offset) {
    return MakeError(ErrorKind::WriteFailed, "A copy ran past the end of the scene");
  }
  return out.write(bytes->subspan(offset, count));
}

Error TempExistsError(const std::string& quotedPath) {
  return MakeError(ErrorKind::TempExists,
                   "The temporary file " + quotedPath +
                       " already exists (perhaps left by an interrupted save; it may hold your "
                       "scene). Nothing was written. Move it away and try again.");
}

}  // namespace quorvex::platform
