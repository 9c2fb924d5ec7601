#pragma once
// A scene opened for reading: the one way every command and the window read a scene from disk.
//
// Only a regular file is a scene: a folder, a FIFO, a device or a socket is refused at once (the
// open never blocks). The file is held for as long as this object lives, so that no Quorvex
// writer changes it while it is read: on POSIX with a shared advisory lock (readers never refuse
// each other; a writer takes the lock exclusively, so a reader refuses while a write runs, and a
// write refuses while a reader holds the scene); on Windows by the share mode of the open, which
// shares reading and denies writing: readers never refuse each other, and the open fails while a
// writer or a program that denies reading holds the file (how a file held by another program,
// such as the game, is found).
//
// Bytes are read with positioned reads; the length is taken once, when the file is opened. A
// file that another program makes shorter while it is read gives a read failure, never a crash.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "scene/byte_source.h"
#include "scene/result.h"

namespace quorvex {

// What tells two files apart on one machine: device and inode on POSIX, volume serial number and
// file ID on Windows.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What shows that a file was changed: its identity, its length and the time of its last write (in
// the platform's own units; only compared). Another program's edit that keeps every length still
// moves the write time.
struct FileStamp {
  FileIdentity identity;
  std::uint64_t length = 0;
  std::int64_t written = 0;
  bool operator==(const FileStamp&) const = default;
};

class SceneFile : public ByteSource {
 public:
  // Errors: NoFile (empty path, kSelectFileMessage), Locked (kFileUsedMessage), NotReadable (a
  // missing or unreadable file, a folder), Refused (not a regular file, or beyond 2 GiB - 1).
  static Result<std::unique_ptr<SceneFile>> Open(const std::filesystem::path& path);

  const std::filesystem::path& path() const { return path_; }
  FileIdentity identity() const { return identity_; }
  // The file as it was when opened (the length is the one the reads go by).
  FileStamp stamp() const { return FileStamp{identity_, size(), written_}; }

 protected:
  SceneFile(std::filesystem::path path, FileIdentity identity, std::int64_t written)
      : path_(std::move(path)), identity_(identity), written_(written) {}

 private:
  std::filesystem::path path_;
  FileIdentity identity_;
  std::int64_t written_;
};

// The identity of the file that `path` names now (a link is followed).
Result<FileIdentity> IdentityOf(const std::filesystem::path& path);
// The stamp of the file that `path` names now (a link is followed).
Result<FileStamp> StampOf(const std::filesystem::path& path);

// Scene files address their bytes with signed 32-bit lengths and positions.
inline constexpr std::uint64_t kMaxSceneLength = 0x7FFFFFFF;

// The message of an operation that needs a scene when none is selected.
inline constexpr const char* kSelectFileMessage = "****** Select File ******";

// A path as the platform shows it in messages, in UTF-8 and in double quotes.
std::string QuotedPath(const std::filesystem::path& path);

}  // namespace quorvex
