#pragma once
// The small set of operating-system calls the core needs; one implementation file per platform
// (platform_posix.cpp, platform_windows.cpp). Everything above this layer is portable.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/result.h"
#include "scene/scene_file.h"
#include "scene/scene_image.h"

namespace quorvex::platform {

class NewFile;

// An open scene file held exclusively: on POSIX with a non-blocking exclusive advisory lock, on
// Windows with all sharing denied. Closed (and released) on destruction.
class LockedFile {
 public:
  virtual ~LockedFile() = default;
  // The file that is held: the scene's path, or, when that is a symbolic link, the file the link
  // names. A write that replaces the scene replaces this file, so the link stays a link.
  virtual const std::filesystem::path& path() const = 0;
  // The held file's identity, as IdentityOf gives it for a path that names the file.
  virtual FileIdentity identity() const = 0;
  virtual Result<std::uint64_t> size() = 0;
  // Fills `out` with the bytes at the 0-based `offset`; fails when the file ends before.
  virtual Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
  // Writes at a 0-based offset; the file does not grow past its current end. On failure
  // `written` (when given) says how many of the bytes may have reached the file.
  virtual Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                         std::uint64_t* written = nullptr) = 0;
  virtual Status flush() = 0;  // to disk
  // Appends `count` bytes of this file from the 0-based `offset` to `out` (the unchanged stretches
  // of a length-changing write). The default reads and writes them through a small buffer.
  virtual Status copyTo(NewFile& out, std::uint64_t offset, std::uint64_t count);
  // Refuses (Refused, with the reason) when replacing this file by a new one would lose something
  // a rename cannot carry over: the other names of a file with several hard links, or on POSIX an
  // owner that this user cannot give to a new file.
  virtual Status checkReplaceable() = 0;
  // Creates `temp`, which must not exist yet (TempExists when it does), as the future scene: on
  // POSIX with the scene's permission bits from the start and with its owner and group.
  virtual Result<std::unique_ptr<NewFile>> createReplacement(const std::filesystem::path& temp) = 0;
  // Puts `temp` (made by createReplacement, flushed and closed) in this file's place in one step.
  // POSIX renames it over the file, still holding the lock, and makes the rename durable. Windows
  // cannot replace a file that is open, so the hold is given up first; the replacement then
  // refuses should another program have changed the scene since, and waits out a brief hold by
  // a virus scanner or indexer. It uses ReplaceFileW, which keeps the scene's attributes and
  // security, or MoveFileExW where the file system cannot do that.
  virtual Status replaceWith(const std::filesystem::path& temp) = 0;
  // Makes a replacement made by replaceWith survive a power loss: POSIX flushes the scene's
  // folder, whose entry the rename changed. Windows asks for that in the replacement itself.
  virtual Status flushFolder() { return OkStatus(); }

 protected:
  // For writeAt: refuses (WriteFailed) a write of `count` bytes at `offset` that would reach past
  // the file's current end.
  Status checkInside(std::uint64_t offset, std::uint64_t count);
};

// Opens a regular file for reading and writing with the exclusive hold, never blocking: a folder,
// a FIFO, a device or a socket is refused before anything waits on it. Locked when another holder
// exists. Another writer may replace the scene between the open and the hold: WriteScene, which
// makes the write, checks that the path still names the held file and opens it again otherwise.
Result<std::unique_ptr<LockedFile>> OpenLocked(const std::filesystem::path& path);

// A new file, written sequentially.
class NewFile {
 public:
  virtual ~NewFile() = default;
  virtual Status write(std::span<const std::uint8_t> bytes) = 0;
  virtual Status flushAndClose() = 0;  // data on disk, handle closed
};
// The refusals both platforms give, worded once; `quotedPath` as the platform shows paths.
// The temporary file already exists.
Error TempExistsError(const std::string& quotedPath);
// A scene that has more than one name (hard links) would be replaced.
Error HardLinksError(const std::string& quotedPath, std::uint64_t links);
// A scene is opened that is a folder (NotReadable).
Error FolderError(const std::string& quotedPath);
// A scene is opened that is a device, a pipe or a socket (Refused).
Error NotARegularFileError(const std::string& quotedPath);
// A file became shorter while it was read (ChangedOnDisk).
Error ShorterWhileReadError(const std::string& quotedPath);
// A scene is longer than its 32-bit lengths can describe (Refused).
Error TooLargeError(const std::string& quotedPath);
// ReadRegularFile meets `what` ("a folder", "a symbolic link", ...) instead of a regular file.
Error NotAPlainFileError(const std::string& quotedPath, const char* what);
// ReadRegularFile meets a file of `size` bytes, more than `limit`.
Error LongerThanError(const std::string& quotedPath, std::uint64_t size, std::uint64_t limit);
// StagedFiles::commit finds a folder where a file is to go.
Error FolderInTheWayError(const std::string& quotedPath);
// StagedFiles::commit finds the scene being exported where a file is to go (Refused).
Error SceneItselfError(const std::string& quotedPath);
// StagedFiles::commit cannot move a file to its name: the start of the message.
std::string NotMovedIntoPlaceText(const std::string& quotedPath);
// StageFiles finds `folder` existing: it must be a folder, and empty unless it may hold files.
Status CheckExistingExportFolder(const std::filesystem::path& folder, const std::string& quotedPath,
                                 bool isFolder, bool mayHoldFiles);

