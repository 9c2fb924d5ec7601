// quorvex-cli check: the chunk tree of a scene walked by its lengths.

#include <iostream>

#include "cli/commands.h"
#include "scene/chunk_check.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"

namespace quorvex::cli {

int Check(const std::string& scene) {
  auto file = SceneFile::Open(PathFromUtf8(scene));
  if (!file) {
    std::cerr << "quorvex-cli: " << file.error().message << "\n";
    return kExitFailed;
  }
  const auto check = CheckChunks(SceneImage(**file));
  if (!check) {
    std::cerr << "quorvex-cli: " << check.error().message << "\n";
    return kExitFailed;
  }
  if (check->damage) {
    std::cout << FindingText(*check->damage) << "\n";
  } else {
    const auto& counts = check->counts;
    std::cout << "ok: " << counts.objects << " objects, " << counts.definitions << " definitions, "
              << counts.scripts << " scripts\n";
  }
  // A verdict that never reached its reader (a full disk, a closed pipe) is no success.
  if (!std::cout.flush()) {
    std::cerr << "quorvex-cli: cannot write to standard output\n";
    return kExitFailed;
  }
  return check->damage ? kExitFailed : kExitOk;
}

}  // namespace quorvex::cli
