#pragma once
// The script overview: every script of the scene under a header line, for the overview text box
// and its search.

#include <functional>
#include <string_view>

#include "scene/catalogue.h"
#include "scene/result.h"
#include "scene/scene_image.h"
#include "scene/steady_source.h"

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

// The catalogue scan (default flags) and the overview text in one pass over the file, for a
// scene too large to read twice at no cost: each ticked row's block goes to `sink` as soon as the
// scan has found the row, its text taken from the blocks the scan reads anyway. `image` must read
// `source`, which must be in GuardedBlocks mode: a text longer than the image's cache holds ahead
// of the scan is guarded there, so that the scan's second read of it is compared with the text
// handed out (ChangedOnDisk when another program wrote it in between). The pieces go out before
// the scan ends: when it fails (a damaged chunk further on, too many rows) the rows before have
// been handed out already, and the caller decides what to do with them.
Result<Catalogue> ScanWithOverview(const SceneImage& image, const SteadySource& source,
                                   const std::function<void(std::string_view)>& sink);

}  // namespace quorvex
