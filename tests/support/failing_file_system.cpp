#include "support/failing_file_system.h"

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

 private:
  std::unique_ptr<platform::LockedFile> inner_;
  std::optional<std::uint64_t> failAfter_;
  bool failRestore_;
  bool failed_ = false;
};

}  // namespace

Result<std::unique_ptr<platform::LockedFile>> FailingFileSystem::openLocked(
    const std::filesystem::path& path) {
  auto opened = platform::OpenLocked(path, beforeLock_);
  if (!opened) return opened.error();
  return std::unique_ptr<platform::LockedFile>(
      std::make_unique<FailingLockedFile>(std::move(*opened), failAfter_, failRestore_));
}

void FailingFileSystem::removeQuietly(const std::filesystem::path& path) {
  platform::RemoveQuietly(path);
}

}  // namespace quorvex::testing
