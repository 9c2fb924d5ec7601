// Windows side of the platform layer. Share modes keep readers and writers apart, as the advisory
// locks do on POSIX: a reader of ours opens the scene for reading and lets others read it too,
// but denies writing; a writer of ours opens it with all sharing denied for the whole of the
// write. So two Quorvex readers never refuse each other, no reader sees a half-written scene, and
// two Quorvex processes never write the same scene at once. Another program "holds" the scene when
// it has the file open for writing, or open with reading denied (the game, or a program that
// opened it exclusively): then our open fails with a sharing violation, and the user is told
// "File used by another program".
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
#include <bcrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scene/platform.h"
#include "scene/scene_file.h"
#include "scene/write_checks.h"

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
                std::span<const std::uint8_t> bytes, const std::filesystem::path& path,
                std::uint64_t* written = nullptr) {
  std::size_t done = 0;
  struct Report {
    std::uint64_t* to;
    const std::size_t& done;
    ~Report() {
      if (to != nullptr) *to = done;
    }
  } report{written, done};
  while (done < bytes.size()) {
    const auto want =
        static_cast<DWORD>(std::min<std::uint64_t>(bytes.size() - done, kMaxTransfer));
    DWORD count = 0;
    OVERLAPPED at = At(offset.value_or(0) + done);
    if (!::WriteFile(handle, bytes.data() + done, want, &count, offset ? &at : nullptr)) {
      return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path), ::GetLastError());
    }
    if (count == 0) {
      return MakeError(ErrorKind::WriteFailed,
                       "Cannot write " + Quoted(path) + ": nothing written");
    }
    done += count;
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
      return ShorterWhileReadError(Quoted(path));
    }
    done += read;
  }
  return OkStatus();
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

class WindowsLockedFile final : public LockedFile {
 public:
  WindowsLockedFile(HANDLE handle, std::filesystem::path path,
                    const BY_HANDLE_FILE_INFORMATION& info)
      : handle_(handle), path_(std::move(path)), info_(info) {}

  const std::filesystem::path& path() const override { return path_; }
  FileIdentity identity() const override { return IdentityFrom(info_); }

  Result<std::uint64_t> size() override { return SizeOf(handle_.get(), path_); }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return ReadAll(handle_.get(), offset, out, path_);
  }

  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                 std::uint64_t* written) override {
    if (written != nullptr) *written = 0;
    if (auto s = checkInside(offset, bytes.size()); !s) return s;
    return WriteAll(handle_.get(), offset, bytes, path_, written);
  }

  Status flush() override {
    if (!::FlushFileBuffers(handle_.get())) {
      return SystemError(ErrorKind::WriteFailed, "Cannot flush " + Quoted(path_), ::GetLastError());
    }
    return OkStatus();
  }

  Status checkReplaceable() override {
    if (info_.nNumberOfLinks > 1) {
      return HardLinksError(Quoted(path_), info_.nNumberOfLinks);
    }
    return OkStatus();
  }

  Result<std::unique_ptr<NewFile>> createReplacement(const std::filesystem::path& temp) override;
  Status replaceWith(const std::filesystem::path& temp) override;

 private:
  Handle handle_;
  std::filesystem::path path_;
  BY_HANDLE_FILE_INFORMATION info_;  // as found when the hold was taken
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

