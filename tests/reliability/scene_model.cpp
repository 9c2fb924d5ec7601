#include "reliability/scene_model.h"

#include <algorithm>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "support/scene_builder.h"

namespace quorvex::reliability {
namespace {

// Script and name bytes: no 00, 20, 21, 40, 50, 51 or AE, so no marker pair can form inside a text
// or across its edges. High Windows-1252 letters are included on purpose.
const ByteString kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNORSTUVWXYZ0123456789_.,;:()[]=+-*/\r\n\t"
    "\xC0\xC9\xD6\xDC\xE0\xE9\xF6\xFC\xDF\xA9\x80\x9F";

std::uint32_t RandomFloatBits(std::mt19937_64& rng) {
  std::uniform_real_distribution<float> value(-5000.0f, 5000.0f);
  return FloatBits(value(rng));
}

template <class T>
const T& Pick(std::mt19937_64& rng, const std::vector<T>& items) {
  return items[rng() % items.size()];
}

}  // namespace

const ModelRow& SceneModel::row(std::size_t i) const {
  return i < definitionRows.size() ? definitionRows[i] : scriptRows[i - definitionRows.size()];
}

ModelRow& SceneModel::row(std::size_t i) {
  return i < definitionRows.size() ? definitionRows[i] : scriptRows[i - definitionRows.size()];
}

ByteString SafeText(std::mt19937_64& rng, std::size_t length) {
  ByteString text(length, 'x');
  for (auto& c : text) c = kAlphabet[rng() % kAlphabet.size()];
  return text;
}

ByteString FreshName(std::mt19937_64& rng, SceneModel& model) {
  // The counter keeps names unique regardless of case; the rest makes them varied.
  ByteString name = "n" + std::to_string(model.nameCounter++) + "_";
  name += SafeText(rng, rng() % 12);
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

Bytes GenerateScene(std::mt19937_64& rng, SceneModel& model) {
  using namespace quorvex::testing;
  model = SceneModel{};
  SceneSpec spec;
  spec.headerChunks = DefaultHeaderChunks();
  const std::vector<ByteString> models = {"Oskar.i3d", "xbarel 2.i3d", "crate01.i3d", "lamp"};

  const int objectCount = 3 + static_cast<int>(rng() % 30);
  for (int i = 0; i < objectCount; ++i) {
    SceneObject object;
    object.name = FreshName(rng, model);
    ModelObject mirror;
    mirror.name = object.name;
    object.translation[0] = BitsToFloat(mirror.translation[0] = RandomFloatBits(rng));
    object.translation[1] = BitsToFloat(mirror.translation[1] = RandomFloatBits(rng));
    object.translation[2] = BitsToFloat(mirror.translation[2] = RandomFloatBits(rng));
    object.rotationA = BitsToFloat(mirror.rotation[0] = RandomFloatBits(rng));
    object.rotationB = mirror.rotation[1] = static_cast<std::uint32_t>(rng());
    object.rotationC = BitsToFloat(mirror.rotation[2] = RandomFloatBits(rng));
    object.rotationD = mirror.rotation[3] = static_cast<std::uint32_t>(rng());
    object.size[0] = BitsToFloat(mirror.size[0] = RandomFloatBits(rng));
    object.size[1] = BitsToFloat(mirror.size[1] = RandomFloatBits(rng));
    object.size[2] = BitsToFloat(mirror.size[2] = RandomFloatBits(rng));
    if (rng() % 5 != 0) {
      object.model = Pick(rng, models);
      if (object.model->find(".i3d") != ByteString::npos) mirror.model = object.model;
    }
    spec.objects.push_back(object);
    model.objects.push_back(mirror);

    // Most objects have a definition; kinds 6 and 18 give no row.
    if (rng() % 4 == 0) continue;
    Definition def;
    def.name = object.name;
    const std::uint32_t kinds[] = {27, 27, 4, 35, 6, 18};
    def.kind = kinds[rng() % 6];
    if (rng() % 2 == 0) def.script = SafeText(rng, rng() % 300);
    spec.definitions.push_back(def);
    if (def.kind != 6 && def.kind != 18) {
      model.definitionRows.push_back(
          {def.name, false, def.script ? DefinitionScript(*def.script) : std::nullopt});
    }
  }
  // A definition without an object, so that the list always has a definition row first.
  Definition lone;
  lone.name = FreshName(rng, model);
  lone.script = "L" + SafeText(rng, rng() % 40);  // row 0 always has a script
  spec.definitions.insert(spec.definitions.begin(), lone);
  model.definitionRows.insert(model.definitionRows.begin(),
                              {lone.name, false, DefinitionScript(*lone.script)});

  const int scriptCount = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < scriptCount; ++i) {
    StandaloneScript script;
    script.name = FreshName(rng, model);
    script.text = rng() % 6 == 0 ? ByteString() : SafeText(rng, rng() % 600);
    spec.scripts.push_back(script);
    model.scriptRows.push_back({script.name, true, script.text});
  }
  Bytes trailer;
  AppendUint32(trailer, 7);
  spec.trailerChunks = {Chunk(0xAE40, trailer)};
  return BuildScene(spec);
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
  const auto objects = ScanObjectParameters(image, names);
  if (objects.error) return "the object scan failed: " + objects.error->message;
  std::size_t next = 0;
  for (const auto& object : model.objects) {
    const auto row = std::find(names.begin(), names.end(), object.name);
    if (row == names.end()) continue;  // no row of that name: the scan does not read it
    if (next >= objects.matches.size()) return "object " + object.name + " not matched";
    const auto& match = objects.matches[next++];
    const std::string where = "object " + object.name + ": ";
    if (match.name != object.name || match.row != row - names.begin()) return where + "row";
    for (int k = 0; k < 3; ++k) {
      if (FloatBits(match.translation[k]) != object.translation[k]) return where + "translation";
      if (FloatBits(match.size[k]) != object.size[k]) return where + "size";
    }
    for (int k = 0; k < 4; ++k) {
      if (match.rotation[k] != object.rotation[k]) return where + "rotation";
    }
    if (match.model != object.model) return where + "model";
  }
  if (next != objects.matches.size()) return "more objects matched than expected";
  return std::nullopt;
}

}  // namespace quorvex::reliability
