#include "script/overview.h"

#include <algorithm>
#include <string>
#include <vector>

#include "scene/write_checks.h"

namespace quorvex {
namespace {

// The script length is read again at its recorded position. Damaged when it lies outside the file,
// is negative, or its text runs past the end of the file.
Result<std::int32_t> ScriptLengthAt(const SceneImage& image, Pos at) {
  const auto length = image.int32At(at);
  if (!length || *length < 0 || !image.contains(at + 4, *length)) {
    return MakeError(ErrorKind::Damaged,
                     "The scene is damaged: the script whose length is at position " +
                         std::to_string(at) + " runs past the end of the file.");
  }
  return *length;
}

bool Shown(const CatalogueRow& row) {
  return row.checked && row.scriptLengthPos.has_value();
}

void WriteHeader(const std::function<void(std::string_view)>& sink, const ByteString& name) {
  sink("\r\n\r\n");
  sink(kOverviewStars);
  sink(kOverviewNameOpen);
  sink(name);
  sink(kOverviewNameClose);
  sink(kOverviewStars);
  sink("\r\n");
}

void WriteText(const SceneImage& image, Pos at, Pos length,
               const std::function<void(std::string_view)>& sink) {
  image.forEachRun(at, length, [&](std::span<const std::uint8_t> text) {
    sink(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  });
}

// A text that fits in the image's cache beside the block the scan stands in stays there until the
// scan has passed it (a definition's text is stepped through, a standalone script's jumped over).
constexpr Pos kReadAhead = (SceneImage::kCachedBlocks - 2) * SceneImage::kBlockSize;

// A longer text leaves the image's cache before the scan comes back to it, so its blocks are read
// twice: they are guarded first and read through a second image, so that the scan's second read
// is compared with what goes out here. The scan's image may still hold, from before the guard, the
// blocks at the text's start: those bytes are compared with the guarded read directly.
Status WriteLongText(const SceneImage& image, const SteadySource& source, Pos at, Pos length,
                     const std::function<void(std::string_view)>& sink) {
  source.guard(static_cast<std::uint64_t>(at - 1), static_cast<std::uint64_t>(length));
  const SceneImage side(source);
  const Pos blockAfterStart = ((at - 1) / SceneImage::kBlockSize + 2) * SceneImage::kBlockSize;
  const Pos held = std::min(length, blockAfterStart + 1 - at);
  ByteString guarded;
  ByteString before;
  WriteText(side, at, held, [&](std::string_view piece) { guarded.append(piece); });
  WriteText(image, at, held, [&](std::string_view piece) { before.append(piece); });
  if (auto s = CheckedRead(side, CheckedRead(image, OkStatus())); !s) return s;
  if (guarded != before) {
    return MakeError(ErrorKind::ChangedOnDisk,
                     std::string(kChangedOnDiskMessage) + " (the script at position " +
                         std::to_string(at) +
                         " read differently the second time: another program wrote the file "
                         "while it was read)");
  }
  WriteText(side, at, length, sink);
  return CheckedRead(side, OkStatus());
}

}  // namespace

Status WriteScriptOverview(const SceneImage& image, const Catalogue& catalogue,
                           const std::function<void(std::string_view)>& sink) {
  // Every script is checked before the first piece goes out, so a damaged scene gives no text.
  std::vector<std::int32_t> lengths;
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    auto length = ScriptLengthAt(image, *row.scriptLengthPos);
    if (!length) return CheckedRead(image, Status(length.error()));
    lengths.push_back(*length);
  }
  std::size_t shown = 0;
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    const Pos at = *row.scriptLengthPos;
    // Read once more where the text is cut: on a large scene the block holding the length has
    // been read again from the file since, and another program may have rewritten it meanwhile.
    const auto length = image.int32At(at);
    if (image.readFailure()) return *image.readFailure();
    if (length != lengths[shown++]) {
      return MakeError(ErrorKind::ChangedOnDisk,
                       std::string(kChangedOnDiskMessage) + " (the script length at position " +
                           std::to_string(at) + " changed while the overview was written)");
    }
    WriteHeader(sink, row.name);
    WriteText(image, at + 4, *length, sink);
    if (image.readFailure()) return *image.readFailure();
  }
  return CheckedRead(image, OkStatus());
}

Result<ByteString> BuildScriptOverview(const SceneImage& image, const Catalogue& catalogue) {
  ByteString out;
  auto written =
      WriteScriptOverview(image, catalogue, [&out](std::string_view piece) { out.append(piece); });
  if (!written) return written.error();
  return out;
}

Result<Catalogue> ScanWithOverview(const SceneImage& image, const SteadySource& source,
                                   const std::function<void(std::string_view)>& sink) {
  CatalogueHooks hooks;
  hooks.rowFound = [&](const CatalogueRow& row) -> Status {
    if (!Shown(row)) return OkStatus();
    // The scan has read the length and found the text inside the file.
    const Pos at = *row.scriptLengthPos + 4;
    const Pos length = *row.scriptLength;
    WriteHeader(sink, row.name);
    if (length > kReadAhead) return WriteLongText(image, source, at, length, sink);
    WriteText(image, at, length, sink);
    return CheckedRead(image, OkStatus());
  };
  return ScanCatalogue(image, {}, hooks);
}

}  // namespace quorvex
