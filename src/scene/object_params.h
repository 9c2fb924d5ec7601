#pragma once
// The object-parameter scan: walks the children of the objects section (0x4000) by their lengths
// and, for every scene object (0x4010) whose name equals a catalogue row's name (first row wins,
// exact byte comparison), records where its translation lies and what its translation, rotation,
// size and model file name are. A scene object's layout is ObjectValues' (scene/object_values.h);
// of its sub-chunks only the name's marker is tested.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "scene/object_values.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// The values of one matched object and where they were found.
struct ObjectParams : ObjectValues {
  int row = 0;                      // the catalogue row that received the values
  ByteString name;                  // the object's name (= the row text)
  Pos translationPos = 0;           // P: first translation value
  std::optional<ByteString> model;  // absent when the object gave none (the row keeps its old one)
};

struct ObjectScanHooks {
  // Called once per child of the objects section, before it is examined.
  std::function<void()> yield;
  // StepObjectProgress: called with the progress count for every matched object.
  std::function<void(int progressCount)> progress;
};

struct ObjectScanResult {
  std::vector<ObjectParams> matches;  // in the order found; a later match of a row overwrites
  bool sectionFound = false;          // a 00 40 pair was found
  // Set when the scan stopped early on a damaged object: the matches before it stand.
  std::optional<Error> error;
};

// `rowNames` are the texts of the catalogue rows, row 0 first. Fails with the image's read failure
// when a block of the file could not be read: the values found would have been read from zeros.
Result<ObjectScanResult> ScanObjectParameters(const SceneImage& image,
                                              const std::vector<ByteString>& rowNames,
                                              const ObjectScanHooks& hooks = {});

// Position of the first 00 40 pair at or after position 5, as every objects-section search does.
std::optional<Pos> FindObjectsSection(const SceneImage& image);

// The marker positions of the children of the objects section whose marker is at `section`,
// walked by their lengths from the first child on. A write into the section relies on them
// filling it exactly: Damaged, naming the position, when a child is shorter than its header or
// runs past the section's end, or when the section's length does not fit the file.
Result<std::vector<Pos>> ObjectsSectionChildren(const SceneImage& image, Pos section);

}  // namespace quorvex
