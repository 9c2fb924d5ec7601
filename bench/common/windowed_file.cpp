#include "common/windowed_file.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvex::bench {
namespace {

bool Inside(Pos pos, std::size_t count, Pos length) {
  return pos >= 1 && pos - 1 <= length && static_cast<Pos>(count) <= length - (pos - 1);
}

}  // namespace

#ifdef _WIN32

FileWindows::FileWindows(const std::filesystem::path& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    throw std::runtime_error("cannot read the length of " + path.string());
  }
  handle_ = file;
  length_ = static_cast<Pos>(size.QuadPart);
}

FileWindows::~FileWindows() {
  if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
}

bool FileWindows::read(Pos pos, std::size_t count, std::uint8_t* out) const {
  if (!Inside(pos, count, length_)) return false;
  ++reads_;
  OVERLAPPED at{};
  const auto offset = static_cast<std::uint64_t>(pos - 1);
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  return ::ReadFile(static_cast<HANDLE>(handle_), out, static_cast<DWORD>(count), &got, &at) &&
         got == count;
}

#else

FileWindows::FileWindows(const std::filesystem::path& path) {
  fd_ = ::open(path.c_str(), O_RDONLY);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path.string());
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    ::close(fd_);
    throw std::runtime_error("cannot read the length of " + path.string());
  }
  length_ = static_cast<Pos>(info.st_size);
}

FileWindows::~FileWindows() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileWindows::read(Pos pos, std::size_t count, std::uint8_t* out) const {
  if (!Inside(pos, count, length_)) return false;
  ++reads_;
  const auto got = ::pread(fd_, out, count, static_cast<off_t>(pos - 1));
  return got == static_cast<ssize_t>(count);
}

#endif

bool MemoryWindows::read(Pos pos, std::size_t count, std::uint8_t* out) const {
  if (!Inside(pos, count, length())) return false;
  if (count > 0) std::memcpy(out, bytes_.data() + (pos - 1), count);
  return true;
}

}  // namespace quorvex::bench
