#include "objects/modify_object.h"

#include <string>

#include "scene/markers.h"
#include "scene/write_checks.h"

namespace quorvex {

ModifyRequest ModifyRequestFrom(const ObjectParams& params, Pos sceneLength) {
  ModifyRequest request;
  request.name = params.name;
  request.translationPos = params.translationPos;
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = params.translation[i];
    request.size[i] = params.size[i];
  }
  for (int i = 0; i < 4; ++i) request.rotation[i] = params.rotation[i];
  request.sceneLength = sceneLength;
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
  const Pos nameChunk = p - 13 - n;
  const bool nameThere = image.markerAt(nameChunk, marker::kName) &&
                         image.int32At(nameChunk + 2) == n + 7 &&
                         image.bytesAt(nameChunk + 6, n) == request.name;
  if (!nameThere) {
    return ChangedOnDisk("the object's name is no longer at position " +
                         std::to_string(nameChunk + 6));
  }
  if (!image.contains(p, 52)) {
    return ChangedOnDisk("the object's values run past the end of the file");
  }
  if (image.uint32At(p + 22) != request.rotation[1] ||
      image.uint32At(p + 30) != request.rotation[3]) {
    return ChangedOnDisk("the object's rotation is no longer what was read");
  }

  EditPlan plan(static_cast<std::uint64_t>(image.length()));
  auto patchFloat = [&](Pos at, float value) { return plan.patchUint32(at, FloatBits(value)); };
  const Status steps[] = {
      patchFloat(p, request.translation[0]),         patchFloat(p + 4, request.translation[1]),
      patchFloat(p + 8, request.translation[2]),     plan.patchUint32(p + 18, request.rotation[0]),
      plan.patchUint32(p + 22, request.rotation[1]), plan.patchUint32(p + 26, request.rotation[2]),
      plan.patchUint32(p + 30, request.rotation[3]), patchFloat(p + 40, request.size[0]),
      patchFloat(p + 44, request.size[1]),           patchFloat(p + 48, request.size[2]),
  };
  for (const auto& s : steps) {
    if (!s) return s.error();
  }
  return plan;
}

Result<WriteMode> ModifyObject(const std::filesystem::path& path, const ModifyRequest& request) {
  return WriteScene(
      path, [&](const SceneImage& current) { return PlanModify(current, request); });
}

}  // namespace quorvex
