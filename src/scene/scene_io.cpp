#include "scene/scene_io.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "scene/platform.h"
#include "scene/scene_file.h"

namespace quorvex {
namespace {

std::optional<std::uint64_t> g_failAfterBytes;

std::string Quoted(const std::filesystem::path& path) { return QuotedPath(path); }

Error TooLarge(const std::filesystem::path& path) {
  return MakeError(ErrorKind::Refused, Quoted(path) +
                                           " is larger than 2 GiB; scene files address their "
                                           "bytes with 32-bit lengths, so it cannot be a scene.");
}

// The locked scene as a byte source, read with positioned reads (never mapped: a mapping would
// crash the process should another program truncate the file while it is planned).
class LockedFileSource final : public ByteSource {
 public:
  LockedFileSource(platform::LockedFile& file, std::uint64_t size) : file_(file), size_(size) {}
  std::uint64_t size() const override { return size_; }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    return file_.readAt(offset, out);
  }

 private:
  platform::LockedFile& file_;
  std::uint64_t size_;
};

// The bytes at a 0-based offset, as read now.
Bytes Span(const SceneImage& image, std::uint64_t offset, std::uint64_t count) {
  const auto bytes = image.bytesAt(static_cast<Pos>(offset) + 1, static_cast<Pos>(count));
  return bytes ? Bytes(bytes->begin(), bytes->end()) : Bytes();
}

// Counts the bytes written by one write operation for the failure seam.
class WriteBudget {
 public:
  Status spend(std::uint64_t count) {
    written_ += count;
    if (g_failAfterBytes && written_ > *g_failAfterBytes) {
      return MakeError(ErrorKind::WriteFailed, "Cannot write: No space left on device");
    }
    return OkStatus();
  }

 private:
  std::uint64_t written_ = 0;
};

// Writes the new content, edit by edit, into a fresh temporary file. The unchanged stretches are
// copied from the scene file itself rather than through memory.
Status StreamNewContent(platform::NewFile& out, platform::LockedFile& scene, std::uint64_t length,
                        const EditPlan& plan) {
  WriteBudget budget;
  auto copy = [&](std::uint64_t offset, std::uint64_t count) -> Status {
    if (count == 0) return OkStatus();
    if (auto s = budget.spend(count); !s) return s;
    return scene.copyTo(out, offset, count);
  };
  auto put = [&](std::span<const std::uint8_t> bytes) -> Status {
    if (bytes.empty()) return OkStatus();
    if (auto s = budget.spend(bytes.size()); !s) return s;
    return out.write(bytes);
  };
  std::uint64_t cursor = 0;
  for (const auto& e : plan.edits()) {
    if (auto s = copy(cursor, e.offset - cursor); !s) return s;
    if (auto s = put(e.insert); !s) return s;
    cursor = e.offset + e.removeCount;
  }
  if (auto s = copy(cursor, length - cursor); !s) return s;
  return out.flushAndClose();
}

// One in-place write: nearby edits of a same-length plan merged, with the bytes between them as
// they are, so that the ten values of a modified object go to the file in a single write.
struct Patch {
  std::uint64_t offset = 0;
  Bytes bytes;     // the new bytes
  Bytes original;  // the bytes they replace, for putting back after a failure
};

std::vector<Patch> MergedPatches(const SceneImage& current, const EditPlan& plan) {
  constexpr std::uint64_t kMaxGap = 4096;
  std::vector<Patch> patches;
  for (const auto& e : plan.edits()) {
    if (!patches.empty()) {
      auto& last = patches.back();
      const auto lastEnd = last.offset + last.bytes.size();
      if (e.offset >= lastEnd && e.offset - lastEnd <= kMaxGap) {
        const auto gap = Span(current, lastEnd, e.offset - lastEnd);
        last.bytes.insert(last.bytes.end(), gap.begin(), gap.end());
        last.bytes.insert(last.bytes.end(), e.insert.begin(), e.insert.end());
        const auto old = Span(current, lastEnd, e.offset - lastEnd + e.removeCount);
        last.original.insert(last.original.end(), old.begin(), old.end());
        continue;
      }
    }
    const auto old = Span(current, e.offset, e.removeCount);
    patches.push_back(Patch{e.offset, e.insert, Bytes(old.begin(), old.end())});
  }
  return patches;
}

// Same-length plan: patch the bytes in place. Should a write fail part-way, the bytes already
// written are put back as they were (kept aside first).
Status PatchInPlace(platform::LockedFile& file, const SceneImage& current, const EditPlan& plan) {
  const std::vector<Patch> patches = MergedPatches(current, plan);
  WriteBudget budget;
  std::size_t written = 0;
  Status status = OkStatus();
  for (const auto& patch : patches) {
    status = budget.spend(patch.bytes.size());
    if (status) status = file.writeAt(patch.offset, patch.bytes);
    if (!status) break;
    ++written;
  }
  if (status) status = file.flush();
  if (!status) {
    for (std::size_t i = 0; i < written; ++i) file.writeAt(patches[i].offset, patches[i].original);
    file.flush();
  }
  return status;
}

}  // namespace

void InjectWriteFailureForTesting(std::optional<std::uint64_t> afterBytes) {
  g_failAfterBytes = afterBytes;
}

std::filesystem::path TempPathFor(const std::filesystem::path& scene) {
  auto temp = scene;
  temp += ".save";
  return temp;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::path(utf8);
#endif
}

Result<WriteMode> WriteScene(const std::filesystem::path& path, const Planner& planner) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, "****** Select File ******");
  auto opened = platform::OpenLocked(path);
  if (!opened) return opened.error();
  auto& file = **opened;

  auto size = file.size();
  if (!size) return size.error();
  if (*size > kMaxSceneLength) return TooLarge(path);
  const LockedFileSource source(file, *size);
  const SceneImage current(source);

  auto plan = CheckedRead(current, planner(current));
  if (!plan) return plan.error();
  if (plan->originalLength() != *size) {
    return MakeError(ErrorKind::ChangedOnDisk,
                     "The scene changed on disk while it was being saved; reload it.");
  }
  if (plan->edits().empty()) return WriteMode::NothingWritten;
  if (plan->newLength() > kMaxSceneLength) {
    return MakeError(ErrorKind::Refused,
                     "The change would make the scene larger than 2 GiB, beyond what its 32-bit "
                     "lengths can describe. Nothing was written.");
  }

  if (plan->keepsLength()) {
    if (auto s = PatchInPlace(file, current, *plan); !s) return s.error();
    return WriteMode::PatchedInPlace;
  }

  const auto temp = TempPathFor(path);
  auto created = platform::CreateExclusive(temp);
  if (!created) return created.error();
  if (auto s = StreamNewContent(**created, file, *size, *plan); !s) {
    created->reset();
    platform::RemoveQuietly(temp);
    return MakeError(s.error().kind, s.error().message + ". The scene is unchanged.");
  }
  file.releaseBeforeReplace();
  if (auto s = platform::ReplaceFile(temp, path); !s) {
    platform::RemoveQuietly(temp);
    return MakeError(s.error().kind, s.error().message + ". The scene is unchanged.");
  }
  return WriteMode::Replaced;
}

}  // namespace quorvex
