#pragma once
// The platform's file system with faults put in its way on purpose: a disk that fills up part-way
// through a write, a restore that fails as well, another writer between the open and the write,
// another program rewriting a scene while it is read, a failing read, a folder that cannot be
// flushed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "scene/platform.h"

namespace quorvex::testing {

// Another program's hand on a file while it is read: called after every read with the 0-based
// offset and the bytes read, which it may change.
using ReadHook = std::function<void(std::uint64_t offset, std::span<std::uint8_t> bytes)>;

// A hook under which the first read that covers `offset` sees the bytes there as they are and
// every later read sees `other` there instead (another program rewrote them between two passes);
// with `firstSeesOther`, the other way round (rewritten during the first pass, then restored).
ReadHook ChangedBetweenReads(std::uint64_t offset, Bytes other, bool firstSeesOther = false);

// Bytes in memory read through a hook, and never in place, so a SceneImage reads them block by
// block as it reads a file.
class ChangingSource final : public ByteSource {
 public:
  ChangingSource(Bytes bytes, ReadHook hook) : bytes_(std::move(bytes)), hook_(std::move(hook)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  Bytes bytes_;
  ReadHook hook_;
};

class FailingFileSystem final : public platform::FileSystem {
 public:
  // Each write (a whole temporary file, or one in-place write) fails with "No space left on
  // device" once more than `bytes` of it would be written; an in-place write puts that many of its
  // bytes in the file first, as a disk that fills up part-way would.
  void failWritesAfter(std::uint64_t bytes) { failAfter_ = bytes; }
  // After such a failure, putting the old bytes back fails too, having written nothing.
  void failRestore() { failRestore_ = true; }
  // Called after each open of the scene with the writer's hold, before the writer uses it.
  void afterOpen(std::function<void()> hook) { afterOpen_ = std::move(hook); }

  // Every read of a scene opened for reading goes through `hook`.
  void changeSceneReads(ReadHook hook) { sceneReads_ = std::move(hook); }
  // Reading a whole file (a script file, a manifest) fails with an I/O error.
  void failFileReads() { failFileReads_ = true; }
  // Flushing a folder after a rename into it fails (the rename itself succeeds).
  void failFolderFlush() { failFolderFlush_ = true; }

  Result<std::unique_ptr<platform::LockedFile>> openLocked(
      const std::filesystem::path& path) override;
  void removeQuietly(const std::filesystem::path& path) override;
  Result<std::unique_ptr<SceneFile>> openScene(const std::filesystem::path& path) override;
  Result<ByteString> readFile(const std::filesystem::path& path, std::uint64_t limit) override;
  Result<std::unique_ptr<platform::StagedFiles>> stageFiles(const std::filesystem::path& folder,
                                                            bool mayHoldFiles) override;

 private:
  ReadHook sceneReads_;
  bool failFileReads_ = false;
  bool failFolderFlush_ = false;
  std::optional<std::uint64_t> failAfter_;
  bool failRestore_ = false;
  std::function<void()> afterOpen_;
};

}  // namespace quorvex::testing
