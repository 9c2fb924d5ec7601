// Windows side of the platform layer. Another program "holds" a scene when it has the file open in
// a way that forbids an open with all sharing denied; Quorvex opens the scene that way itself for
// the whole of every write, so a scan never reads a half-written scene and two Quorvex processes
// never write the same scene at once.
//
// Paths are wide (UTF-16) throughout: std::filesystem::path is wide here, and only the W functions
// are called, so a scene under a folder named in any language opens and saves. Messages are UTF-8.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h maps ReplaceFile to ReplaceFileW; this file defines the platform layer's own.
#undef ReplaceFile

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <thread>

#include "scene/platform.h"
#include "scene/scene_file.h"

namespace quorvex::platform {
namespace {

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size =
      static_cast<int>(std::min<std::size_t>(wide.size(), std::numeric_limits<int>::max()));
  const int needed =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(needed, 0)), '\0');
  if (needed > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), needed, nullptr, nullptr);
  }
  return out;
}

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "\"";
  quoted += Utf8(path.native());
  quoted += '"';
  return quoted;
}

// The system's own words for an error code, without the trailing full stop and line break.
std::string SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "system error " + std::to_string(code);
  return Utf8(text);
}

Error SystemError(ErrorKind kind, const std::string& what, DWORD code) {
  return MakeError(kind, what + ": " + SystemText(code));
}

// Another open handle forbids ours: the file is held by another program.
bool HeldByAnother(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

bool HasAttribute(const std::filesystem::path& path, DWORD attribute) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

bool IsFolder(const std::filesystem::path& path) {
  return HasAttribute(path, FILE_ATTRIBUTE_DIRECTORY);
}

Error ReadOnly(const std::filesystem::path& path, DWORD code) {
  return SystemError(ErrorKind::Refused,
                     "Cannot open " + Quoted(path) + " for writing (is it read-only?)", code);
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void release() { handle_ = INVALID_HANDLE_VALUE; }
  bool close() {
    if (!valid()) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// ReadFile and WriteFile move at most a DWORD per call; stay well below that.
constexpr std::uint64_t kMaxTransfer = 1u << 30;

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// Writes every byte at `offset` (or, with no offset, at the file pointer).
Status WriteAll(HANDLE handle, std::optional<std::uint64_t> offset,
                std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto want =
        static_cast<DWORD>(std::min<std::uint64_t>(bytes.size() - done, kMaxTransfer));
    DWORD written = 0;
    OVERLAPPED at = At(offset.value_or(0) + done);
    if (!::WriteFile(handle, bytes.data() + done, want, &written, offset ? &at : nullptr)) {
      return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path), ::GetLastError());
    }
    if (written == 0) {
      return MakeError(ErrorKind::WriteFailed,
                       "Cannot write " + Quoted(path) + ": nothing written");
    }
    done += written;
  }
  return OkStatus();
}

Result<std::uint64_t> SizeOf(HANDLE handle, const std::filesystem::path& path) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle, &size)) {
    return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), ::GetLastError());
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

// Reads every byte of `out` at `offset`; fails when the file ends before.
Status ReadAll(HANDLE handle, std::uint64_t offset, std::span<std::uint8_t> out,
               const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(out.size() - done, kMaxTransfer));
    DWORD read = 0;
    OVERLAPPED at = At(offset + done);
    if (!::ReadFile(handle, out.data() + done, want, &read, &at)) {
      const DWORD code = ::GetLastError();
      if (code != ERROR_HANDLE_EOF) {
        return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), code);
      }
      read = 0;
    }
    if (read == 0) {
      return MakeError(ErrorKind::ChangedOnDisk,
                       "Cannot read " + Quoted(path) +
                           ": the file became shorter while it was read (another program "
                           "changed it)");
    }
    done += read;
  }
  return OkStatus();
}

class WindowsLockedFile final : public LockedFile {
 public:
  WindowsLockedFile(HANDLE handle, std::filesystem::path path)
      : handle_(handle), path_(std::move(path)) {}

  Result<std::uint64_t> size() override { return SizeOf(handle_.get(), path_); }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return ReadAll(handle_.get(), offset, out, path_);
  }

  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    auto length = size();
    if (!length) return length.error();
    if (offset > *length || bytes.size() > *length - offset) {
      return MakeError(ErrorKind::WriteFailed,
                       "Refusing to write past the end of " + Quoted(path_));
    }
    return WriteAll(handle_.get(), offset, bytes, path_);
  }

  Status flush() override {
    if (!::FlushFileBuffers(handle_.get())) {
      return SystemError(ErrorKind::WriteFailed, "Cannot flush " + Quoted(path_), ::GetLastError());
    }
    return OkStatus();
  }

  void releaseBeforeReplace() override { handle_.close(); }

 private:
  Handle handle_;
  std::filesystem::path path_;
};

class WindowsNewFile final : public NewFile {
 public:
  WindowsNewFile(HANDLE handle, std::filesystem::path path)
      : handle_(handle), path_(std::move(path)) {}

  Status write(std::span<const std::uint8_t> bytes) override {
    return WriteAll(handle_.get(), std::nullopt, bytes, path_);
  }