namespace {

// The identity, length and last write time of a file: what shows that another program changed it.
struct Stamp {
  DWORD volume = 0;
  DWORD indexHigh = 0, indexLow = 0;
  DWORD sizeHigh = 0, sizeLow = 0;
  DWORD writtenHigh = 0, writtenLow = 0;
  bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return Stamp{info.dwVolumeSerialNumber,
               info.nFileIndexHigh,
               info.nFileIndexLow,
               info.nFileSizeHigh,
               info.nFileSizeLow,
               info.ftLastWriteTime.dwHighDateTime,
               info.ftLastWriteTime.dwLowDateTime};
}

// The information of the file `path` names now. Opened with no access at all, which no share mode
// forbids: it works while another program holds the file.
std::optional<BY_HANDLE_FILE_INFORMATION> InfoOf(const std::filesystem::path& path) {
  Handle handle(::CreateFileW(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
  return info;
}

// The file a symbolic link at `path` names, as a path the W functions take; `path` itself when it
// is no link.
std::filesystem::path FinalPath(HANDLE handle, const std::filesystem::path& path) {
  if (!HasAttribute(path, FILE_ATTRIBUTE_REPARSE_POINT)) return path;
  std::wstring buffer(1024, L'\0');
  DWORD length =
      ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= buffer.size()) return path;
  buffer.resize(length);
  // "\\?\C:\..." shows as "C:\..."; the W functions take either.
  if (buffer.rfind(L"\\\\?\\", 0) == 0 && buffer.size() > 6 && buffer[5] == L':')
    buffer.erase(0, 4);
  return std::filesystem::path(buffer);
}

}  // namespace

// The scene is held with all sharing denied: nobody else can open it while a write runs, and the
// write refuses ("File used by another program") while anybody, a reader of ours too, has it
// open. Held that way, the file can be neither renamed nor replaced, so the path goes on naming
// it; WriteScene checks that all the same.
Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path) {
  if (IsFolder(path)) return FolderError(Quoted(path));
  // The read-only flag is honoured even where the file system would let a privileged account
  // write anyway (Wine run as root): the modder set it to protect the scene.
  if (HasAttribute(path, FILE_ATTRIBUTE_READONLY)) return ReadOnly(path, ERROR_ACCESS_DENIED);
  Handle handle(OpenUnshared(path, GENERIC_READ | GENERIC_WRITE));
  if (!handle.valid()) {
    const DWORD code = ::GetLastError();
    if (HeldByAnother(code)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
    if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT) return ReadOnly(path, code);
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), code);
  }
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) return NotARegularFileError(Quoted(path));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) {
    return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), ::GetLastError());
  }
  auto target = FinalPath(handle.get(), path);
  HANDLE held = handle.get();
  handle.release();
  return std::unique_ptr<LockedFile>(
      std::make_unique<WindowsLockedFile>(held, std::move(target), info));
}

Result<std::unique_ptr<NewFile>> WindowsLockedFile::createReplacement(
    const std::filesystem::path& temp) {
  // Created in the scene's folder with that folder's security; the replace gives it the scene's.
  HANDLE handle = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
      return TempExistsError(Quoted(temp));
    }
    return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(temp), code);
  }
  return std::unique_ptr<NewFile>(std::make_unique<WindowsNewFile>(handle, temp));
}

namespace {

// The file system cannot merge the old file's attributes and security into the new one.
bool ReplaceUnsupported(DWORD code) {
  return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ||
         code == ERROR_INVALID_PARAMETER || code == ERROR_CALL_NOT_IMPLEMENTED;
}

// The plain rename, for file systems without ReplaceFileW: the new file takes over the scene's
// hidden, system and archive flags first.
bool MoveIntoPlace(const std::filesystem::path& source, const std::filesystem::path& target) {
  const DWORD old = ::GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES) {
    const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept != 0) ::SetFileAttributesW(source.c_str(), kept);
  }
  return ::MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

Status WindowsLockedFile::replaceWith(const std::filesystem::path& temp) {
  BY_HANDLE_FILE_INFORMATION held = info_;
  ::GetFileInformationByHandle(handle_.get(), &held);
  const Stamp expected = StampOf(held);
  handle_.close();

  // A virus scanner or the search indexer often opens a freshly written file for a moment; such a
  // brief hold is waited out rather than reported. A real holder is still reported after that. A
  // holder that changed the scene in the meantime is never overwritten.
  constexpr int kAttempts = 20;
  DWORD code = ERROR_SUCCESS;
  bool plainRename = false;
  // The replace is given full paths: with a scene named relative to the current folder
  // ("scene2.bin"), Wine's ReplaceFileW fails with "The directory name is invalid".
  const auto full = [](const std::filesystem::path& path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute;
  };
  const auto target = full(path_);
  const auto source = full(temp);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const auto now = InfoOf(path_);
    if (now && !(StampOf(*now) == expected)) {
      RemoveQuietly(temp);
      return MakeError(ErrorKind::ChangedOnDisk,
                       std::string(kChangedOnDiskMessage) +
                           " (another program changed it while it was being saved) Nothing was "
                           "written.");
    }
    const bool replaced = plainRename ? MoveIntoPlace(source, target)
                                      : ::ReplaceFileW(target.c_str(), source.c_str(), nullptr, 0,
                                                       nullptr, nullptr) != 0;
    if (replaced) return OkStatus();
    code = ::GetLastError();
    if (!plainRename && ReplaceUnsupported(code)) {
      plainRename = true;
      --attempt;
      continue;
    }
    if (!HeldByAnother(code) && code != ERROR_ACCESS_DENIED) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  // Without a backup name, ReplaceFileW may have removed the scene before it failed to move the
  // new file into its place: then the new file is the only copy, and it is put there by name.
  const bool sceneGone = ::GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES &&
                         ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if (sceneGone && ::GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (::MoveFileExW(temp.c_str(), path_.c_str(), MOVEFILE_WRITE_THROUGH)) return OkStatus();
    return SystemError(ErrorKind::WriteFailed,
                       "Cannot put the new content of " + Quoted(path_) +
                           " in place; it is kept "
                           "in " +
                           Quoted(temp) + ", rename that file to the scene's name",
                       ::GetLastError());
  }
  RemoveQuietly(temp);
  if (HeldByAnother(code)) {
    return MakeError(ErrorKind::Locked,
                     std::string("Cannot replace ") + Quoted(path_) + ": " + kFileUsedMessage);
  }
  return SystemError(ErrorKind::WriteFailed, "Cannot replace " + Quoted(path_), code);
}

