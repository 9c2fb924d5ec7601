// POSIX side of the platform layer. Another program "holds" a scene when it has an exclusive
// advisory lock on it; Quorvex takes that lock itself for the whole of every write, so a scan never
// reads a half-written scene and two Quorvex processes never write the same scene at once.

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "scene/platform.h"
#include "scene/scene_file.h"
#include "scene/write_checks.h"

namespace quorvex {

std::string QuotedPath(const std::filesystem::path& path) {
  return "\"" + path.string() + "\"";
}

namespace platform {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  return QuotedPath(path);
}

Error SystemError(ErrorKind kind, const std::string& what, int err) {
  return MakeError(kind, what + ": " + std::strerror(err));
}

bool WouldBlock(int err) {
  return err == EWOULDBLOCK || err == EAGAIN;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

Status WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path), errno);
    }
    done += static_cast<std::size_t>(n);
  }
  return OkStatus();
}

// Reads every byte of `out` at `offset`; fails when the file ends before.
Status ReadAll(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
               const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), errno);
    if (n == 0) {
      return MakeError(ErrorKind::ChangedOnDisk, std::string(kChangedOnDiskMessage) + " (" +
                                                     Quoted(path) +
                                                     " became shorter while it was read)");
    }
    done += static_cast<std::size_t>(n);
  }
  return OkStatus();
}

class PosixNewFile;

class PosixLockedFile final : public LockedFile {
 public:
  PosixLockedFile(int fd, std::filesystem::path path, const struct stat& st)
      : fd_(fd), path_(std::move(path)), st_(st) {}
  ~PosixLockedFile() override { ::close(fd_); }  // closing releases the lock

  const std::filesystem::path& path() const override { return path_; }

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
    auto length = size();
    if (!length) return length.error();
    if (offset > *length || bytes.size() > *length - offset) {
      return MakeError(ErrorKind::WriteFailed,
                       "Refusing to write past the end of " + Quoted(path_));
    }
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
      return MakeError(ErrorKind::ChangedOnDisk, std::string(kChangedOnDiskMessage) + " (" +
                                                     Quoted(path_) +
                                                     " became shorter while it was read)");
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

Error NotARegularFile(const std::filesystem::path& path) {
  return MakeError(ErrorKind::Refused, Quoted(path) +
                                           " is not a regular file (a device, pipe or socket), so "
                                           "it cannot be a scene.");
}

Error FolderError(const std::filesystem::path& path) {
  return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(path) + ": it is a folder");
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

Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path,
                                               const std::function<void()>& beforeLock) {
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    auto target = ReplacedPath(path);
    if (!target) return target.error();
    // A special file is refused before it is opened: opening a FIFO or a device may block or act.
    struct stat named {};
    if (::stat(target->c_str(), &named) == 0) {
      if (S_ISDIR(named.st_mode)) return FolderError(path);
      if (!S_ISREG(named.st_mode)) return NotARegularFile(path);
    }
    Fd fd(::open(target->c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
      const int err = errno;
      if (err == ELOOP) continue;  // the file became a link since it was looked at
      if (err == EISDIR) return FolderError(path);
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
    if (!S_ISREG(st.st_mode)) return NotARegularFile(path);
    if (beforeLock) beforeLock();
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (WouldBlock(errno)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
      return SystemError(ErrorKind::NotReadable, "Cannot lock " + Quoted(path), errno);
    }
    // Another writer may have put a new file in the scene's place between the open and the lock:
    // then the file held is one that nobody reads any more, and the open is made again.
    struct stat now {
    }, there{};
    if (::stat(path.c_str(), &now) != 0 || !SameFile(now, st)) continue;
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

namespace {

// Flushes a folder's entries (a rename into it, a new file) to disk.
Status FlushFolderOf(const std::filesystem::path& folder) {
  const std::filesystem::path named = folder.empty() ? std::filesystem::path(".") : folder;
  Fd dir(::open(named.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
    return SystemError(ErrorKind::WriteFailed, "Cannot flush the folder " + Quoted(named), errno);
  }
  return OkStatus();
}

}  // namespace

Status PosixLockedFile::flushFolder() {
  return FlushFolderOf(path_.parent_path());
}

void RemoveQuietly(const std::filesystem::path& path) {
  ::unlink(path.c_str());
}

namespace {

Error NotAPlainFile(const std::filesystem::path& path, const struct stat& st) {
  const char* what = S_ISLNK(st.st_mode)   ? "a symbolic link"
                     : S_ISDIR(st.st_mode) ? "a folder"
                                           : "a device, pipe or socket";
  return MakeError(ErrorKind::Refused,
                   Quoted(path) + " is " + what + ", not a regular file; only a regular file is " +
                       "read here, so that nothing outside the folder is taken in.");
}

Error NoSuchFile(const std::filesystem::path& path) {
  return MakeError(ErrorKind::NotReadable,
                   "Cannot open " + Quoted(path) + ": there is no such file");
}

// Reads up to `out.size()` bytes from the file position on; the count read (less at the end).
Result<std::size_t> ReadSome(int fd, std::span<char> out, const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

Error LongerThan(const std::filesystem::path& path, std::uint64_t size, std::uint64_t limit) {
  return MakeError(ErrorKind::Refused, Quoted(path) + " is " + std::to_string(size) +
                                           " bytes long, more than the " + std::to_string(limit) +
                                           " bytes that fit");
}

}  // namespace

Result<ByteString> ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit) {
  // Looked at before it is opened: opening a device or a FIFO may block or act.
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0) {
    if (errno == ENOENT) return NoSuchFile(path);
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), errno);
  }
  if (!S_ISREG(named.st_mode)) return NotAPlainFile(path, named);
  Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ELOOP) {
      named.st_mode = S_IFLNK;
      return NotAPlainFile(path, named);
    }
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), errno);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), errno);
  }
  if (!S_ISREG(st.st_mode)) return NotAPlainFile(path, st);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > limit) return LongerThan(path, size, limit);
  try {
    ByteString bytes(static_cast<std::size_t>(size), '\0');
    auto read = ReadSome(fd.get(), bytes, path);
    if (!read) return read.error();
    bytes.resize(*read);
    // A file that grew since it was measured is read on, up to the limit.
    char more[65536];
    while (true) {
      auto extra = ReadSome(fd.get(), more, path);
      if (!extra) return extra.error();
      if (*extra == 0) break;
      if (bytes.size() + *extra > limit) return LongerThan(path, bytes.size() + *extra, limit);
      bytes.append(more, *extra);
    }
    return bytes;
  } catch (const std::bad_alloc&) {
    return MakeError(ErrorKind::NotReadable, "Not enough memory to read " + Quoted(path) + " (" +
                                                 std::to_string(size) + " bytes)");
  }
}

