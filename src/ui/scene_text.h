#pragma once
// Scene texts (Windows-1252 bytes) and numbers as the window shows them.

#include <QString>
#include <string_view>

#include "scene/scene_image.h"

namespace quorvex::ui {

// One character per byte.
QString FromSceneBytes(std::string_view bytes);

// A single-precision value in the general text form: at most 7 significant digits, no leading
// blank, no thousands separator, an exponent only for very large or small magnitudes ("1E+07").
QString FormatSingle(float value);

}  // namespace quorvex::ui