void RemoveQuietly(const std::filesystem::path& path) {
  ::DeleteFileW(path.c_str());
}

namespace {

bool Missing(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

Error NotAPlainFile(const std::filesystem::path& path, const char* what) {
  return NotAPlainFileError(Quoted(path), what);
}

// Reads up to `out.size()` bytes from the file pointer on; the count read (less at the end).
Result<std::size_t> ReadSome(HANDLE handle, std::span<char> out,
                             const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(out.size() - done, kMaxTransfer));
    DWORD read = 0;
    if (!::ReadFile(handle, out.data() + done, want, &read, nullptr)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_HANDLE_EOF) break;
      return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), code);
    }
    if (read == 0) break;
    done += read;
  }
  return done;
}

}  // namespace

Result<ByteString> ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (Missing(code)) {
      return MakeError(ErrorKind::NotReadable,
                       "Cannot open " + Quoted(path) + ": there is no such file");
    }
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), code);
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return NotAPlainFile(path, "a link");
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NotAPlainFile(path, "a folder");
  // The link itself is opened, never what it names, should the name have become a link since.
  Handle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle.valid()) {
    return SystemError(ErrorKind::NotReadable, "Cannot open " + Quoted(path), ::GetLastError());
  }
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return NotAPlainFile(path, "a device, pipe or socket");
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) {
    return SystemError(ErrorKind::NotReadable, "Cannot read " + Quoted(path), ::GetLastError());
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return NotAPlainFile(path, "a link");
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return NotAPlainFile(path, "a folder");
  auto size = SizeOf(handle.get(), path);
  if (!size) return size.error();
  if (*size > limit) return LongerThanError(Quoted(path), *size, limit);
  try {
    ByteString bytes(static_cast<std::size_t>(*size), '\0');
    auto read = ReadSome(handle.get(), bytes, path);
    if (!read) return read.error();
    bytes.resize(*read);
    // A file that grew since it was measured is read on, up to the limit.
    std::string more(65536, '\0');
    while (true) {
      auto extra = ReadSome(handle.get(), more, path);
      if (!extra) return extra.error();
      if (*extra == 0) break;
      if (bytes.size() + *extra > limit)
        return LongerThanError(Quoted(path), bytes.size() + *extra, limit);
      bytes.append(more.data(), *extra);
    }
    return bytes;
  } catch (const std::bad_alloc&) {
    return MakeError(ErrorKind::NotReadable, "Not enough memory to read " + Quoted(path) + " (" +
                                                 std::to_string(*size) + " bytes)");
  }
}

namespace {

class WindowsStagedFiles final : public StagedFiles {
 public:
  WindowsStagedFiles(std::filesystem::path folder, std::filesystem::path staging,
                     std::vector<std::filesystem::path> created)
      : folder_(std::move(folder)), staging_(std::move(staging)), created_(std::move(created)) {}

  ~WindowsStagedFiles() override {
    for (const auto& name : names_) ::DeleteFileW((staging_ / name).c_str());
    ::RemoveDirectoryW(staging_.c_str());
    if (committed_) return;
    for (const auto& folder : created_) ::RemoveDirectoryW(folder.c_str());  // deepest first
  }

