#include "common/windowed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace quorvex::bench {
namespace {

bool Inside(Pos pos, std::size_t count, Pos length) {
  return pos >= 1 && pos - 1 <= length && static_cast<Pos>(count) <= length - (pos - 1);
}

}  // namespace

FileWindows::FileWindows(const std::filesystem::path& path) {
  fd_ = ::open(path.c_str(), O_RDONLY);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path.string());
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    ::close(fd_);
    throw std::runtime_error("cannot stat " + path.string());
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

bool MemoryWindows::read(Pos pos, std::size_t count, std::uint8_t* out) const {
  if (!Inside(pos, count, length())) return false;
  if (count > 0) std::memcpy(out, bytes_.data() + (pos - 1), count);
  return true;
}

}  // namespace quorvex::bench
