#include "script/overview.h"

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
    sink("\r\n\r\n");
    sink(kOverviewStars);
    sink(kOverviewNameOpen);
    sink(row.name);
    sink(kOverviewNameClose);
    sink(kOverviewStars);
    sink("\r\n");
    image.forEachRun(at + 4, *length, [&](std::span<const std::uint8_t> text) {
      sink(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    });
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

}  // namespace quorvex
