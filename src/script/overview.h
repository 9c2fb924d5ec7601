#pragma once
// The script overview: every script of the scene under a header line, for the overview text box
// and its search.

#include <functional>
#include <string_view>

#include "scene/catalogue.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// The header line's fixed pieces.
inline constexpr const char* kOverviewStars = " ****************** ";
inline constexpr const char* kOverviewNameOpen = "   --  ";
inline constexpr const char* kOverviewNameClose = "  -- ";

// For each ticked row of `catalogue`, in row order: CR LF, CR LF, " ****************** ",
// "   --  ", the row's name, "  -- ", " ****************** ", CR LF, then the S script bytes, S
// being read again at the row's script length position. A scene without ticked rows gives an
// empty text. Damaged when a script length read there is negative or its text runs past the end
// of the file (the image is not the one the catalogue was built from).
Result<ByteString> BuildScriptOverview(const SceneImage& image, const Catalogue& catalogue);

// The same text handed to `sink` piece by piece (no copy of the whole text is held). Every script
// is checked first: on a damaged scene `sink` is never called.
Status WriteScriptOverview(const SceneImage& image, const Catalogue& catalogue,
                           const std::function<void(std::string_view)>& sink);

}  // namespace quorvex