namespace {

class PosixStagedFiles final : public StagedFiles {
 public:
  PosixStagedFiles(std::filesystem::path folder, std::filesystem::path staging,
                   std::vector<std::filesystem::path> created)
      : folder_(std::move(folder)), staging_(std::move(staging)), created_(std::move(created)) {}

  ~PosixStagedFiles() override {
    for (const auto& name : names_) ::unlink((staging_ / name).c_str());
    ::rmdir(staging_.c_str());
    if (committed_) return;
    for (const auto& folder : created_) ::rmdir(folder.c_str());  // deepest first
  }

  Status write(const std::string& name, std::string_view bytes) override {
    const auto path = staging_ / name;
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
      return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(path), errno);
    }
    names_.push_back(name);
    if (auto s = WriteAll(
            fd.get(), std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
            path);
        !s) {
      return s;
    }
    if (::close(fd.release()) != 0) {
      return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path), errno);
    }
    return OkStatus();
  }

  Result<bool> commit(const std::vector<std::string>& names, const FileIdentity& keep,
                      const std::string& removeFirst) override {
    for (const auto& name : names) {
      const auto target = folder_ / name;
      struct stat there {};
      if (::lstat(target.c_str(), &there) != 0) continue;
      if (S_ISDIR(there.st_mode)) {
        return MakeError(ErrorKind::Refused, Quoted(target) + " is a folder. Nothing was written.");
      }
      if (static_cast<std::uint64_t>(there.st_dev) == keep.device &&
          static_cast<std::uint64_t>(there.st_ino) == keep.file) {
        return MakeError(ErrorKind::Refused,
                         Quoted(target) +
                             " is the scene itself; writing the export there would replace it. "
                             "Export into another folder. Nothing was written.");
      }
    }
    const auto old = folder_ / removeFirst;
    if (::unlink(old.c_str()) != 0 && errno != ENOENT) {
      return SystemError(ErrorKind::WriteFailed, "Cannot remove the old " + Quoted(old), errno);
    }
    committed_ = true;  // from here on the folder holds this export's files
    for (const auto& name : names) {
      // rename() replaces whatever has the name, a symbolic link included, and never follows it.
      if (::rename((staging_ / name).c_str(), (folder_ / name).c_str()) != 0) {
        return SystemError(ErrorKind::WriteFailed,
                           "Cannot move " + Quoted(folder_ / name) +
                               " into place (the export in the folder is incomplete; run it "
                               "again)",
                           errno);
      }
    }
    return FlushFolderOf(folder_).ok();
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path staging_;
  std::vector<std::filesystem::path> created_;
  std::vector<std::string> names_;
  bool committed_ = false;
};

}  // namespace

