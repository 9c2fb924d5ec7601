// Platform-independent defaults of the platform layer.

#include "scene/platform.h"

#include <algorithm>
#include <string>

#include "scene/write_checks.h"

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

Status LockedFile::checkInside(std::uint64_t offset, std::uint64_t count) {
  auto length = size();
  if (!length) return length.error();
  if (offset > *length || count > *length - offset) {
    return MakeError(ErrorKind::WriteFailed,
                     "Refusing to write past the end of " + QuotedPath(path()));
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

Status CheckExistingExportFolder(const std::filesystem::path& folder, const std::string& quotedPath,
                                 bool isFolder, bool mayHoldFiles) {
  if (!isFolder) return MakeError(ErrorKind::Refused, quotedPath + " is not a folder.");
  std::error_code ec;
  const bool empty = std::filesystem::is_empty(folder, ec);
  if (ec) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot read the folder " + quotedPath + ": " + ec.message() + ".");
  }
  if (!empty && !mayHoldFiles) {
    return MakeError(
        ErrorKind::Refused,
        quotedPath + " already holds files; give --force to write the export into it anyway.");
  }
  return OkStatus();
}

Error SceneItselfError(const std::string& quotedPath) {
  return MakeError(ErrorKind::Refused, quotedPath +
                                           " is the scene itself; writing the export there would "
                                           "replace it. Export into another folder. Nothing was "
                                           "written.");
}

std::string NotMovedIntoPlaceText(const std::string& quotedPath) {
  return "Cannot move " + quotedPath +
         " into place (the export in the folder is incomplete; run it again)";
}

Error FolderError(const std::string& quotedPath) {
  return MakeError(ErrorKind::NotReadable, "Cannot open " + quotedPath + ": it is a folder");
}

Error NotARegularFileError(const std::string& quotedPath) {
  return MakeError(ErrorKind::Refused, quotedPath +
                                           " is not a regular file (a device, pipe or socket), so "
                                           "it cannot be a scene.");
}

Error ShorterWhileReadError(const std::string& quotedPath) {
  return MakeError(ErrorKind::ChangedOnDisk, std::string(kChangedOnDiskMessage) + " (" +
                                                 quotedPath + " became shorter while it was read)");
}

Error TooLargeError(const std::string& quotedPath) {
  return MakeError(ErrorKind::Refused, quotedPath +
                                           " is larger than 2 GiB; scene files address their "
                                           "bytes with 32-bit lengths, so it cannot be a scene.");
}

Error NotAPlainFileError(const std::string& quotedPath, const char* what) {
  return MakeError(ErrorKind::Refused,
                   quotedPath + " is " + what + ", not a regular file; only a regular file is " +
                       "read here, so that nothing outside the folder is taken in.");
}

Error LongerThanError(const std::string& quotedPath, std::uint64_t size, std::uint64_t limit) {
  return MakeError(ErrorKind::Refused, quotedPath + " is " + std::to_string(size) +
                                           " bytes long, more than the " + std::to_string(limit) +
                                           " bytes that fit");
}

Error FolderInTheWayError(const std::string& quotedPath) {
  return MakeError(ErrorKind::Refused, quotedPath + " is a folder. Nothing was written.");
}

}  // namespace quorvex::platform
