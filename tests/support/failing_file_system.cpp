#include "support/failing_file_system.h"

#include <algorithm>
#include <memory>

namespace quorvex::testing {
namespace {

Error DiskFull() {
  return MakeError(ErrorKind::WriteFailed, "Cannot write: No space left on device");
}

// A temporary file that counts what is written to it, copied stretches included.
class FailingNewFile final : public platform::NewFile {
 public:
  FailingNewFile(std::unique_ptr<platform::NewFile> inner, std::optional<std::uint64_t> failAfter)
      : inner_(std::move(inner)), failAfter_(failAfter) {}
  platform::NewFile& inner() { return *inner_; }
  Status spend(std::uint64_t count) {
    written_ += count;
    if (failAfter_ && written_ > *failAfter_) return DiskFull();
    return OkStatus();
  }
  Status write(std::span<const std::uint8_t> bytes) override {
    if (auto s = spend(bytes.size()); !s) return s;
    return inner_->write(bytes);
  }
  Status flushAndClose() override { return inner_->flushAndClose(); }

 private:
  std::unique_ptr<platform::NewFile> inner_;
  std::optional<std::uint64_t> failAfter_;
  std::uint64_t written_ = 0;
};

class FailingLockedFile final : public platform::LockedFile {
 public:
  FailingLockedFile(std::unique_ptr<platform::LockedFile> inner,
                    std::optional<std::uint64_t> failAfter, bool failRestore)
      : inner_(std::move(inner)), failAfter_(failAfter), failRestore_(failRestore) {}

  const std::filesystem::path& path() const override { return inner_->path(); }
  FileIdentity identity() const override { return inner_->identity(); }
  Result<std::uint64_t> size() override { return inner_->size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    return inner_->readAt(offset, out);
  }
  // The first write that is too long writes its allowed part and fails; the write after it is the
  // writer putting the old bytes back.
  Status writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                 std::uint64_t* written) override {
    if (failed_) {
      if (!failRestore_) return inner_->writeAt(offset, bytes, written);
      if (written) *written = 0;
      return DiskFull();
    }
    if (!failAfter_ || bytes.size() <= *failAfter_) return inner_->writeAt(offset, bytes, written);
    failed_ = true;
    const auto part = bytes.first(static_cast<std::size_t>(*failAfter_));
    if (auto s = inner_->writeAt(offset, part, written); !s) return s;
    return DiskFull();
  }
  Status flush() override { return inner_->flush(); }
  Status copyTo(platform::NewFile& out, std::uint64_t offset, std::uint64_t count) override {
    auto* failing = dynamic_cast<FailingNewFile*>(&out);
    if (failing == nullptr) return inner_->copyTo(out, offset, count);
    if (auto s = failing->spend(count); !s) return s;
    return inner_->copyTo(failing->inner(), offset, count);
  }
  Status checkReplaceable() override { return inner_->checkReplaceable(); }
  Result<std::unique_ptr<platform::NewFile>> createReplacement(
      const std::filesystem::path& temp) override {
    auto created = inner_->createReplacement(temp);
    if (!created) return created.error();
    return std::unique_ptr<platform::NewFile>(
        std::make_unique<FailingNewFile>(std::move(*created), failAfter_));
  }
  Status replaceWith(const std::filesystem::path& temp) override {
    return inner_->replaceWith(temp);
  }
  Status flushFolder() override {
    if (failFolderFlush_) return MakeError(ErrorKind::WriteFailed, "Cannot flush the folder");
    return inner_->flushFolder();
  }
  bool failFolderFlush_ = false;

 private:
  std::unique_ptr<platform::LockedFile> inner_;
  std::optional<std::uint64_t> failAfter_;
  bool failRestore_;
  bool failed_ = false;
};

class ChangingSceneFile final : public SceneFile {
 public:
  ChangingSceneFile(std::unique_ptr<SceneFile> inner, ReadHook hook)
      : SceneFile(inner->path(), inner->identity(), inner->stamp().written),
        inner_(std::move(inner)),
        hook_(hook) {}
  std::uint64_t size() const override { return inner_->size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    if (auto s = inner_->readAt(offset, out); !s) return s;
    hook_(offset, out);
    return OkStatus();
  }

 private:
  std::unique_ptr<SceneFile> inner_;
  ReadHook hook_;
};

class UnflushedStagedFiles final : public platform::StagedFiles {
 public:
  explicit UnflushedStagedFiles(std::unique_ptr<platform::StagedFiles> inner)
      : inner_(std::move(inner)) {}
  Status write(const std::string& name, std::string_view bytes) override {
    return inner_->write(name, bytes);
  }
  Result<bool> commit(const std::vector<std::string>& names, const FileIdentity& keep,
                      const std::string& removeFirst) override {
    auto done = inner_->commit(names, keep, removeFirst);
    if (!done) return done;
    return false;
  }

 private:
  std::unique_ptr<platform::StagedFiles> inner_;
};

}  // namespace

ReadHook ChangedBetweenReads(std::uint64_t offset, Bytes other, bool firstSeesOther) {
  auto reads = std::make_shared<int>(0);
  return [=](std::uint64_t at, std::span<std::uint8_t> bytes) {
    if (offset < at || offset + other.size() > at + bytes.size()) return;
    const bool first = (*reads)++ == 0;
    if (first == firstSeesOther) {
      std::copy(other.begin(), other.end(),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset - at));
    }
  };
}

Status ChangingSource::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (auto s = MemorySource(bytes_).readAt(offset, out); !s) return s;
  hook_(offset, out);
  return OkStatus();
}

Result<std::unique_ptr<platform::LockedFile>> FailingFileSystem::openLocked(
    const std::filesystem::path& path) {
  auto opened = platform::OpenLocked(path);
  if (!opened) return opened.error();
  if (afterOpen_) afterOpen_();
  auto file = std::make_unique<FailingLockedFile>(std::move(*opened), failAfter_, failRestore_);
  file->failFolderFlush_ = failFolderFlush_;
  return std::unique_ptr<platform::LockedFile>(std::move(file));
}

Result<std::unique_ptr<SceneFile>> FailingFileSystem::openScene(const std::filesystem::path& path) {
  auto opened = SceneFile::Open(path);
  if (!opened || !sceneReads_) return opened;
  return std::unique_ptr<SceneFile>(
      std::make_unique<ChangingSceneFile>(std::move(*opened), sceneReads_));
}

Result<ByteString> FailingFileSystem::readFile(const std::filesystem::path& path,
                                               std::uint64_t limit) {
  if (failFileReads_) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot read " + QuotedPath(path) + ": Input/output error");
  }
  return platform::ReadRegularFile(path, limit);
}

Result<std::unique_ptr<platform::StagedFiles>> FailingFileSystem::stageFiles(
    const std::filesystem::path& folder, bool mayHoldFiles) {
  auto staged = platform::StageFiles(folder, mayHoldFiles);
  if (!staged || !failFolderFlush_) return staged;
  return std::unique_ptr<platform::StagedFiles>(
      std::make_unique<UnflushedStagedFiles>(std::move(*staged)));
}

void FailingFileSystem::removeQuietly(const std::filesystem::path& path) {
  platform::RemoveQuietly(path);
}

}  // namespace quorvex::testing