// Removes a file, ignoring a missing one.
void RemoveQuietly(const std::filesystem::path& path);

// The bytes of the regular file at `path`, at most `limit` of them. A symbolic link (even one to
// a regular file), a folder, a device, a pipe or a socket is refused (Refused) without reading
// it, and so is a file longer than `limit`, by the size the file system gives, before a byte is
// read (memory: the file's size, once). A read error or a lack of memory is an Error, never an
// exception. A missing file is NotReadable with "there is no such file".
Result<ByteString> ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit);

// A set of files written into a folder the user named as one step: each file is written into a
// fresh staging folder inside it, and only commit() moves them to their names in the folder. When
// the object is destroyed, the staging folder goes with whatever is still in it, and a folder
// that StageFiles created goes too unless the files were committed: a refused or failed export
// leaves no half-written folder behind.
class StagedFiles {
 public:
  virtual ~StagedFiles() = default;
  // Writes `bytes` as a new file `name` (a plain file name) in the staging folder, never through
  // a link. Not flushed file by file (thousands of scripts would take seconds each time): the
  // folder is flushed once, by commit().
  virtual Status write(const std::string& name, std::string_view bytes) = 0;
  // Moves the staged files `names` into the folder, in this order. A file of that name in the
  // folder is replaced; a symbolic link of that name is replaced itself, never followed, so
  // nothing outside the folder is written. Refused before anything is moved when a name in the
  // folder is a folder or is the file `keep` (the scene the files come from). `removeFirst`, when
  // it is in the folder, is removed before the first move. The result tells whether the folder
  // could be flushed to disk afterwards (false: the files are in place but might not survive a
  // power loss).
  virtual Result<bool> commit(const std::vector<std::string>& names, const FileIdentity& keep,
                              const std::string& removeFirst) = 0;
};

// Stages files for the folder `folder`, which is created (with its parents) when missing. An
// existing folder that holds anything is refused (Refused) unless `mayHoldFiles`; anything else
// of that name (a file, a device) is refused too.
Result<std::unique_ptr<StagedFiles>> StageFiles(const std::filesystem::path& folder,
                                                bool mayHoldFiles);

// The file system as the writer sees it, so that tests can put a failing disk or another writer
// in its way. Production code uses RealFileSystem().
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual Result<std::unique_ptr<LockedFile>> openLocked(const std::filesystem::path& path) = 0;
  virtual void removeQuietly(const std::filesystem::path& path) = 0;
  // SceneFile::Open, ReadRegularFile and StageFiles.
  virtual Result<std::unique_ptr<SceneFile>> openScene(const std::filesystem::path& path) {
    return SceneFile::Open(path);
  }
  virtual Result<ByteString> readFile(const std::filesystem::path& path, std::uint64_t limit) {
    return ReadRegularFile(path, limit);
  }
  virtual Result<std::unique_ptr<StagedFiles>> stageFiles(const std::filesystem::path& folder,
                                                          bool mayHoldFiles) {
    return StageFiles(folder, mayHoldFiles);
  }
};

// OpenLocked, RemoveQuietly and the rest of this platform.
FileSystem& RealFileSystem();

// SHA-256 computed by the system's own library (libcrypto on POSIX, CNG on Windows), which uses the
// processor's hash instructions where there are any. Fed in pieces; finish() gives the 32 bytes of
// the digest once, after which nothing more may be fed.
class Sha256Digest {
 public:
  virtual ~Sha256Digest() = default;
  virtual Status update(std::span<const std::uint8_t> bytes) = 0;
  virtual Result<std::array<std::uint8_t, 32>> finish() = 0;
};
// A fresh digest. Fails only when the library cannot set up its state (no memory, or no SHA-256).
Result<std::unique_ptr<Sha256Digest>> NewSha256();

}  // namespace quorvex::platform
