#include "script/overview.h"

#include <string>

namespace quorvex {

Result<ByteString> BuildScriptOverview(const SceneImage& image, const Catalogue& catalogue) {
  ByteString out;
  for (const auto& row : catalogue.rows) {
    if (!row.checked || !row.scriptLengthPos) continue;
    const Pos at = *row.scriptLengthPos;
    const auto length = image.int32At(at);
    // Damaged: the script length (read again here) lies outside the file, is negative, or the text
    // runs past the end of the file.
    if (!length || *length < 0 || !image.contains(at + 4, *length)) {
      return MakeError(ErrorKind::Damaged,
                       "The scene is damaged: the script whose length is at position " +
                           std::to_string(at) + " runs past the end of the file.");
    }
    out += "\r\n\r\n";
    out += kOverviewStars;
    out += kOverviewNameOpen;
    out += row.name;
    out += kOverviewNameClose;
    out += kOverviewStars;
    out += "\r\n";
    const auto text = image.view(at + 4, *length);
    out.append(reinterpret_cast<const char*>(text.data()), text.size());
  }
  return out;
}

}  // namespace quorvex
