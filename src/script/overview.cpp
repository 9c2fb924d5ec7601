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

// The script lengths of the shown rows, each checked.
Result<std::vector<std::int32_t>> ShownLengths(const SceneImage& image,
                                               const Catalogue& catalogue) {
  std::vector<std::int32_t> lengths;
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    auto length = ScriptLengthAt(image, *row.scriptLengthPos);
    if (!length) return length.error();
    lengths.push_back(*length);
  }
  return lengths;
}

// One row's header line and script. The length is read once more where the text is cut: on a
// large scene the block holding it has been read again from the file since, and another program
// may have rewritten it meanwhile.
Status WriteScript(const SceneImage& image, const CatalogueRow& row, std::int32_t checkedLength,
                   const std::function<void(std::string_view)>& sink) {
  const Pos at = *row.scriptLengthPos;
  if (image.int32At(at) != checkedLength) {
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
  image.forEachRun(at + 4, checkedLength, [&](std::span<const std::uint8_t> text) {
    sink(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  });
  return OkStatus();
}

}  // namespace

Status WriteScriptOverview(const SceneImage& image, const Catalogue& catalogue,
                           const std::function<void(std::string_view)>& sink) {
  // Every script is checked before the first piece goes out, so a damaged scene gives no text.
  // A failed read is reported for each step, instead of what the step made of the zeros: the text
  // stops at the script where it happened.
  const auto lengths = CheckedRead(image, ShownLengths(image, catalogue));
  if (!lengths) return lengths.error();
  std::size_t shown = 0;
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    if (auto s = CheckedRead(image, WriteScript(image, row, (*lengths)[shown++], sink)); !s) {
      return s;
    }
  }
  return OkStatus();
}

Result<ByteString> BuildScriptOverview(const SceneImage& image, const Catalogue& catalogue) {
  ByteString out;
  auto written =
      WriteScriptOverview(image, catalogue, [&out](std::string_view piece) { out.append(piece); });
  if (!written) return written.error();
  return out;
}

}  // namespace quorvex
