#include "objects/modify_object.h"

#include <algorithm>
#include <string>

#include "scene/markers.h"
#include "scene/result_check.h"
#include "scene/write_checks.h"

namespace quorvex {

namespace {

// The ten values in file order: translation X Y Z, rotation A B C D (raw), size X Y Z.
ObjectValues ValuesFrom(const float (&translation)[3], const std::uint32_t (&rotation)[4],
                        const float (&size)[3]) {
  return {FloatBits(translation[0]),
          FloatBits(translation[1]),
          FloatBits(translation[2]),
          rotation[0],
          rotation[1],
          rotation[2],
          rotation[3],
          FloatBits(size[0]),
          FloatBits(size[1]),
          FloatBits(size[2])};
}

ObjectValues RequestedValues(const ModifyRequest& request) {
  return ValuesFrom(request.translation, request.rotation, request.size);
}

// The offsets of the ten values from P.
constexpr Pos kValueOffsets[10] = {0, 4, 8, 18, 22, 26, 30, 40, 44, 48};

}  // namespace

ObjectValues ValuesOf(const ObjectParams& params) {
  return ValuesFrom(params.translation, params.rotation, params.size);
}

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
  request.loaded = ValuesOf(params);
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
  // The values go into an object of the objects section, never elsewhere.
  const auto section = FindObjectsSection(image);
  if (!section || *section >= nameChunk) {
    return ChangedOnDisk("the object no longer lies in the objects section");
  }
  auto children = ObjectsSectionChildren(image, *section);
  if (!children) return children.error();
  const Pos object = nameChunk - 16;
  if (!std::binary_search(children->begin(), children->end(), object)) {
    return ChangedOnDisk("the object is no longer an entry of the objects section at position " +
                         std::to_string(object));
  }
  if (image.uint32At(p + 22) != request.rotation[1] ||
      image.uint32At(p + 30) != request.rotation[3]) {
    return ChangedOnDisk("the object's rotation is no longer what was read");
  }
  if (request.loaded) {
    for (std::size_t i = 0; i < 10; ++i) {
      if (image.uint32At(p + kValueOffsets[i]) != (*request.loaded)[i]) {
        return ChangedOnDisk(
            "another program has changed the object's values since they were "
            "loaded");
      }
    }
  }

  EditPlan plan(static_cast<std::uint64_t>(image.length()));
  const ObjectValues values = RequestedValues(request);
  for (std::size_t i = 0; i < 10; ++i) {
    if (auto s = plan.patchUint32(p + kValueOffsets[i], values[i]); !s) return s.error();
  }
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
    found = found || (match.translationPos == request.translationPos &&
                      ValuesOf(match) == RequestedValues(request));
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
