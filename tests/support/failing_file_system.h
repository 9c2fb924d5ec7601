#pragma once
// The platform's file system with faults put in its way on purpose: a disk that fills up part-way
// through a write, a restore that fails as well, another writer between the open and the lock.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "scene/platform.h"

namespace quorvex::testing {

class FailingFileSystem final : public platform::FileSystem {
 public:
  // Each write (a whole temporary file, or one in-place write) fails with "No space left on
  // device" once more than `bytes` of it would be written; an in-place write puts that many of its
  // bytes in the file first, as a disk that fills up part-way would.
  void failWritesAfter(std::uint64_t bytes) { failAfter_ = bytes; }
  // After such a failure, putting the old bytes back fails too, having written nothing.
  void failRestore() { failRestore_ = true; }
  // Called after each open of the scene and before it is locked (POSIX).
  void beforeLock(std::function<void()> hook) { beforeLock_ = std::move(hook); }

  Result<std::unique_ptr<platform::LockedFile>> openLocked(
      const std::filesystem::path& path) override;
  void removeQuietly(const std::filesystem::path& path) override;

 private:
  std::optional<std::uint64_t> failAfter_;
  bool failRestore_ = false;
  std::function<void()> beforeLock_;
};

}  // namespace quorvex::testing
