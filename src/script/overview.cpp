#include "script/overview.h"

#include <string>

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
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    if (auto length = ScriptLengthAt(image, *row.scriptLengthPos); !length) {
      return CheckedRead(image, Status(length.error()));
    }
  }
  for (const auto& row : catalogue.rows) {
    if (!Shown(row)) continue;
    const Pos at = *row.scriptLengthPos;
    sink("\r\n\r\n");
    sink(kOverviewStars);
    sink(kOverviewNameOpen);
    sink(row.name);
    sink(kOverviewNameClose);
    sink(kOverviewStars);
    sink("\r\n");
    image.forEachRun(at + 4, *ScriptLengthAt(image, at), [&](std::span<const std::uint8_t> text) {
      sink(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    });
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