  Status flushAndClose() override {
    if (!::FlushFileBuffers(handle_.get())) {
      const DWORD code = ::GetLastError();
      handle_.close();
      return SystemError(ErrorKind::WriteFailed, "Cannot flush " + Quoted(path_), code);
    }
    if (!handle_.close()) {
      return SystemError(ErrorKind::WriteFailed, "Cannot close " + Quoted(path_), ::GetLastError());
    }
    return OkStatus();
  }

 private:
  Handle handle_;
  std::filesystem::path path_;
};

// Opens an existing file with every kind of sharing denied to others.
HANDLE OpenUnshared(const std::filesystem::path& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

Status ProbeNotHeld(const std::filesystem::path& path) {
  if (IsFolder(path)) {
    return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(path) + ": it is a folder");
  }
  Handle probe(OpenUnshared(path, GENERIC_READ));
  if (!probe.valid()) {
    const DWORD code = ::GetLastError();
    if (HeldByAnother(code)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), code);
  }
  return OkStatus();
}

// The scene is held with all sharing denied, like the probe: nobody else can open it while a
// write runs, and a second Quorvex sees "File used by another program". Windows refuses to
// replace a file that is open, even one shared for deletion, so the writer gives the hold up
// (releaseBeforeReplace) just before the one-step replace; the moment in between is harmless
// because the scene on disk is then still the complete old content.
Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path) {
  if (IsFolder(path)) {
    return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(path) + ": it is a folder");
  }
  // The read-only flag is honoured even where the file system would let a privileged account
  // write anyway (Wine run as root): the modder set it to protect the scene.
  if (HasAttribute(path, FILE_ATTRIBUTE_READONLY)) return ReadOnly(path, ERROR_ACCESS_DENIED);
  HANDLE handle = OpenUnshared(path, GENERIC_READ | GENERIC_WRITE);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (HeldByAnother(code)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
    if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT) return ReadOnly(path, code);
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), code);
  }
  return std::unique_ptr<LockedFile>(std::make_unique<WindowsLockedFile>(handle, path));
}

Result<std::unique_ptr<NewFile>> CreateExclusive(const std::filesystem::path& path) {
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
      return TempExistsError(Quoted(path));
    }
    return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(path), code);
  }
  return std::unique_ptr<NewFile>(std::make_unique<WindowsNewFile>(handle, path));
}

Status ReplaceFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  // The new file takes over the scene's hidden, system and archive flags.
  const DWORD old = ::GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES) {
    const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0) ::SetFileAttributesW(source.c_str(), kept);
  }
  // A virus scanner or the search indexer often opens a freshly written file for a moment; such a
  // brief hold is waited out rather than reported. A real holder is still reported after that.
  constexpr int kAttempts = 20;
  DWORD code = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::MoveFileExW(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return OkStatus();
    }
    code = ::GetLastError();
    if (!HeldByAnother(code) && code != ERROR_ACCESS_DENIED) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (HeldByAnother(code)) {
    return MakeError(ErrorKind::Locked,
                     std::string("Cannot replace ") + Quoted(target) + ": " + kFileUsedMessage);
  }
  return SystemError(ErrorKind::WriteFailed, "Cannot replace " + Quoted(target), code);
}

void RemoveQuietly(const std::filesystem::path& path) {
  ::DeleteFileW(path.c_str());
}

}  // namespace quorvex::platform

namespace quorvex {
namespace {

using platform::Handle;

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

class WindowsSceneFile final : public SceneFile {
 public:
  WindowsSceneFile(HANDLE handle, std::filesystem::path path, FileIdentity identity,
                   std::uint64_t size)
      : SceneFile(std::move(path), identity), handle_(handle), size_(size) {}

  std::uint64_t size() const override { return size_; }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    return platform::ReadAll(handle_.get(), offset, out, path());
  }

 private:
  Handle handle_;
  std::uint64_t size_;
};

}  // namespace

std::string QuotedPath(const std::filesystem::path& path) { return platform::Quoted(path); }

Result<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  Handle handle(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &info)) {
    return platform::SystemError(ErrorKind::NotReadable, "Cannot open " + QuotedPath(path),
                                 ::GetLastError());
  }
  return IdentityFrom(info);
}

Result<std::unique_ptr<SceneFile>> SceneFile::Open(const std::filesystem::path& path) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  if (auto probe = platform::ProbeNotHeld(path); !probe) return probe.error();
  // Reading is shared, writing is not: no writer changes the scene while it is read.
  HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (platform::HeldByAnother(code)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
    return platform::SystemError(ErrorKind::NotReadable, "Cannot open " + QuotedPath(path), code);
  }
  Handle handle(raw);
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return MakeError(ErrorKind::Refused, QuotedPath(path) +
                                             " is not a regular file (a device, pipe or socket), "
                                             "so it cannot be a scene.");
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) {
    return platform::SystemError(ErrorKind::NotReadable, "Cannot read " + QuotedPath(path),
                                 ::GetLastError());
  }
  auto size = platform::SizeOf(handle.get(), path);
  if (!size) return size.error();
  if (*size > kMaxSceneLength) {
    return MakeError(ErrorKind::Refused,
                     QuotedPath(path) +
                         " is larger than 2 GiB; scene files address their bytes with 32-bit "
                         "lengths, so it cannot be a scene.");
  }
  HANDLE kept = handle.get();
  handle.release();
  return std::unique_ptr<SceneFile>(
      std::make_unique<WindowsSceneFile>(kept, path, IdentityFrom(info), *size));
}

}  // namespace quorvex
