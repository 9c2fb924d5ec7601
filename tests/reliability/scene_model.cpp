#include "reliability/scene_model.h"

#include <algorithm>
#include <stdexcept>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "support/scene_generator.h"

namespace quorvex::reliability {

const ModelRow& SceneModel::row(std::size_t i) const {
  return i < definitionRows.size() ? definitionRows[i] : scriptRows[i - definitionRows.size()];
}

ModelRow& SceneModel::row(std::size_t i) {
  return i < definitionRows.size() ? definitionRows[i] : scriptRows[i - definitionRows.size()];
}

ByteString FreshName(testing::Random& rng, SceneModel& model) {
  // The counter keeps names unique regardless of case; the rest makes them varied.
  ByteString name = "n" + std::to_string(model.nameCounter++) + "_";
  name += testing::MarkerFreeText(rng, rng() % 12);
  std::replace(name.begin(), name.end(), '\r', 'r');
  std::replace(name.begin(), name.end(), '\n', 'n');
  return name;
}

std::optional<ByteString> TemplateScript(Category category) {
  switch (category) {
    case Category::Female:
    case Category::Male:
    case Category::Policeman:
      return ByteString(16, '/');
    case Category::Others:
      return ByteString(10, '/');
    default:
      return std::nullopt;  // the car and thing parameters hold no script pattern
  }
}

std::optional<ByteString> DefinitionScript(const ByteString& text) {
  if (!text.empty() && static_cast<std::uint8_t>(text[0]) < 0x0A) return std::nullopt;
  return text;
}

SceneModel ModelOf(const testing::SceneSpec& spec) {
  SceneModel model;
  const testing::Definition plain;
  for (const auto& definition : spec.definitions) {
    if (definition.rawParams || definition.paramsPrefix != plain.paramsPrefix) {
      throw std::invalid_argument("definition parameters the model cannot follow");
    }
    const auto kind = static_cast<std::uint8_t>(definition.kind);  // the byte the scan reads
    if (kind == 6 || kind == 18) continue;
    model.definitionRows.push_back(
        {definition.name, false,
         definition.script ? DefinitionScript(*definition.script) : std::nullopt});
  }
  for (const auto& script : spec.scripts)
    model.scriptRows.push_back({script.name, true, script.text});
  for (const auto& object : spec.objects) {
    ModelObject mirror;
    mirror.name = object.name;
    auto& v = mirror.values;
    std::copy(std::begin(object.translation), std::end(object.translation), v.translation);
    std::copy(std::begin(object.size), std::end(object.size), v.size);
    v.rotation[0] = FloatBits(object.rotationA);
    v.rotation[1] = object.rotationB;
    v.rotation[2] = FloatBits(object.rotationC);
    v.rotation[3] = object.rotationD;
    // The scan takes a model only from an object whose further chunks hold ".i3d".
    if (object.model && object.model->find(".i3d") != ByteString::npos) mirror.model = object.model;
    model.objects.push_back(mirror);
  }
  return model;
}

std::optional<std::string> CompareWithModel(const Bytes& scene, const SceneModel& model) {
  const SceneImage image(scene);
  if (image.int32At(3) != image.length()) return "root length differs from the file length";
  const auto catalogue = ScanCatalogue(image);
  if (!catalogue) return "the catalogue scan failed: " + catalogue.error().message;
  if (catalogue->rows.size() != model.rowCount()) {
    return "rows: " + std::to_string(catalogue->rows.size()) + " found, " +
           std::to_string(model.rowCount()) + " expected";
  }
  const int firstStandalone =
      model.scriptRows.empty() ? 0 : static_cast<int>(model.definitionRows.size());
  if (catalogue->firstStandaloneScriptRow != firstStandalone) return "first standalone row";
  for (std::size_t i = 0; i < catalogue->rows.size(); ++i) {
    const auto& found = catalogue->rows[i];
    const auto& expected = model.row(i);
    const std::string where = "row " + std::to_string(i) + " (" + expected.name + "): ";
    if (found.name != expected.name) return where + "name " + found.name;
    if (found.standalone != expected.standalone) return where + "kind";
    if (found.scriptLengthPos.has_value() != expected.script.has_value()) {
      return where + (expected.script ? "script expected, none found" : "a script found") +
             " (entry at " + std::to_string(found.entryLengthPos) + ")";
    }
    if (expected.script) {
      if (image.bytesAt(*found.scriptLengthPos + 4, *found.scriptLength) != *expected.script) {
        return where + "script text";
      }
      if (found.checked != !expected.script->empty()) return where + "tick";
    }
  }

  std::vector<ByteString> names;
  for (const auto& row : catalogue->rows) names.push_back(row.name);
  const auto scanned = ScanObjectParameters(image, names);
  if (!scanned) return "the object scan failed: " + scanned.error().message;
  const ObjectScanResult& objects = *scanned;
  if (objects.error) return "the object scan failed: " + objects.error->message;
  std::size_t next = 0;
  for (const auto& object : model.objects) {
    const auto row = std::find(names.begin(), names.end(), object.name);
    if (row == names.end()) continue;  // no row of that name: the scan does not read it
    if (next >= objects.matches.size()) return "object " + object.name + " not matched";
    const auto& match = objects.matches[next++];
    const std::string where = "object " + object.name + ": ";
    if (match.name != object.name || match.row != row - names.begin()) return where + "row";
    if (match.bits() != object.values.bits()) return where + "translation, rotation or size";
    if (match.model != object.model) return where + "model";
  }
  if (next != objects.matches.size()) return "more objects matched than expected";
  return std::nullopt;
}

}  // namespace quorvex::reliability