Result<std::unique_ptr<StagedFiles>> StageFiles(const std::filesystem::path& folder,
                                                bool mayHoldFiles) {
  std::vector<std::filesystem::path> created;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) {
      return MakeError(ErrorKind::Refused, Quoted(folder) + " is not a folder.");
    }
    std::error_code ec;
    const bool empty = std::filesystem::is_empty(folder, ec);
    if (ec) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot read the folder " + Quoted(folder) + ": " + ec.message() + ".");
    }
    if (!empty && !mayHoldFiles) {
      return MakeError(ErrorKind::Refused,
                       Quoted(folder) +
                           " already holds files; give --force to write the export into it "
                           "anyway.");
    }
  } else {
    // The missing folders, deepest first, so that a failed export can take them away again.
    for (auto missing = folder; !missing.empty() && ::lstat(missing.c_str(), &st) != 0;
         missing = missing.parent_path()) {
      created.push_back(missing);
      if (missing.parent_path() == missing) break;
    }
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
      if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) {
        const int err = errno;
        for (const auto& made : created) ::rmdir(made.c_str());
        return SystemError(ErrorKind::WriteFailed, "Cannot create the folder " + Quoted(folder),
                           err);
      }
    }
  }
  std::string pattern = (folder / ".quorvex-export-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    const int err = errno;
    for (const auto& made : created) ::rmdir(made.c_str());
    return SystemError(ErrorKind::WriteFailed, "Cannot create a folder in " + Quoted(folder), err);
  }
  return std::unique_ptr<StagedFiles>(
      std::make_unique<PosixStagedFiles>(folder, std::filesystem::path(pattern), created));
}

}  // namespace platform

namespace {

FileIdentity IdentityFrom(const struct stat& st) {
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The last write time in nanoseconds.
std::int64_t WrittenFrom(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

Error NotASceneFile(const std::filesystem::path& path, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot open " + QuotedPath(path) + ": it is a folder");
  }
  return MakeError(ErrorKind::Refused, QuotedPath(path) +
                                           " is not a regular file (a device, pipe or socket), so "
                                           "it cannot be a scene.");
}

Error LargerThanAScene(const std::filesystem::path& path) {
  return MakeError(ErrorKind::Refused, QuotedPath(path) +
                                           " is larger than 2 GiB; scene files address their "
                                           "bytes with 32-bit lengths, so it cannot be a scene.");
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

}  // namespace

Result<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot open " + QuotedPath(path) + ": " + std::strerror(errno));
  }
  return IdentityFrom(st);
}

Result<FileStamp> StampOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot open " + QuotedPath(path) + ": " + std::strerror(errno));
  }
  return FileStamp{IdentityFrom(st), static_cast<std::uint64_t>(st.st_size), WrittenFrom(st)};
}

Result<std::unique_ptr<SceneFile>> SceneFile::Open(const std::filesystem::path& path) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  // A writer may replace the scene between the open and the lock; then the path names another
  // file than the one locked, and the open is made again (a few times at most).
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // The type is checked before the open: opening a device node can have an effect of its own
    // (a tape rewinds, a terminal becomes the controlling one).
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot open " + QuotedPath(path) + ": " + std::strerror(errno));
    }
    if (!S_ISREG(before.st_mode)) return NotASceneFile(path, before);
    if (static_cast<std::uint64_t>(before.st_size) > kMaxSceneLength) return LargerThanAScene(path);
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
    if (IdentityFrom(st) != IdentityFrom(before)) continue;  // replaced between the two looks
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
    if (static_cast<std::uint64_t>(st.st_size) > kMaxSceneLength) return LargerThanAScene(path);
    return std::unique_ptr<SceneFile>(std::make_unique<PosixSceneFile>(fd.release(), path, st));
  }
  // Another program keeps putting new files in the scene's place.
  return MakeError(ErrorKind::Locked, kFileUsedMessage);
}

namespace platform {
namespace {

// One EVP context for the whole digest; EVP_sha256() picks the processor's SHA instructions when
// it has them.
class EvpSha256 final : public Sha256Digest {
 public:
  explicit EvpSha256(EVP_MD_CTX* context) : context_(context) {}
  ~EvpSha256() override { EVP_MD_CTX_free(context_); }
  EvpSha256(const EvpSha256&) = delete;
  EvpSha256& operator=(const EvpSha256&) = delete;

  Status update(std::span<const std::uint8_t> bytes) override {
    if (bytes.empty() || EVP_DigestUpdate(context_, bytes.data(), bytes.size()) == 1)
      return OkStatus();
    return Failure("feed");
  }
  Result<std::array<std::uint8_t, 32>> finish() override {
    std::array<std::uint8_t, 32> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_, digest.data(), &size) != 1 || size != digest.size())
      return Failure("finish");
    return digest;
  }
  static Error Failure(const char* step) {
    return MakeError(ErrorKind::NotReadable,
                     std::string("The system's SHA-256 (libcrypto) failed to ") + step + ".");
  }

 private:
  EVP_MD_CTX* context_;
};

}  // namespace

Result<std::unique_ptr<Sha256Digest>> NewSha256() {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return EvpSha256::Failure("start");
  auto digest = std::make_unique<EvpSha256>(context);
  if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) return EvpSha256::Failure("start");
  return std::unique_ptr<Sha256Digest>(std::move(digest));
}

}  // namespace platform

}  // namespace quorvex