  Status write(const std::string& name, std::string_view bytes) override {
    const auto path = staging_ / name;
    Handle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
      return SystemError(ErrorKind::WriteFailed, "Cannot create " + Quoted(path), ::GetLastError());
    }
    names_.push_back(name);
    if (auto s = WriteAll(
            handle.get(), std::nullopt,
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), path);
        !s) {
      return s;
    }
    if (!handle.close()) {
      return SystemError(ErrorKind::WriteFailed, "Cannot write " + Quoted(path), ::GetLastError());
    }
    return OkStatus();
  }

  Result<bool> commit(const std::vector<std::string>& names, const FileIdentity& keep,
                      const std::string& removeFirst) override {
    for (const auto& name : names) {
      const auto target = folder_ / name;
      const DWORD attributes = ::GetFileAttributesW(target.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) continue;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return FolderInTheWayError(Quoted(target));
      }
      // The name itself, a link not followed: replacing a link never touches what it names.
      Handle there(::CreateFileW(
          target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      BY_HANDLE_FILE_INFORMATION info{};
      if (there.valid() && ::GetFileInformationByHandle(there.get(), &info) &&
          info.dwVolumeSerialNumber == keep.device &&
          ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ==
              keep.file) {
        return SceneItselfError(Quoted(target));
      }
    }
    const auto old = folder_ / removeFirst;
    if (!::DeleteFileW(old.c_str()) && !Missing(::GetLastError())) {
      return SystemError(ErrorKind::WriteFailed, "Cannot remove the old " + Quoted(old),
                         ::GetLastError());
    }
    committed_ = true;  // from here on the folder holds this export's files
    for (const auto& name : names) {
      // A link of that name is replaced itself; MOVEFILE_WRITE_THROUGH returns once it is on disk.
      if (!::MoveFileExW((staging_ / name).c_str(), (folder_ / name).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return SystemError(ErrorKind::WriteFailed, NotMovedIntoPlaceText(Quoted(folder_ / name)),
                           ::GetLastError());
      }
    }
    return true;
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
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (auto s = CheckExistingExportFolder(
            folder, Quoted(folder), (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, mayHoldFiles);
        !s) {
      return s.error();
    }
  } else {
    // The missing folders, deepest first, so that a failed export can take them away again.
    for (auto missing = folder;
         !missing.empty() && ::GetFileAttributesW(missing.c_str()) == INVALID_FILE_ATTRIBUTES;
         missing = missing.parent_path()) {
      created.push_back(missing);
      if (missing.parent_path() == missing) break;
    }
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
      if (!::CreateDirectoryW(it->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        const DWORD code = ::GetLastError();
        for (const auto& made : created) ::RemoveDirectoryW(made.c_str());
        return SystemError(ErrorKind::WriteFailed, "Cannot create the folder " + Quoted(folder),
                           code);
      }
    }
  }
  // A staging folder of a name nobody else uses.
  DWORD code = ERROR_ALREADY_EXISTS;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const auto staging = folder / (L".quorvex-export-" + std::to_wstring(::GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(::GetTickCount64() + attempt));
    if (::CreateDirectoryW(staging.c_str(), nullptr)) {
      return std::unique_ptr<StagedFiles>(
          std::make_unique<WindowsStagedFiles>(folder, staging, created));
    }
    code = ::GetLastError();
    if (code != ERROR_ALREADY_EXISTS) break;
  }
  for (const auto& made : created) ::RemoveDirectoryW(made.c_str());
  return SystemError(ErrorKind::WriteFailed, "Cannot create a folder in " + Quoted(folder), code);
}

}  // namespace quorvex::platform

namespace quorvex {
namespace {

using platform::Handle;
using platform::IdentityFrom;

std::int64_t WrittenFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
}

class WindowsSceneFile final : public SceneFile {
 public:
  WindowsSceneFile(HANDLE handle, std::filesystem::path path, FileIdentity identity,
                   std::int64_t written, std::uint64_t size)
      : SceneFile(std::move(path), identity, written), handle_(handle), size_(size) {}

  std::uint64_t size() const override { return size_; }

  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    return platform::ReadAll(handle_.get(), offset, out, path());
  }

 private:
  Handle handle_;
  std::uint64_t size_;
};

}  // namespace

std::string QuotedPath(const std::filesystem::path& path) {
  return platform::Quoted(path);
}

