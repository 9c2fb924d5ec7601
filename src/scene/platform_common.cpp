// Platform-independent defaults of the platform layer.

#include "scene/platform.h"

#include <algorithm>
#include <string>

namespace quorvex::platform {

Status LockedFile::copyTo(NewFile& out, std::uint64_t offset, std::uint64_t count) {
  Bytes buffer(static_cast<std::size_t>(std::min<std::uint64_t>(count, 1 << 20)));
  while (count > 0) {
    const auto chunk = std::span(buffer).first(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size())));
    if (auto s = readAt(offset, chunk); !s) return s;
    if (auto s = out.write(chunk); !s) return s;
    offset += chunk.size();
    count -= chunk.size();
  }
  return OkStatus();
}

namespace {

class PlatformFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<LockedFile>> openLocked(const std::filesystem::path& path) override {
    return OpenLocked(path);
  }
  void removeQuietly(const std::filesystem::path& path) override { RemoveQuietly(path); }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PlatformFileSystem files;
  return files;
}

Error HardLinksError(const std::string& quotedPath, std::uint64_t links) {
  return MakeError(ErrorKind::Refused,
                   quotedPath + " has " + std::to_string(links) +
                       " names (hard links). This change writes the scene anew and puts the new "
                       "file in its place, which would leave the other names with the old "
                       "content. Nothing was written.");
}

Error TempExistsError(const std::string& quotedPath) {
  return MakeError(ErrorKind::TempExists,
                   "The temporary file " + quotedPath +
                       " already exists (perhaps left by an interrupted save; it may hold your "
                       "scene). Nothing was written. Move it away and try again.");
}

}  // namespace quorvex::platform
