// POSIX side of the platform layer. Another program "holds" a scene when it has an exclusive
// advisory lock on it; Quorvex takes that lock itself for the whole of every write, so a scan never
// reads a half-written scene and two Quorvex processes never write the same scene at once.
//
// The writer's held scene (LockedFile) is in platform_posix_locked_file.cpp, the reader's
// (SceneFile) in platform_posix_scene_file.cpp; this file has what they share, reading a whole
// file (ReadRegularFile) and writing an export's files (StageFiles).

#include "scene/platform_posix.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string Quoted(const std::filesystem::path& path) {
  return QuotedPath(path);
}

Error SystemError(ErrorKind kind, const std::string& what, int err) {
  return MakeError(kind, what + ": " + std::strerror(err));
}

bool WouldBlock(int err) {
  return err == EWOULDBLOCK || err == EAGAIN;
}

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
      return ShorterWhileReadError(Quoted(path));
    }
    done += static_cast<std::size_t>(n);
  }
  return OkStatus();
}

// Flushes a folder's entries (a rename into it, a new file) to disk.
Status FlushFolderOf(const std::filesystem::path& folder) {
  const std::filesystem::path named = folder.empty() ? std::filesystem::path(".") : folder;
  Fd dir(::open(named.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
    return SystemError(ErrorKind::WriteFailed, "Cannot flush the folder " + Quoted(named), errno);
  }
  return OkStatus();
}

namespace {

Error NotAPlainFile(const std::filesystem::path& path, const struct stat& st) {
  const char* what = S_ISLNK(st.st_mode)   ? "a symbolic link"
                     : S_ISDIR(st.st_mode) ? "a folder"
                                           : "a device, pipe or socket";
  return NotAPlainFileError(Quoted(path), what);
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
  if (size > limit) return LongerThanError(Quoted(path), size, limit);
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
      if (bytes.size() + *extra > limit)
        return LongerThanError(Quoted(path), bytes.size() + *extra, limit);
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
        return FolderInTheWayError(Quoted(target));
      }
      if (static_cast<std::uint64_t>(there.st_dev) == keep.device &&
          static_cast<std::uint64_t>(there.st_ino) == keep.file) {
        return SceneItselfError(Quoted(target));
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
        return SystemError(ErrorKind::WriteFailed, NotMovedIntoPlaceText(Quoted(folder_ / name)),
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
    if (auto s =
            CheckExistingExportFolder(folder, Quoted(folder), S_ISDIR(st.st_mode), mayHoldFiles);
        !s) {
      return s.error();
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
