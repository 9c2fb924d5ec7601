#pragma once
// Rewriting an existing object's translation, rotation and size in place, at P, the position of
// the first translation value that the object-parameter scan recorded (the values' layout is
// ObjectValues'). The file keeps its length.
//
// Before writing, the object must still be where the scan found it: the file has the length the
// scan saw, the objects section's children still fill it exactly and the object is one of them,
// the object's name chunk still holds its name, and B and D are still the values read (they are
// written back unchanged). When the caller gives the ten values it loaded, all ten must still be
// stored: another program's change to the object is never overwritten.

#include <filesystem>
#include <optional>
#include <span>

#include "scene/catalogue.h"
#include "scene/edit_plan.h"
#include "scene/object_params.h"
#include "scene/object_values.h"
#include "scene/result.h"
#include "scene/scene_image.h"
#include "scene/scene_io.h"

namespace quorvex {

// The values to store (B and D exactly as read) and the object they go to.
struct ModifyRequest : ObjectValues {
  ByteString name;         // the object's name as the scan read it
  Pos translationPos = 0;  // P; 0 when the scan recorded no position for the row
  Pos sceneLength = 0;     // the file length the scan saw
  // The values as they were loaded (before the user changed them); when given, the write refuses
  // should the file hold other values now.
  std::optional<ObjectValues> loaded;
};

// A request that keeps everything the scan read, those values also as the loaded ones (callers
// then change what the user edited).
ModifyRequest ModifyRequestFrom(const ObjectParams& params, Pos sceneLength);

// The ten 4-byte patches, checked against `current`. NoObject when no position is recorded,
// ChangedOnDisk when the object is no longer where the scan found it.
Result<EditPlan> PlanModify(const SceneImage& image, const ModifyRequest& request);

// The check before the values are written: the scene lists the same rows (a value's bytes never
// make the catalogue scan see a marker) and the object-parameter scan of the result reads the new
// values where the old ones were. `before` is the current catalogue, or null to have it scanned.
Status CheckModifiedResult(const SceneImage& current, const EditPlan& plan,
                           const SceneImage& result, const ModifyRequest& request,
                           const Catalogue* before);

// Locks the scene at `path`, checks the result and patches the values in place (or, when they
// straddle a page boundary, writes the scene anew), through `files`.
Result<WriteMode> ModifyObject(const std::filesystem::path& path, const ModifyRequest& request,
                               platform::FileSystem& files = platform::RealFileSystem());

}  // namespace quorvex
