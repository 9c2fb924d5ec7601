#pragma once
// The seed corpus of the fuzz targets: the edge-case scenes of the test tools' generator
// (well-formed scenes, the quirk cases of the scans, damaged lengths and truncations), each also
// with a few suffixes of control bytes for the write targets, which read their choices from the
// end.

#include <string>
#include <utility>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex::fuzz {

struct Seed {
  std::string name;
  Bytes bytes;
};

std::vector<Seed> SeedCorpus();

}  // namespace quorvex::fuzz