Result<FileStamp> StampOf(const std::filesystem::path& path) {
  Handle handle(::CreateFileW(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &info)) {
    return platform::SystemError(ErrorKind::NotReadable, "Cannot open " + QuotedPath(path),
                                 ::GetLastError());
  }
  const std::uint64_t length =
      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return FileStamp{IdentityFrom(info), length, WrittenFrom(info)};
}

Result<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  const auto stamp = StampOf(path);
  if (!stamp) return stamp.error();
  return stamp->identity;
}

Result<std::unique_ptr<SceneFile>> SceneFile::Open(const std::filesystem::path& path) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  if (platform::IsFolder(path)) return platform::FolderError(QuotedPath(path));
  // This open is also the probe for another program holding the scene. Sharing reading, it
  // succeeds beside any reader that shares reading too (another Quorvex reader: the window and
  // quorvex-cli at once); denying writing, it fails while anybody has the file open for writing,
  // and it fails while anybody has it open with reading denied. Either way nobody writes the scene
  // while this handle reads it. (An open with all sharing denied, probed and closed before reading,
  // would also turn away every reader of ours.)
  HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (platform::HeldByAnother(code)) return MakeError(ErrorKind::Locked, kFileUsedMessage);
    return platform::SystemError(ErrorKind::NotReadable, "Cannot open " + QuotedPath(path), code);
  }
  Handle handle(raw);
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return platform::NotARegularFileError(QuotedPath(path));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) {
    return platform::SystemError(ErrorKind::NotReadable, "Cannot read " + QuotedPath(path),
                                 ::GetLastError());
  }
  auto size = platform::SizeOf(handle.get(), path);
  if (!size) return size.error();
  if (*size > kMaxSceneLength) return platform::TooLargeError(QuotedPath(path));
  HANDLE kept = handle.get();
  handle.release();
  return std::unique_ptr<SceneFile>(
      std::make_unique<WindowsSceneFile>(kept, path, IdentityFrom(info), WrittenFrom(info), *size));
}

namespace platform {
namespace {

Error HashFailure(const char* step, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return MakeError(ErrorKind::NotReadable, std::string("The system's SHA-256 (CNG) failed to ") +
                                               step + " (" + code + ").");
}

// One CNG hash object for the whole digest, made from the SHA-256 provider that is opened once
// for the process and kept (CNG providers are meant to be shared).
class CngSha256 final : public Sha256Digest {
 public:
  explicit CngSha256(BCRYPT_HASH_HANDLE hash) : hash_(hash) {}
  ~CngSha256() override { ::BCryptDestroyHash(hash_); }
  CngSha256(const CngSha256&) = delete;
  CngSha256& operator=(const CngSha256&) = delete;

  Status update(std::span<const std::uint8_t> bytes) override {
    // BCryptHashData takes a 32-bit count: feed large spans in pieces.
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
      const auto piece = bytes.subspan(at, std::min(kPiece, bytes.size() - at));
      const NTSTATUS status = ::BCryptHashData(hash_, const_cast<PUCHAR>(piece.data()),
                                               static_cast<ULONG>(piece.size()), 0);
      if (!BCRYPT_SUCCESS(status)) return HashFailure("feed", status);
    }
    return OkStatus();
  }
  Result<std::array<std::uint8_t, 32>> finish() override {
    std::array<std::uint8_t, 32> digest{};
    const NTSTATUS status =
        ::BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return HashFailure("finish", status);
    return digest;
  }

 private:
  BCRYPT_HASH_HANDLE hash_;
};

struct Sha256Provider {
  BCRYPT_ALG_HANDLE handle = nullptr;
  NTSTATUS status = 0;
};

const Sha256Provider& TheSha256Provider() {
  static const Sha256Provider provider = [] {
    Sha256Provider opened;
    opened.status =
        ::BCryptOpenAlgorithmProvider(&opened.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    return opened;
  }();
  return provider;
}

}  // namespace

Result<std::unique_ptr<Sha256Digest>> NewSha256() {
  const auto& provider = TheSha256Provider();
  if (!BCRYPT_SUCCESS(provider.status)) return HashFailure("start", provider.status);
  BCRYPT_HASH_HANDLE hash = nullptr;
  // Without a buffer of ours, CNG keeps the hash object's memory itself.
  const NTSTATUS status = ::BCryptCreateHash(provider.handle, &hash, nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) return HashFailure("start", status);
  return std::unique_ptr<Sha256Digest>(std::make_unique<CngSha256>(hash));
}

}  // namespace platform

}  // namespace quorvex
