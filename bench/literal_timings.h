#pragma once
// The literal scans timed through one system call per window: the "literal file reads" figures
// that the fast scans are measured against, taken while the identity check runs them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex::bench {

// Seconds of CPU time (user and system) the literal scans took through one system call per window,
// and how many windows the catalogue scan and the model listing read.
struct LiteralFileTimings {
  double catalogue = 0, objects = 0, listing = 0, overview = 0;
  std::uint64_t catalogueReads = 0, listingReads = 0;
};

// The identity check of `scene` (testing::IdentityDifferences) with the literal scans also run on
// `file`, which holds the same bytes, timed into `timings`.
std::vector<std::string> TimedIdentityDifferences(const Bytes& scene,
                                                  const std::filesystem::path& file,
                                                  LiteralFileTimings& timings);

}  // namespace quorvex::bench
