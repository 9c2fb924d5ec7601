#pragma once
// A plain model of what a scene must hold, independent of how the bytes are laid out: the script
// list in file order (name, kind and script text of every row) and the scene objects in file order
// (name and parameters). The soak test builds it from the GeneratorSpec of a generated marker-free
// scene, mirrors every edit here and compares the real file with it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "objects/categories.h"
#include "scene/object_values.h"
#include "scene/scene_image.h"
#include "support/random.h"
#include "support/scene_builder.h"

namespace quorvex::reliability {

struct ModelRow {
  ByteString name;
  bool standalone = false;
  std::optional<ByteString> script;  // absent: the row has no script position
};

struct ModelObject {
  ByteString name;
  ObjectValues values;              // compared bit for bit
  std::optional<ByteString> model;  // absent when the scan cannot take one from the object
};

struct SceneModel {
  std::vector<ModelRow> definitionRows;  // rows of the definition section, in file order
  std::vector<ModelRow> scriptRows;      // rows of the script section, in file order
  std::vector<ModelObject> objects;      // objects of the objects section, in file order
  int nameCounter = 0;                   // for fresh, unique names

  // Row i of the catalogue.
  const ModelRow& row(std::size_t i) const;
  ModelRow& row(std::size_t i);
  std::size_t rowCount() const { return definitionRows.size() + scriptRows.size(); }
};

// The model of the scene BuildScene(spec) makes, for a spec the generator made with marker-free
// content: names unique regardless of letter case, texts that hold no marker pair, definition
// parameters as the builder writes them (throws std::invalid_argument otherwise).
SceneModel ModelOf(const testing::SceneSpec& spec);

// A fresh name no row or object has, regardless of letter case (the generator's names start with
// "g", these with "n").
ByteString FreshName(testing::Random& rng, SceneModel& model);

// The script a new object's definition row shows for a category: the counted text inside its
// template, or none.
std::optional<ByteString> TemplateScript(Category category);

// What the catalogue shows for a definition whose script is `text`: the script scan ignores a
// script pattern followed by a byte below 0x0A, so a text that starts with a tab leaves the row
// without a script (the text itself is in the file as written).
std::optional<ByteString> DefinitionScript(const ByteString& text);

// The first difference between the scene bytes, scanned as the window scans a freshly loaded file,
// and the model; nothing when they agree exactly. Also checks root length = file length.
std::optional<std::string> CompareWithModel(const Bytes& scene, const SceneModel& model);

}  // namespace quorvex::reliability
