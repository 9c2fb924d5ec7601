#include "objects/insert_object.h"

#include <limits>
#include <string>

#include "objects/records.h"
#include "objects/templates.h"
#include "scene/markers.h"
#include "scene/object_params.h"
#include "scene/write_checks.h"

namespace quorvex {
namespace {

Error Refused(const std::string& why) {
  return MakeError(ErrorKind::Refused, why + " Nothing was written.");
}

// The template bytes of a category: embedded, or built in for "others".
Result<Bytes> TemplateBytes(Category category) {
  const auto& info = InfoOf(category);
  if (!info.templateName) return OthersTemplate();
  const auto found = FindTemplate(*info.templateName);
  if (!found) {
    return MakeError(ErrorKind::Refused, "The object template \"" +
                                             std::string(*info.templateName) +
                                             "\" is missing. Nothing was written.");
  }
  const auto bytes = found->bytes();
  return Bytes(bytes.begin(), bytes.end());
}

// A section whose length field is at lengthPos: its length, when it is at least a header long and
// the section ends inside the file.
Result<std::int32_t> SectionLength(const SceneImage& image, Pos lengthPos,
                                   const std::string& what) {
  const auto length = image.int32At(lengthPos);
  if (!length || *length < marker::kHeaderSize || lengthPos - 2 + *length - 1 > image.length()) {
    return Refused("The " + what + " at position " + std::to_string(lengthPos - 2) +
                   " has a length that does not fit the file; the scene looks damaged.");
  }
  return *length;
}

}  // namespace

ObjectRecordInput ObjectRecordInputFor(const InsertRequest& request) {
  const bool others = request.category == Category::Others;
  ObjectRecordInput record;
  record.name = request.name;
  record.model = others ? ByteString() : request.model;  // "others" has a box, not a model
  for (int i = 0; i < 3; ++i) {
    record.translation[i] = request.translation[i];
    record.size[i] = request.size[i];
  }
  record.rotation[0] = FloatBits(request.rotationA);
  record.rotation[2] = FloatBits(request.rotationC);
  record.others = others;
  return record;
}

Result<EditPlan> PlanInsert(const SceneImage& image, const InsertRequest& request) {
  if (request.sceneLength) {
    if (auto s = CheckSceneLength(image, *request.sceneLength); !s) return s.error();
  }
  if (request.name.empty()) return MakeError(ErrorKind::Invalid, "Put Name");

  const auto objectsMarker = FindObjectsSection(image);
  if (!objectsMarker) {
    return Refused(
        "The scene has no objects section (chunk 0x4000), so there is no place for a "
        "new object.");
  }
  if (auto s = CheckRootLength(image); !s) return s.error();

  const Pos p = *objectsMarker;
  auto objectsLength = SectionLength(image, p + 2, "objects section");
  if (!objectsLength) return objectsLength.error();
  // The new object goes behind the section's last child: the children must end exactly where the
  // section does, or it would land inside one of them.
  if (auto children = ObjectsSectionChildren(image, p); !children) return children.error();
  const Pos objectsEnd = p + *objectsLength;  // E: first position after the section

  const bool others = request.category == Category::Others;
  const auto n = static_cast<std::int64_t>(request.name.size());
  const auto m = others ? 0 : static_cast<std::int64_t>(request.model.size());
  const std::int64_t objectLength = ObjectRecordLength(n, m, others);

  std::optional<Bytes> definition;
  std::int64_t definitionLength = 0;
  if (request.category) {
    auto objectTemplate = TemplateBytes(*request.category);
    if (!objectTemplate) return objectTemplate.error();
    definitionLength = DefinitionRecordLength(n, static_cast<std::int64_t>(objectTemplate->size()));
    if (definitionLength > std::numeric_limits<std::int32_t>::max()) {
      return Refused("The name is too long for a definition record.");
    }
    definition = BuildDefinitionRecord(request.name, *objectTemplate);
  }
  if (objectLength > std::numeric_limits<std::int32_t>::max()) {
    return Refused("The name and model are too long for an object record.");
  }

  EditPlan plan(static_cast<std::uint64_t>(image.length()));
  auto adjusted = AdjustedLength(*objectsLength, objectLength, "objects section length");
  if (!adjusted) return adjusted.error();
  if (auto s = plan.patchInt32(p + 2, *adjusted); !s) return s.error();
  auto root = AdjustedLength(image.length(), objectLength + definitionLength, "root length");
  if (!root) return root.error();
  if (auto s = plan.patchInt32(3, *root); !s) return s.error();

  if (auto s = plan.insertAt(objectsEnd, BuildObjectRecord(ObjectRecordInputFor(request))); !s) {
    return s.error();
  }

  if (definition) {
    // The definition goes to the end of the chunk right after the objects section. Anything but
    // the definition section there would receive a definition it cannot hold.
    if (!image.markerAt(objectsEnd, marker::kDefinitionSection)) {
      return Refused(
          "The objects section is not followed by the definition section (chunk "
          "0xAE20), so the object's definition has no place.");
    }
    auto defLength = SectionLength(image, objectsEnd + 2, "definition section");
    if (!defLength) return defLength.error();
    auto grown = AdjustedLength(*defLength, definitionLength, "definition section length");
    if (!grown) return grown.error();
    if (auto s = plan.patchInt32(objectsEnd + 2, *grown); !s) return s.error();
    if (auto s = plan.insertAt(objectsEnd + *defLength, std::move(*definition)); !s) {
      return s.error();
    }
  }
  return plan;
}

WriteIntent InsertIntent(const InsertRequest& request, const Catalogue* before) {
  WriteIntent intent;
  intent.before = before;
  if (request.category) intent.newDefinitionRow = request.name;
  return intent;
}

Result<WriteMode> InsertObject(const std::filesystem::path& path, const InsertRequest& request,
                               platform::FileSystem& files) {
  return WriteScene(
      files, path, [&](const SceneImage& current) { return PlanInsert(current, request); },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckPlannedResult(current, plan, result, InsertIntent(request, nullptr));
      });
}

}  // namespace quorvex
