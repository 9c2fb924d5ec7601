#pragma once
// What the POSIX files of the platform layer share: the file-descriptor holder and the loops that
// read and write every byte, with their messages. Included by platform_posix*.cpp only.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include <unistd.h>

#include "scene/result.h"

namespace quorvex::platform {

std::string Quoted(const std::filesystem::path& path);

// `what` followed by the system's words for `err`.
Error SystemError(ErrorKind kind, const std::string& what, int err);

bool WouldBlock(int err);

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

// Writes every byte at the file position.
Status WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::filesystem::path& path);

// Reads every byte of `out` at `offset`; fails when the file ends before.
Status ReadAll(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
               const std::filesystem::path& path);

// Flushes a folder's entries (a rename into it, a new file) to disk.
Status FlushFolderOf(const std::filesystem::path& folder);

}  // namespace quorvex::platform
