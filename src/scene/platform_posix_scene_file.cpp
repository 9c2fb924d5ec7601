// The reader's hold on a scene on POSIX: the file opened for reading under a shared advisory lock.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "scene/platform.h"
#include "scene/platform_posix.h"
#include "scene/scene_file.h"
#include "scene/write_checks.h"

namespace quorvex {

namespace {

FileIdentity IdentityFrom(const struct stat& st) {
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The last write time in nanoseconds.
std::int64_t WrittenFrom(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

Error NotASceneFile(const std::filesystem::path& path, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return platform::FolderError(QuotedPath(path));
  return platform::NotARegularFileError(QuotedPath(path));
}

class PosixSceneFile final : public SceneFile {
 public:
  PosixSceneFile(int fd, std::filesystem::path path, const struct stat& st)
      : SceneFile(std::move(path), IdentityFrom(st), WrittenFrom(st)),
        fd_(fd),
        size_(static_cast<std::uint64_t>(st.st_size)) {}
  ~PosixSceneFile() override { ::close(fd_); }  // closing releases the shared lock

  std::uint64_t size() const override { return size_; }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    return platform::ReadAll(fd_, offset, out, path());
  }

 private:
  int fd_;
  std::uint64_t size_;
};

Result<struct stat> StatOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot open " + QuotedPath(path) + ": " + std::strerror(errno));
  }
  return st;
}

}  // namespace

Result<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  const auto st = StatOf(path);
  if (!st) return st.error();
  return IdentityFrom(*st);
}

Result<FileStamp> StampOf(const std::filesystem::path& path) {
  const auto st = StatOf(path);
  if (!st) return st.error();
  return FileStamp{IdentityFrom(*st), static_cast<std::uint64_t>(st->st_size), WrittenFrom(*st)};
}

Result<std::unique_ptr<SceneFile>> SceneFile::Open(const std::filesystem::path& path) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  // A writer may replace the scene between the open and the lock; then the path names another
  // file than the one locked, and the open is made again (a few times at most).
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // The type is checked before the open: opening a device node can have an effect of its own
    // (a tape rewinds, a terminal becomes the controlling one).
    const auto before = StatOf(path);
    if (!before) return before.error();
    if (!S_ISREG(before->st_mode)) return NotASceneFile(path, *before);
    if (static_cast<std::uint64_t>(before->st_size) > kMaxSceneLength) {
      return platform::TooLargeError(QuotedPath(path));
    }
    // O_NONBLOCK: should the path name a FIFO by now, the open must not wait for a writer.
    platform::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot open " + QuotedPath(path) + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot read " + QuotedPath(path) + ": " + std::strerror(errno));
    }
    if (IdentityFrom(st) != IdentityFrom(*before)) continue;  // replaced between the two looks
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK || errno == EAGAIN)
        return MakeError(ErrorKind::Locked, kFileUsedMessage);
      return MakeError(ErrorKind::NotReadable,
                       "Cannot lock " + QuotedPath(path) + ": " + std::strerror(errno));
    }
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0 || IdentityFrom(now) != IdentityFrom(st)) continue;
    // The size once more, under the lock: a writer may have changed it before the lock was taken.
    if (::fstat(fd.get(), &st) != 0) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot read " + QuotedPath(path) + ": " + std::strerror(errno));
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxSceneLength) {
      return platform::TooLargeError(QuotedPath(path));
    }
    return std::unique_ptr<SceneFile>(std::make_unique<PosixSceneFile>(fd.release(), path, st));
  }
  // Another program keeps putting new files in the scene's place.
  return MakeError(ErrorKind::Locked, kFileUsedMessage);
}

}  // namespace quorvex
