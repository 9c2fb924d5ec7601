// The writer's hold on a scene on POSIX: the file opened for reading and writing under an
// exclusive advisory lock, and the new file that replaces it when a change writes it anew.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scene/platform.h"
#include "scene/platform_posix.h"
#include "scene/write_checks.h"

namespace quorvex::platform {
namespace {

class PosixNewFile;

class PosixLockedFile final : public LockedFile {
 public:
  PosixLockedFile(int fd, std::filesystem::path path, const struct stat& st)
      : fd_(fd), path_(std::move(path)), st_(st) {}
  ~PosixLockedFile() override { ::close(fd_); }  // closing releases the lock

  const std::filesystem::path& path() const override { return path_; }
  FileIdentity identity() const override {
    return FileIdentity{static_cast<std::uint64_t>(st_.st_dev),
                        static_cast<std::uint64_t>(st_.st_ino)};
  }

  Status copyTo(NewFile& out, std::uint64_t offset, std::uint64_t count) override;

  Result<std::uint64_t> size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path_), errno);
    }
    return static_cast<std::uint64_t>(st.st_size);
  }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return ReadAll(fd_, offset, out, path_);
  }

  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                 std::uint64_t* written) override {
    if (written != nullptr) *written = 0;
    if (auto s = checkInside(offset, bytes.size()); !s) return s;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (written != nullptr) *written = done;
        return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path_), errno);
      }
      done += static_cast<std::size_t>(n);
    }
    if (written != nullptr) *written = done;
    return OkStatus();
  }

  Status flush() override {
    if (::fsync(fd_) != 0) {
      return SystemError(ErrorKind::WriteFailed, "Cannot flush " + Quoted(path_), errno);
    }
    return OkStatus();
  }

  Status checkReplaceable() override;
  Result<std::unique_ptr<NewFile>> createReplacement(const std::filesystem::path& temp) override;
  Status replaceWith(const std::filesystem::path& temp) override;
  Status flushFolder() override;

 private:
  int fd_;
  std::filesystem::path path_;
  struct stat st_;  // as found under the lock
};

class PosixNewFile final : public NewFile {
 public:
  PosixNewFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  ~PosixNewFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Status write(std::span<const std::uint8_t> bytes) override { return WriteAll(fd_, bytes, path_); }

  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }

  Status flushAndClose() override {
    if (::fsync(fd_) != 0) {
      return SystemError(ErrorKind::WriteFailed, "Cannot flush " + Quoted(path_), errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      return SystemError(ErrorKind::WriteFailed, "Cannot close " + Quoted(path_), errno);
    }
    return OkStatus();
  }

 private:
  int fd_;
  std::filesystem::path path_;
};

// The unchanged stretches go from file to file inside the kernel where it can; else through a
// small buffer, never through the whole file in memory.
Status PosixLockedFile::copyTo(NewFile& out, std::uint64_t offset, std::uint64_t count) {
  auto* target = dynamic_cast<PosixNewFile*>(&out);
  if (target == nullptr) return LockedFile::copyTo(out, offset, count);
  auto in = static_cast<off_t>(offset);
  std::uint64_t left = count;
  while (left > 0) {
    const ssize_t n =
        ::copy_file_range(fd_, &in, target->fd(), nullptr,
                          static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 30)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // not supported here, or the file ended early: use the buffer below
    left -= static_cast<std::uint64_t>(n);
  }
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 20)));
  while (left > 0) {
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    const ssize_t n = ::pread(fd_, buffer.data(), chunk, in);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path_), errno);
    if (n == 0) {
      return ShorterWhileReadError(Quoted(path_));
    }
    if (auto s = WriteAll(target->fd(), std::span(buffer.data(), static_cast<std::size_t>(n)),
                          target->path());
        !s) {
      return s;
    }
    in += n;
    left -= static_cast<std::uint64_t>(n);
  }
  return OkStatus();
}

}  // namespace

Status PosixLockedFile::checkReplaceable() {
  if (st_.st_nlink > 1) {
    return HardLinksError(Quoted(path_), static_cast<std::uint64_t>(st_.st_nlink));
  }
  const uid_t user = ::geteuid();
  if (user != 0 && user != st_.st_uid) {
    return MakeError(ErrorKind::Refused,
                     Quoted(path_) + " belongs to another user (user id " +
                         std::to_string(st_.st_uid) +
                         "). This change writes the scene anew, and the new file would "
                         "belong to you instead. Nothing was written.");
  }
  return OkStatus();
}

