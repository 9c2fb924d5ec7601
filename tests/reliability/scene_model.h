#pragma once
// A plain model of what a scene must hold, independent of how the bytes are laid out: the script
// list in file order (name, kind and script text of every row) and the scene objects in file order
// (name and parameters). The soak test mirrors every edit here and compares the real file with it.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "objects/categories.h"
#include "scene/scene_image.h"

namespace quorvex::reliability {

struct ModelRow {
  ByteString name;
  bool standalone = false;
  std::optional<ByteString> script;  // absent: the row has no script position
};

struct ModelObject {
  ByteString name;
  std::uint32_t translation[3] = {};  // raw bits of the singles
  std::uint32_t rotation[4] = {};
  std::uint32_t size[3] = {};
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

// A random mission-like scene: objects with and without definitions, definitions with and without
// scripts and of the kinds the catalogue skips, standalone scripts (some empty). Names are unique
// regardless of letter case; texts hold no byte pair that the scans could take for a marker.
Bytes GenerateScene(std::mt19937_64& rng, SceneModel& model);

// A fresh name no row or object has, regardless of letter case.
ByteString FreshName(std::mt19937_64& rng, SceneModel& model);
// A script text of `length` bytes that holds no marker pair, alone or with its neighbours.
ByteString SafeText(std::mt19937_64& rng, std::size_t length);

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
