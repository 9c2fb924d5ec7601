#pragma once
// Rewriting an existing object's translation, rotation and size in place. The values lie at fixed
// distances from P, the position of the first translation value that the object-parameter scan
// recorded: translation X Y Z at P, +4, +8; rotation A B C D at +18, +22, +26, +30 (after the
// rotation chunk's 6 header bytes); size X Y Z at +40, +44, +48. The file keeps its length.
//
// Before writing, the object must still be where the scan found it: the file has the length the
// scan saw, the object's name chunk (marker 0x0010 at P - 13 - N, length N + 7) still holds its
// name, and B and D are still the values read (they are written back unchanged).

#include <cstdint>
#include <filesystem>
#include <span>

#include "scene/edit_plan.h"
#include "scene/object_params.h"
#include "scene/result.h"
#include "scene/scene_image.h"
#include "scene/scene_io.h"

namespace quorvex {

struct ModifyRequest {
  ByteString name;         // the object's name as the scan read it
  Pos translationPos = 0;  // P; 0 when the scan recorded no position for the row
  float translation[3] = {0, 0, 0};
  std::uint32_t rotation[4] = {0, 0, 0, 0};  // raw A, B, C, D; B and D exactly as read
  float size[3] = {0, 0, 0};
  Pos sceneLength = 0;  // the file length the scan saw
};

// A request that keeps everything the scan read (callers then change what the user edited).
ModifyRequest ModifyRequestFrom(const ObjectParams& params, Pos sceneLength);

// The ten 4-byte patches, checked against `current`. NoObject when no position is recorded,
// ChangedOnDisk when the object is no longer where the scan found it.
Result<EditPlan> PlanModify(const SceneImage& image, const ModifyRequest& request);

// Locks the scene at `path` and patches the values in place.
Result<WriteMode> ModifyObject(const std::filesystem::path& path, const ModifyRequest& request);

}  // namespace quorvex
