#pragma once
// The window's own variables. Every handler of Form1 reads and writes these; nothing else holds
// state.
//
// What describes the loaded scene lives in one place, `Scene`: the file's path, identity and
// length, the catalogue, the object parameters and the script on show. The names the handlers use
// for it (`SceneLength`, `EntryName`, `ScriptLengthPos`, `EntryTranslationX`, ...) are views of
// that object, not copies: a per-row name is indexed by the row of the script list List2, and a new
// load replaces the whole scene at once, so no row can keep values of an earlier scene.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "scene/catalogue.h"
#include "scene/loaded_scene.h"
#include "scene/scene_image.h"
#include "script/search.h"

namespace quorvex::ui {

inline constexpr int kRowSlots = quorvex::kMaxRows;  // rows 0 .. 5000

// One value of the loaded scene, read when used.
template <class T>
class SceneValue {
 public:
  using Getter = T (*)(const LoadedScene&);
  SceneValue(const LoadedScene* scene, Getter get) : scene_(scene), get_(get) {}
  operator T() const { return get_(*scene_); }  // NOLINT: a view reads like the value
  T value() const { return get_(*scene_); }
  friend bool operator==(const SceneValue& view, const T& other) { return view.value() == other; }

 private:
  const LoadedScene* scene_;
  Getter get_;
};

// One field of every catalogue row: `column[row]` (the row must exist).
template <class T>
class CatalogueColumn {
 public:
  CatalogueColumn(const LoadedScene* scene, T CatalogueRow::*field)
      : scene_(scene), field_(field) {}
  const T& operator[](std::size_t row) const { return scene_->catalogue.rows.at(row).*field_; }

 private:
  const LoadedScene* scene_;
  T CatalogueRow::*field_;
};

// One object parameter of every catalogue row: `column[row]` (the row must exist).
template <class T>
class ObjectColumn {
 public:
  ObjectColumn(LoadedScene* scene, T RowObject::*field) : scene_(scene), field_(field) {}
  T& operator[](std::size_t row) const { return scene_->objects.at(row).*field_; }

 private:
  LoadedScene* scene_;
  T RowObject::*field_;
};

struct FormState {
  FormState() = default;
  // The views point into this object's own scene.
  FormState(const FormState&) = delete;
  FormState& operator=(const FormState&) = delete;

  // The scene that the last catalogue scan loaded; nothing is loaded before the first scan, after
  // "Start" and after a failed scan.
  LoadedScene Scene;

  // File1's folder + separator + File1's selected name, taken afresh where the selection matters.
  std::string ScenePath;
  SceneValue<std::string> SceneFileName{&Scene, [](const LoadedScene& s) { return s.fileName(); }};
  SceneValue<std::int64_t> SceneLength{&Scene, [](const LoadedScene& s) { return s.length; }};

  // A catalogue scan, a model listing, an object-parameter scan or a search runs (the last three
  // hand out events meanwhile; Busy keeps those events from starting another one).
  bool Busy = false;
  int ProgressCount = 0;

  // Script catalogue.
  SceneValue<int> EntryCount{&Scene, [](const LoadedScene& s) { return s.rowCount(); }};
  SceneValue<int> FirstStandaloneScriptRow{
      &Scene, [](const LoadedScene& s) { return s.catalogue.firstStandaloneScriptRow; }};
  CatalogueColumn<bool> EntryIsStandaloneScript{&Scene, &CatalogueRow::standalone};
  CatalogueColumn<Pos> EntryLengthPos{&Scene, &CatalogueRow::entryLengthPos};
  CatalogueColumn<std::optional<Pos>> ScriptLengthPos{&Scene, &CatalogueRow::scriptLengthPos};
  CatalogueColumn<std::optional<Pos>> ScriptChunkLengthPos{&Scene,
                                                           &CatalogueRow::scriptChunkLengthPos};
  CatalogueColumn<ByteString> EntryName{&Scene, &CatalogueRow::name};  // the row's text, raw bytes
  CatalogueColumn<bool> EntryChecked{&Scene, &CatalogueRow::checked};  // the row has a script

  SceneValue<Pos> ScriptSectionLengthPos{
      &Scene, [](const LoadedScene& s) {
        return s.catalogue.scriptSection ? s.catalogue.scriptSection->lengthPos : Pos{0};
      }};
  SceneValue<Pos> DefSectionLengthPos{
      &Scene, [](const LoadedScene& s) {
        return s.catalogue.defSection ? s.catalogue.defSection->lengthPos : Pos{0};
      }};

  // Section flags for the next scan, and the reload hand-over after a save or an insertion.
  bool ScriptSectionSeen = false;
  bool DefSectionSeen = false;
  bool ReloadPending = false;
  int ReselectRow = 0;

  // Object parameters of the scene object whose name equals the row's name.
  ObjectColumn<ByteString> EntryObjectName{&Scene, &RowObject::name};
  ObjectColumn<ByteString> EntryModelName{&Scene, &RowObject::model};
  ObjectColumn<Pos> EntryTranslationPos{&Scene, &RowObject::translationPos};
  ObjectColumn<float> EntryTranslationX{&Scene, &RowObject::translationX};
  ObjectColumn<float> EntryTranslationY{&Scene, &RowObject::translationY};
  ObjectColumn<float> EntryTranslationZ{&Scene, &RowObject::translationZ};
  ObjectColumn<float> EntryRotationA{&Scene, &RowObject::rotationA};
  ObjectColumn<std::uint32_t> EntryRotationB{&Scene, &RowObject::rotationB};
  ObjectColumn<float> EntryRotationC{&Scene, &RowObject::rotationC};
  ObjectColumn<std::uint32_t> EntryRotationD{&Scene, &RowObject::rotationD};
  ObjectColumn<float> EntrySizeX{&Scene, &RowObject::sizeX};
  ObjectColumn<float> EntrySizeY{&Scene, &RowObject::sizeY};
  ObjectColumn<float> EntrySizeZ{&Scene, &RowObject::sizeZ};
  SceneValue<bool> ObjectParamsLoaded{&Scene, [](const LoadedScene& s) { return s.objectsRead; }};

  // Rotation given to a new object.
  float CurrentRotationA = 0.0f;
  float CurrentRotationC = 1.0f;

  // Script search: position() is the 0-based index in the overview text where the next search
  // starts; -1 after a search that found nothing.
  SearchCursor SearchPos;
};

}  // namespace quorvex::ui
