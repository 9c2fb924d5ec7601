#pragma once
// The small set of operating-system calls the core needs; one implementation file per platform
// (platform_posix.cpp, platform_windows.cpp). Everything above this layer is portable.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex::platform {

// An open scene file held exclusively: on POSIX with a non-blocking exclusive advisory lock, on
// Windows with all sharing denied. Closed (and released) on destruction.
class LockedFile {
 public:
  virtual ~LockedFile() = default;
  virtual Result<std::uint64_t> size() = 0;
  // Fills `out` with the bytes at the 0-based `offset`; fails when the file ends before.
  virtual Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
  // Writes at a 0-based offset; the file does not grow past its current end.
  virtual Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  virtual Status flush() = 0;  // to disk
  // Appends `count` bytes of this file from the 0-based `offset` to `out` (the unchanged stretches
  // of a length-changing write). The default reads and writes them through a small buffer.
  virtual Status copyTo(class NewFile& out, std::uint64_t offset, std::uint64_t count);
  // Gives up the hold just before the scene is replaced by its new content. Windows cannot replace
  // a file that is still open; POSIX can, and keeps the lock until the end.
  virtual void releaseBeforeReplace() {}
};

// Opens for reading and writing with the exclusive hold; Locked when another holder exists.
Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path);

// Opens the scene for reading with the exclusive probe taken and released at once.
Status ProbeNotHeld(const std::filesystem::path& path);

// A new file that must not exist yet (TempExists when it does), written sequentially.
class NewFile {
 public:
  virtual ~NewFile() = default;
  virtual Status write(std::span<const std::uint8_t> bytes) = 0;
  virtual Status flushAndClose() = 0;  // data on disk, handle closed
};
Result<std::unique_ptr<NewFile>> CreateExclusive(const std::filesystem::path& path);
// The refusal when the temporary file already exists; `quotedPath` as the platform shows paths.
Error TempExistsError(const std::string& quotedPath);

// Replaces `target` with `source` in one step (POSIX: rename and sync the folder; Windows:
// MoveFileExW with replace-existing and write-through).
Status ReplaceFile(const std::filesystem::path& source, const std::filesystem::path& target);

// Removes a file, ignoring a missing one.
void RemoveQuietly(const std::filesystem::path& path);

}  // namespace quorvex::platform
