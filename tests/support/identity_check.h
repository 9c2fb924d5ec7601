#pragma once
// Checks that the fast scans give exactly the literal scans' results on a scene: the catalogue
// (with its sequence of progress calls), the object parameters for the catalogue's row names (with
// their yields and progress calls), the model listing (with its progress values) and the overview
// text. The literal scans read the scene's bytes in memory and, when asked, the scene file with one
// positioned read per window.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex::testing {

struct IdentityOptions {
  // Also run the literal scans through one system call per window on this file (it must hold
  // the same bytes). Slow: about a second per MiB.
  std::optional<std::filesystem::path> file;
  // Called as each of those file scans begins ("catalogue", "objects", "listing", "overview") and
  // once more with "" after the last, with the number of windows read from the file so far.
  using ScanObserver = std::function<void(std::string_view scan, std::uint64_t reads)>;
  ScanObserver onFileScan;
};

// Every difference found, one line each ("catalogue vs literal (memory): row 12: name"); empty
// when all results are identical.
std::vector<std::string> IdentityDifferences(const Bytes& scene,
                                             const IdentityOptions& options = {});

}  // namespace quorvex::testing
