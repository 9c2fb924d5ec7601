#pragma once
// Sources of small windows at 1-based positions, for the literal scans: one read per window, as
// the scans were first written (a positioned read of 2, 5 or 8 bytes, a 32-bit integer or a
// counted string at each position they visit).
//
// FileWindows issues one positioned-read system call per window on the open scene file (pread on
// POSIX, ReadFile with an offset on Windows); MemoryWindows
// copies the window out of bytes in memory. A window that runs past the end (or starts before
// position 1) is absent.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "scene/scene_image.h"

namespace quorvex::bench {

class FileWindows {
 public:
  explicit FileWindows(const std::filesystem::path& path);  // throws when it cannot be opened
  ~FileWindows();
  FileWindows(const FileWindows&) = delete;
  FileWindows& operator=(const FileWindows&) = delete;

  Pos length() const { return length_; }
  // The count bytes at pos into out; false when the window is not wholly inside the file.
  bool read(Pos pos, std::size_t count, std::uint8_t* out) const;
  // How many windows were read (one system call each).
  std::uint64_t reads() const { return reads_; }

 private:
  void* handle_ = nullptr;  // Windows: the file HANDLE
  int fd_ = -1;             // POSIX: the file descriptor
  Pos length_ = 0;
  mutable std::uint64_t reads_ = 0;
};

class MemoryWindows {
 public:
  explicit MemoryWindows(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  Pos length() const { return static_cast<Pos>(bytes_.size()); }
  bool read(Pos pos, std::size_t count, std::uint8_t* out) const;

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace quorvex::bench
