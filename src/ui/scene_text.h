#pragma once
// Scene texts (Windows-1252 bytes) and numbers as the window shows them.

#include <QString>
#include <optional>
#include <string_view>

#include "scene/scene_image.h"

namespace quorvex::ui {

// One character per byte.
QString FromSceneBytes(std::string_view bytes);

// A box's text as scene bytes (one byte per character in Windows-1252). A character the code page
// cannot hold becomes '?' and is reported, so that the checks can run before it is refused.
struct SceneText {
  ByteString bytes;
  std::optional<QString> unencodable;  // the first such character
};
SceneText ToSceneText(const QString& text);

// A single-precision value in the general text form: at most 7 significant digits, no leading
// blank, no thousands separator, an exponent only for very large or small magnitudes ("1E+07").
QString FormatSingle(float value);

}  // namespace quorvex::ui