Result<std::unique_ptr<NewFile>> PosixLockedFile::createReplacement(
    const std::filesystem::path& temp) {
  // Created with the scene's permission bits (the umask can only take some away; they are put
  // back below, before a byte of the scene is written), then given the scene's owner and group.
  const mode_t mode = st_.st_mode & 07777;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
  if (fd < 0) {
    if (errno == EEXIST) return TempExistsError(Quoted(temp));
    return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(temp), errno);
  }
  auto file = std::make_unique<PosixNewFile>(fd, temp);
  struct stat created {};
  if (::fstat(fd, &created) != 0) {
    const int err = errno;
    file.reset();
    RemoveQuietly(temp);
    return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(temp), err);
  }
  if ((created.st_uid != st_.st_uid || created.st_gid != st_.st_gid) &&
      ::fchown(fd, st_.st_uid, st_.st_gid) != 0) {
    const int err = errno;
    file.reset();
    RemoveQuietly(temp);
    return MakeError(ErrorKind::Refused,
                     "The new content of " + Quoted(path_) +
                         " cannot be given the scene's owner and group (user id " +
                         std::to_string(st_.st_uid) + ", group id " + std::to_string(st_.st_gid) +
                         "): " + std::strerror(err) +
                         ". Writing the scene anew would change who owns it. Nothing was "
                         "written.");
  }
  if (::fchmod(fd, mode) != 0) {
    const int err = errno;
    file.reset();
    RemoveQuietly(temp);
    return SystemError(ErrorKind::WriteFailed, "Cannot set the permissions of " + Quoted(temp),
                       err);
  }
  return std::unique_ptr<NewFile>(std::move(file));
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file a write replaces: the path itself, or the file that a symbolic link there names.
Result<std::filesystem::path> ReplacedPath(const std::filesystem::path& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) {
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), errno);
  }
  std::filesystem::path resolved(real);
  std::free(real);
  return resolved;
}

}  // namespace

Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path) {
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    auto target = ReplacedPath(path);
    if (!target) return target.error();
    // A special file is refused before it is opened: opening a FIFO or a device may block or act.
    struct stat named {};
    if (::stat(target->c_str(), &named) == 0) {
      if (S_ISDIR(named.st_mode)) return FolderError(Quoted(path));
      if (!S_ISREG(named.st_mode)) return NotARegularFileError(Quoted(path));
    }
    Fd fd(::open(target->c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
      const int err = errno;
      if (err == ELOOP) continue;  // the file became a link since it was looked at
      if (err == EISDIR) return FolderError(Quoted(path));
      if (err == EACCES || err == EROFS || err == EPERM) {
        return SystemError(ErrorKind::Refused,
                           "Cannot open " + Quoted(path) + " for writing (is it read-only?)", err);
      }
      return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), err);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
      return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), errno);
    }
    if (!S_ISREG(st.st_mode)) return NotARegularFileError(Quoted(path));
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (WouldBlock(errno)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
      return SystemError(ErrorKind::NotReadable, "Cannot lock " + Quoted(path), errno);
    }
    // The file the link named may have become a link itself since: then the open is made again.
    struct stat there {};
    if (::lstat(target->c_str(), &there) != 0 || !SameFile(there, st)) continue;
    // Length, links and owner as they are under the lock.
    if (::fstat(fd.get(), &st) != 0) {
      return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), errno);
    }
    return std::unique_ptr<LockedFile>(
        std::make_unique<PosixLockedFile>(fd.release(), std::move(*target), st));
  }
  return MakeError(ErrorKind::Locked, kFileUsedMessage);
}

Status PosixLockedFile::replaceWith(const std::filesystem::path& temp) {
  if (::rename(temp.c_str(), path_.c_str()) != 0) {
    return SystemError(ErrorKind::WriteFailed, "Cannot replace " + Quoted(path_), errno);
  }
  return OkStatus();
}

Status PosixLockedFile::flushFolder() {
  return FlushFolderOf(path_.parent_path());
}

void RemoveQuietly(const std::filesystem::path& path) {
  ::unlink(path.c_str());
}

}  // namespace quorvex::platform
