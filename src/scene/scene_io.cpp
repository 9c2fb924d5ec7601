#include "scene/scene_io.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "scene/planned_content.h"
#include "scene/platform.h"
#include "scene/scene_file.h"
#include "scene/write_checks.h"

namespace quorvex {
namespace {

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

// Writes the new content, edit by edit, into a fresh temporary file. The unchanged stretches are
// copied from the scene file itself rather than through memory, in pieces, so that a write the
// check refuses meanwhile (`stop`) ends soon.
Status StreamNewContent(platform::NewFile& out, platform::LockedFile& scene, std::uint64_t length,
                        const EditPlan& plan, const std::atomic<bool>& stop) {
  constexpr std::uint64_t kPiece = 16u << 20;
  auto copy = [&](std::uint64_t offset, std::uint64_t count) -> Status {
    while (count > 0) {
      if (stop) return MakeError(ErrorKind::Refused, "Stopped");
      const std::uint64_t piece = std::min(count, kPiece);
      if (auto s = scene.copyTo(out, offset, piece); !s) return s;
      offset += piece;
      count -= piece;
    }
    return OkStatus();
  };
  auto put = [&](std::span<const std::uint8_t> bytes) -> Status {
    if (bytes.empty()) return OkStatus();
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

// The stretch of the file an in-place plan rewrites: from its first edit to the end of its last.
struct Stretch {
  std::uint64_t offset = 0;
  std::uint64_t end = 0;
};

Stretch StretchOf(const EditPlan& plan) {
  Stretch stretch{plan.edits().front().offset, 0};
  for (const auto& e : plan.edits()) stretch.end = std::max(stretch.end, e.offset + e.removeCount);
  return stretch;
}

std::string Range(std::uint64_t offset, std::uint64_t end) {
  return "positions " + std::to_string(offset + 1) + " to " + std::to_string(end);
}

// Same-length plan inside one page: the stretch is rewritten with one write. Should that write or
// the flush fail, the whole stretch is put back as it was (bytes the write may have changed in
// part included); should that fail too, the message says which bytes are damaged.
Status PatchInPlace(platform::LockedFile& file, const SceneImage& current, const EditPlan& plan) {
  const Stretch stretch = StretchOf(plan);
  const auto old = current.bytesAt(static_cast<Pos>(stretch.offset) + 1,
                                   static_cast<Pos>(stretch.end - stretch.offset));
  if (current.readFailure()) return *current.readFailure();
  if (!old) return MakeError(ErrorKind::ChangedOnDisk, kChangedOnDiskMessage);
  const Bytes original(old->begin(), old->end());
  Bytes patch = original;
  for (const auto& e : plan.edits()) {
    std::copy(e.insert.begin(), e.insert.end(),
              patch.begin() + static_cast<std::ptrdiff_t>(e.offset - stretch.offset));
  }

  std::uint64_t written = 0;
  Status status = file.writeAt(stretch.offset, patch, &written);
  if (!status && written == 0) {
    return MakeError(status.error().kind, status.error().message + ". The scene is unchanged.");
  }
  if (status) status = file.flush();
  if (status) return status;

  std::uint64_t restored = 0;
  Status restore = file.writeAt(stretch.offset, original, &restored);
  if (restore) restore = file.flush();
  if (restore) {
    return MakeError(status.error().kind, status.error().message + ". The scene is unchanged.");
  }
  // The bytes the failed write reached are the ones that may now differ (when that is not known,
  // the whole stretch).
  const std::uint64_t reached = written > 0 ? stretch.offset + written : stretch.end;
  return MakeError(status.error().kind, status.error().message +
                                            ". Putting the old bytes back failed as well (" +
                                            restore.error().message + "): the scene's bytes at " +
                                            Range(stretch.offset, reached) +
                                            " may be damaged. Restore the scene from a copy.");
}

Status Verify(const Verifier& verifier, const SceneImage& current, const ByteSource& source,
              const EditPlan& plan) {
  if (!verifier) return OkStatus();
  const PlannedContent planned(source, plan);
  const SceneImage result(planned);
  return CheckedRead(current, CheckedRead(result, verifier(current, plan, result)));
}

// The check and the writing of "<scene>.save" side by side: both read the scene (the copy inside
// the kernel where it can), so on two cores the change costs about what the copy alone does. The
// scene itself is only replaced once the check has passed; when it refuses, the copy stops and
// its file is removed. Without a second thread the check runs first and the copy only after it
// has passed, as a write that checks before it writes anything.
struct Overlapped {
  Status checked = OkStatus();
  Status streamed = OkStatus();
};

Overlapped CheckWhileStreaming(const std::function<Status()>& check,
                               const std::function<Status(const std::atomic<bool>&)>& stream) {
  Overlapped done;
  std::atomic<bool> stop{false};
  auto streamSafely = [&]() noexcept {
    try {
      done.streamed = stream(stop);
    } catch (const std::exception& e) {
      done.streamed = MakeError(ErrorKind::WriteFailed, e.what());
    }
  };
  std::optional<std::thread> worker;
  try {
    worker.emplace(streamSafely);
  } catch (const std::system_error&) {
    worker.reset();
  }
  try {
    done.checked = check();
  } catch (...) {
    // The copy must end before its thread object does.
    stop = true;
    if (worker) worker->join();
    throw;
  }
  if (!done.checked) stop = true;
  if (worker) {
    worker->join();
  } else if (done.checked) {
    streamSafely();
  }
  return done;
}

// The scene opened with the writer's hold. Another writer may put a new file in the scene's place
// between the open and the hold: then the file held is one that nobody reads any more, and the
// open is made again (a few times at most).
Result<std::unique_ptr<platform::LockedFile>> OpenCurrent(platform::FileSystem& files,
                                                          const std::filesystem::path& path) {
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    auto opened = files.openLocked(path);
    if (!opened) return opened.error();
    const auto named = IdentityOf(path);
    if (named && *named == (*opened)->identity()) return opened;
  }
  return MakeError(ErrorKind::Locked, kFileUsedMessage);
}

}  // namespace

bool PatchesInPlace(const EditPlan& plan) {
  if (plan.edits().empty() || !plan.keepsLength()) return false;
  constexpr std::uint64_t kPage = 4096;
  const Stretch stretch = StretchOf(plan);
  return stretch.end > stretch.offset && stretch.offset / kPage == (stretch.end - 1) / kPage;
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

Result<WriteMode> WriteScene(const std::filesystem::path& path, const Planner& planner,
                             const Verifier& verifier) {
  return WriteScene(platform::RealFileSystem(), path, planner, verifier);
}

Result<WriteMode> WriteScene(platform::FileSystem& files, const std::filesystem::path& path,
                             const Planner& planner, const Verifier& verifier) {
  if (path.empty()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  auto opened = OpenCurrent(files, path);
  if (!opened) return opened.error();
  auto& file = **opened;

  auto size = file.size();
  if (!size) return size.error();
  if (*size > kMaxSceneLength) return platform::TooLargeError(QuotedPath(path));
  const LockedFileSource source(file, *size);
  const SceneImage current(source);

  auto plan = CheckedRead(current, planner(current));
  if (!plan) return plan.error();
  if (plan->originalLength() != *size) {
    return ChangedOnDisk("the file is now " + std::to_string(*size) + " bytes long; it was " +
                         std::to_string(plan->originalLength()) + " bytes when read");
  }
  if (plan->edits().empty()) return WriteMode::NothingWritten;
  if (plan->newLength() > kMaxSceneLength) {
    return MakeError(ErrorKind::Refused,
                     "The change would make the scene larger than 2 GiB, beyond what its 32-bit "
                     "lengths can describe. Nothing was written.");
  }
  // Nothing is written to the scene before the result has been read back as the next load will
  // read it.
  auto check = [&] { return Verify(verifier, current, source, *plan); };
  if (PatchesInPlace(*plan)) {
    if (auto s = check(); !s) return s.error();
    if (auto s = PatchInPlace(file, current, *plan); !s) return s.error();
    return WriteMode::PatchedInPlace;
  }

  // A refusal of the check is reported before one of the replacement.
  const auto temp = TempPathFor(file.path());
  auto created = [&]() -> Result<std::unique_ptr<platform::NewFile>> {
    if (auto s = file.checkReplaceable(); !s) return s.error();
    return file.createReplacement(temp);
  }();
  if (!created) {
    if (auto s = check(); !s) return s.error();
    return created.error();
  }
  const Overlapped done = CheckWhileStreaming(check, [&](const std::atomic<bool>& stop) {
    return StreamNewContent(**created, file, *size, *plan, stop);
  });
  if (!done.checked || !done.streamed) {
    created->reset();
    files.removeQuietly(temp);
  }
  if (!done.checked) return done.checked.error();
  if (const auto& s = done.streamed; !s) {
    return MakeError(s.error().kind, s.error().message + ". The scene is unchanged.");
  }
  if (auto s = file.replaceWith(temp); !s) {
    files.removeQuietly(temp);
    return MakeError(s.error().kind, s.error().message + ". The scene is unchanged.");
  }
  // The new content is in place; only whether the rename survives a power loss is in doubt.
  if (!file.flushFolder()) return WriteMode::ReplacedNotFlushed;
  return WriteMode::Replaced;
}

}  // namespace quorvex
