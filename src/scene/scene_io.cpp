#include "scene/scene_io.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <vector>

#include "scene/platform.h"

namespace quorvex {
namespace {

std::optional<std::uint64_t> g_failAfterBytes;

// Scene files address their bytes with signed 32-bit lengths and positions.
constexpr std::uint64_t kMaxSceneLength = std::numeric_limits<std::int32_t>::max();

std::string Quoted(const std::filesystem::path& path) {
  return "\"" + path.string() + "\"";
}

Error TooLarge(const std::filesystem::path& path) {
  return MakeError(ErrorKind::Refused, Quoted(path) +
                                           " is larger than 2 GiB; scene files address their "
                                           "bytes with 32-bit lengths, so it cannot be a scene.");
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

std::vector<Patch> MergedPatches(std::span<const std::uint8_t> current, const EditPlan& plan) {
  constexpr std::uint64_t kMaxGap = 4096;
  std::vector<Patch> patches;
  for (const auto& e : plan.edits()) {
    if (!patches.empty()) {
      auto& last = patches.back();
      const auto lastEnd = last.offset + last.bytes.size();
      if (e.offset >= lastEnd && e.offset - lastEnd <= kMaxGap) {
        const auto gap = current.subspan(lastEnd, e.offset - lastEnd);
        last.bytes.insert(last.bytes.end(), gap.begin(), gap.end());
        last.bytes.insert(last.bytes.end(), e.insert.begin(), e.insert.end());
        const auto old = current.subspan(lastEnd, e.offset - lastEnd + e.removeCount);
        last.original.insert(last.original.end(), old.begin(), old.end());
        continue;
      }
    }
    const auto old = current.subspan(e.offset, e.removeCount);
    patches.push_back(Patch{e.offset, e.insert, Bytes(old.begin(), old.end())});
  }
  return patches;
}

// Same-length plan: patch the bytes in place. Should a write fail part-way, the bytes already
// written are put back as they were (kept aside first: the view of the file may be a mapping that
// shows the patches).
Status PatchInPlace(platform::LockedFile& file, std::span<const std::uint8_t> current,
                    const EditPlan& plan) {
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

Result<Bytes> LoadScene(const std::filesystem::path& path) {
  return LoadScene(path, nullptr);
}

Result<Bytes> LoadScene(const std::filesystem::path& path,
                        const std::function<void()>& betweenBlocks) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, "****** Select File ******");
  if (auto probe = platform::ProbeNotHeld(path); !probe) return probe.error();

  std::ifstream in(path, std::ios::binary);
  if (!in) return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(path));
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  if (end < 0) return MakeError(ErrorKind::NotReadable, "Cannot read " + Quoted(path));
  const auto length = static_cast<std::uint64_t>(end);
  if (length > kMaxSceneLength) return TooLarge(path);
  in.seekg(0, std::ios::beg);
  // Read block by block: the buffer's pages are first touched a block at a time too.
  constexpr std::uint64_t kBlock = 1 << 20;
  Bytes bytes;
  bytes.reserve(static_cast<std::size_t>(length));
  while (bytes.size() < length) {
    const auto done = bytes.size();
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - done));
    bytes.resize(done + count);
    if (!in.read(reinterpret_cast<char*>(bytes.data() + done),
                 static_cast<std::streamsize>(count))) {
      return MakeError(ErrorKind::NotReadable, "Cannot read " + Quoted(path));
    }
    if (betweenBlocks) betweenBlocks();
  }
  return bytes;
}

Result<WriteMode> WriteScene(const std::filesystem::path& path, const Planner& planner) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, "****** Select File ******");
  auto opened = platform::OpenLocked(path);
  if (!opened) return opened.error();
  auto& file = **opened;

  // Refuse an oversized file before reading it into memory.
  auto size = file.size();
  if (!size) return size.error();
  if (*size > kMaxSceneLength) return TooLarge(path);
  auto current = file.view();
  if (!current) return current.error();
  if (current->size() > kMaxSceneLength) return TooLarge(path);

  auto plan = planner(*current);
  if (!plan) return plan.error();
  if (plan->originalLength() != current->size()) {
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
    if (auto s = PatchInPlace(file, *current, *plan); !s) return s.error();
    return WriteMode::PatchedInPlace;
  }

  const auto temp = TempPathFor(path);
  auto created = platform::CreateExclusive(temp);
  if (!created) return created.error();
  if (auto s = StreamNewContent(**created, file, current->size(), *plan); !s) {
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
