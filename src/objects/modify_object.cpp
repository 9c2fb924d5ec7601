#include "objects/modify_object.h"

#include <algorithm>
#include <string>

#include "scene/markers.h"
#include "scene/result_check.h"
#include "scene/write_checks.h"

namespace quorvex {

ModifyRequest ModifyRequestFrom(const ObjectParams& params, Pos sceneLength) {
  ModifyRequest request;
  static_cast<ObjectValues&>(request) = static_cast<const ObjectValues&>(params);
  request.name = params.name;
  request.translationPos = params.translationPos;
  request.sceneLength = sceneLength;
  request.loaded = static_cast<const ObjectValues&>(params);
  return request;
}

Result<EditPlan> PlanModify(const SceneImage& image, const ModifyRequest& request) {
  if (request.translationPos <= 0) {
    return MakeError(ErrorKind::NoObject,
                     "No object position was recorded for this row in the current scene. Nothing "
                     "was written.");
  }
  if (auto s = CheckSceneLength(image, request.sceneLength); !s) return s.error();

  const Pos p = request.translationPos;
  const auto n = static_cast<Pos>(request.name.size());
  const Pos object = ObjectMarkerPos(p, n);
  const Pos nameChunk = object + kObjectNameChunk;
  const bool nameThere = image.markerAt(nameChunk, marker::kName) &&
                         image.int32At(nameChunk + 2) == n + 7 &&
                         image.bytesAt(nameChunk + marker::kHeaderSize, n) == request.name;
  if (!nameThere) {
    return ChangedOnDisk("the object's name is no longer at position " +
                         std::to_string(nameChunk + marker::kHeaderSize));
  }
  const auto stored = ObjectValues::Load(image, p);
  if (!stored) {
    return ChangedOnDisk("the object's values run past the end of the file");
  }
  // The values go into an object of the objects section, never elsewhere.
  const auto section = FindObjectsSection(image);
  if (!section || *section >= nameChunk) {
    return ChangedOnDisk("the object no longer lies in the objects section");
  }
  auto children = ObjectsSectionChildren(image, *section);
  if (!children) return children.error();
  if (!std::binary_search(children->begin(), children->end(), object)) {
    return ChangedOnDisk("the object is no longer an entry of the objects section at position " +
                         std::to_string(object));
  }
  if (stored->rotation[1] != request.rotation[1] || stored->rotation[3] != request.rotation[3]) {
    return ChangedOnDisk("the object's rotation is no longer what was read");
  }
  if (request.loaded && stored->bits() != request.loaded->bits()) {
    return ChangedOnDisk(
        "another program has changed the object's values since they were "
        "loaded");
  }

  EditPlan plan(static_cast<std::uint64_t>(image.length()));
  if (auto s = request.save(plan, p); !s) return s.error();
  return plan;
}

Status CheckModifiedResult(const SceneImage& current, const EditPlan& plan,
                           const SceneImage& result, const ModifyRequest& request,
                           const Catalogue* before) {
  WriteIntent intent;
  intent.before = before;
  if (auto s = CheckPlannedResult(current, plan, result, intent); !s) return s;
  const auto scan = ScanObjectParameters(result, {request.name});
  if (!scan) return scan.error();
  bool found = false;
  for (const auto& match : scan->matches) {
    found =
        found || (match.translationPos == request.translationPos && match.bits() == request.bits());
  }
  if (found) return OkStatus();
  return CheckedRead(result, Status(MakeError(ErrorKind::WouldMisread,
                                              "After this change the object's values would not "
                                              "read back as the new ones. Nothing was written.")));
}

Result<WriteMode> ModifyObject(const std::filesystem::path& path, const ModifyRequest& request,
                               platform::FileSystem& files) {
  return WriteScene(
      files, path, [&](const SceneImage& current) { return PlanModify(current, request); },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckModifiedResult(current, plan, result, request, nullptr);
      });
}

}  // namespace quorvex
