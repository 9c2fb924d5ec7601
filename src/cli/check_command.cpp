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
    return kExitFailed;
  }
  const auto& counts = check->counts;
  std::cout << "ok: " << counts.objects << " objects, " << counts.definitions << " definitions, "
            << counts.scripts << " scripts\n";
  return kExitOk;
}

}  // namespace quorvex::cli
