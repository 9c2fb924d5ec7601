#pragma once
// Checks that the fast scans give exactly the literal scans' results on a scene: the catalogue
// (with its sequence of progress calls), the object parameters for the catalogue's row names (with
// their yields and progress calls), the model listing (with its progress values) and the overview
// text. The literal scans read the scene's bytes in memory and, when asked, the scene file with one
// positioned read per window.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex::testing {

// Seconds of CPU time (user and system) the literal scans took through one system call per window,
// and how many windows the catalogue scan and the model listing read.
struct LiteralFileTimings {
  double catalogue = 0, objects = 0, listing = 0, overview = 0;
  std::uint64_t catalogueReads = 0, listingReads = 0;
};

struct IdentityOptions {
  // Also run the literal scans through one system call per window on this file (it must hold
  // the same bytes). Slow: about a second per MiB.
  std::optional<std::filesystem::path> file;
  // Receives the times of those file scans.
  LiteralFileTimings* timings = nullptr;
};

// Every difference found, one line each ("catalogue vs literal (memory): row 12: name"); empty
// when all results are identical.
std::vector<std::string> IdentityDifferences(const Bytes& scene,
                                             const IdentityOptions& options = {});

}  // namespace quorvex::testing
