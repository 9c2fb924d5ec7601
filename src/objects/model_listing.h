#pragma once
// The model listing of the model browser (ListSceneModels): every ".i3d" in the scene's
// bytes, with the name that ends in it, in file order, duplicates kept.
//
// Every "." followed by "i3d" ends a name, which starts after the nearest byte before it that is
// no name byte. Here ".i3d" is found with a fast substring search over the image's runs (a block
// of the file at a time, or all of it when it lies in memory); the
// names found, and the progress values reported, are exactly those of stepping one byte at a time.

#include <functional>
#include <vector>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// One listed name: the bytes at start .. start + length - 1 (1-based), ending in ".i3d". Kept as
// positions, not copies: names may overlap (".i3d" inside a longer name run is listed again with
// everything before it), and the caller copies only what it shows.
struct ModelName {
  Pos start = 1;
  Pos length = 0;
};

struct ModelListingHooks {
  // The values of ProgressBar2: 1 at the start, then k + 1 whenever the position p passes k * step
  // (step = file length / 100), exactly as per-byte stepping produces them; up to 100 for files
  // of 100 bytes or more (tiny files give larger values, as the per-byte arithmetic does).
  std::function<void(int value)> progress;
  // Called regularly (about every 256 KiB of the file) so that the window can service its events.
  std::function<void()> yield;
  // Called with each name as it is found, while its bytes are still at hand in the image's
  // current block: a caller that only passes the names on reads them from there (image.run or
  // forEachRun) instead of reading the file a second time afterwards.
  std::function<void(const ModelName& name)> found;
};

// Name bytes: every byte except those below 20, above 126, 22 and 34 (decimal; 34 is the double
// quote). So blanks and the control bytes 20, 21, 23 .. 31 belong to names.
constexpr bool IsModelNameByte(std::uint8_t b) {
  return !(b < 20 || b > 126 || b == 22 || b == 34);
}

// The longest model name: the longest path a Windows program of the game's era could open. A
// longer run of name bytes before ".i3d" is not a model name (and walking back over a run of
// megabytes for every ".i3d" in it would make the listing's output grow without bound).
inline constexpr Pos kMaxModelNameLength = 260;

// The listing. A "." among the last three bytes of the file does not match (nothing is read past
// the end); a walk back over name bytes that reaches position 1 starts the name at position 1.
// Fails with the image's read failure when a block of the file could not be read (another program
// made it shorter meanwhile): a list of what was read before would look complete.
Result<std::vector<ModelName>> ListSceneModels(const SceneImage& image,
                                               const ModelListingHooks& hooks = {});

// The bytes of a listed name, read again; fails with the image's read failure (another program
// made the file shorter since the listing).
Result<ByteString> ModelNameText(const SceneImage& image, const ModelName& name);

}  // namespace quorvex
