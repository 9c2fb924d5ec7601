#pragma once
// Tests and benchmarks compare whole files: the scene's bytes read through SceneFile (so the same
// refusals apply: no file, held by a writer, not a regular file, too large).

#include <filesystem>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

Result<Bytes> LoadScene(const std::filesystem::path& path);

}  // namespace quorvex
