#pragma once
// The object-parameter scan: walks the children of the objects section (0x4000) by their lengths
// and, for every scene object (0x4010) whose name equals a catalogue row's name (first row wins,
// exact byte comparison), records where its translation lies and what its translation, rotation,
// size and model file name are.
//
// Layout of a scene object, offsets from its marker M (N = name length):
//   16: name sub-chunk 0x0010 (its marker is tested), 23 + N: translation (6 header bytes + X Y Z),
//   41 + N: rotation (6 + A B C D), 63 + N: size (6 + X Y Z), 81 + N: further sub-chunks, among
//   them the model 0x2012. The translation therefore starts at P = M + 29 + N.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

struct ObjectParams {
  int row = 0;                      // the catalogue row that received the values
  ByteString name;                  // the object's name (= the row text)
  Pos translationPos = 0;           // P: first translation value
  float translation[3] = {};        // at P, P + 4, P + 8
  std::uint32_t rotation[4] = {};   // raw bits of A, B, C, D at P + 18, + 22, + 26, + 30
  float size[3] = {};               // at P + 40, P + 44, P + 48
  std::optional<ByteString> model;  // absent when the object gave none (the row keeps its old one)

  float rotationA() const;
  float rotationC() const;
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
