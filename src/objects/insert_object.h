#pragma once
// Inserting a new object into a scene.
//
// The object record goes to the end of the objects section (the first 00 40 pair from position 5
// on); the definition record goes to the end of the chunk that immediately follows the objects
// section, which must be the definition section 0xAE20. The objects section's length, the
// definition section's length and the root length at position 3 grow by the records' lengths;
// every byte after an insertion point moves on unchanged.
//
// Without a category only the object record is written. The category "others" writes the box
// chunk instead of a model and its built-in template.

#include <filesystem>
#include <optional>
#include <span>

#include "objects/categories.h"
#include "objects/records.h"
#include "scene/edit_plan.h"
#include "scene/result.h"
#include "scene/result_check.h"
#include "scene/scene_image.h"
#include "scene/scene_io.h"

namespace quorvex {

struct InsertRequest {
  ByteString name;   // Windows-1252 bytes, at least one
  ByteString model;  // ignored for "others"
  std::optional<Category> category;
  float translation[3] = {0, 0, 0};
  float size[3] = {0, 0, 0};
  float rotationA = 0.0f;  // CurrentRotationA
  float rotationC = 1.0f;  // CurrentRotationC
  // The file length the caller's scan saw; when given, a file of another length is refused as
  // changed on disk (the name check was made against that scan).
  std::optional<Pos> sceneLength;
};

// The object record's inputs for a request ("others" takes no model).
ObjectRecordInput ObjectRecordInputFor(const InsertRequest& request);

// The edits that insert the object into `image`, the file's present content. Refused when the
// scene has no objects section, when its lengths are inconsistent with the file, when a length
// would leave the 32-bit range, or (with a category) when the objects section is not followed by
// the definition section.
Result<EditPlan> PlanInsert(const SceneImage& image, const InsertRequest& request);

// What an insertion means to produce, for the check before it is written: the same rows as
// `before` (the current catalogue, or null to have it scanned) plus, with a category, the new
// definition row.
WriteIntent InsertIntent(const InsertRequest& request, const Catalogue* before);

// Locks the scene at `path`, plans against its current content, checks the result and writes the
// change safely.
Result<WriteMode> InsertObject(const std::filesystem::path& path, const InsertRequest& request,
                               platform::FileSystem& files = platform::RealFileSystem());

}  // namespace quorvex
