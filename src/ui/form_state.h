#pragma once
// The window's own variables. Every handler of Form1 reads and writes these; nothing else holds
// state.
//
// What describes the loaded scene lives in one place, `Scene`: the file's path, identity and
// length, the catalogue and the object parameters, as the file holds them. The names the handlers
// use for it (`SceneLength`, `EntryName`, `ScriptLengthPos`, `EntryTranslationX`, ...) are views of
// that object, not copies: a per-row name is indexed by the row of the script list List2, and a new
// load replaces the whole scene at once, so no row can keep values of an earlier scene.
//
// The handlers read `Scene` only. What the user has set but not written (the rotation the dial set
// for a row) and the script on show are the window's own edit state beside it; they belong to the
// loaded scene and go with it when another load replaces it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "objects/rotation.h"
#include "scene/catalogue.h"
#include "scene/loaded_scene.h"
#include "scene/object_params.h"
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

// One object parameter of every catalogue row, as the scene holds it: `column[row]` (the row must
// exist); zero or empty while no object matched the row.
template <class T>
class ObjectColumn {
 public:
  using Getter = T (*)(const ObjectParams&);
  ObjectColumn(const LoadedScene* scene, Getter get) : scene_(scene), get_(get) {}
  T operator[](std::size_t row) const {
    const RowObject& object = scene_->objects.at(row);
    return object ? get_(*object) : T{};
  }

 private:
  const LoadedScene* scene_;
  Getter get_;
};

// The rotations the dial set for rows of the loaded scene, by row; not yet written.
using DialRotations = std::map<int, RotationPair>;

// Rotation value A or C of every catalogue row: what the rotation dial set for the row since the
// scene was loaded, or else what the scene holds.
class RotationColumn {
 public:
  RotationColumn(const LoadedScene* scene, const DialRotations* dial, float RotationPair::*part,
                 float (ObjectParams::*stored)() const)
      : scene_(scene), dial_(dial), part_(part), stored_(stored) {}
  float operator[](std::size_t row) const {
    const RowObject& object = scene_->objects.at(row);
    if (const auto set = dial_->find(static_cast<int>(row)); set != dial_->end()) {
      return set->second.*part_;
    }
    return object ? ((*object).*stored_)() : 0.0f;
  }

 private:
  const LoadedScene* scene_;
  const DialRotations* dial_;
  float RotationPair::*part_;
  float (ObjectParams::*stored_)() const;
};

// The script of a row as it was read for showing.
struct ShownScript {
  int row = -1;
  ByteString text;
};

struct FormState {
  FormState() = default;
  // The views point into this object's own scene.
  FormState(const FormState&) = delete;
  FormState& operator=(const FormState&) = delete;

 private:
  LoadedScene scene_;
  DialRotations dialRotations_;

 public:
  // The scene that the last catalogue scan loaded, as the file holds it; nothing is loaded before
  // the first scan, after "Start" and after a failed scan. Read-only: it changes only through the
  // three calls below.
  const LoadedScene& Scene = scene_;

  // A catalogue scan's scene, or LoadedScene{} for none. The edit state of the old scene (the
  // rotations the dial set, the script on show) goes with it.
  void takeScene(LoadedScene scene) {
    scene_ = std::move(scene);
    dialRotations_.clear();
    ScriptOnShow.reset();
  }
  // What the object-parameter scan read, `complete` when it ran to its end. A row it reads shows
  // the rotation read, not one the dial set before.
  void takeObjectParams(const std::vector<ObjectParams>& read, bool complete) {
    RecordObjectParams(scene_, read);
    for (const ObjectParams& object : read) dialRotations_.erase(object.row);
    if (complete) scene_.objectsRead = true;
  }
  // After this program's write that kept every loaded position valid: the scene takes the file's
  // new stamp and the values `written` into its objects, which have nothing pending then.
  void takeOwnWrite(const std::vector<ObjectParams>& written = {}) {
    takeObjectParams(written, false);
    TakeOwnWrite(scene_);
  }

  // The script on show, as it was read: what "Save" may write over.
  std::optional<ShownScript> ScriptOnShow;

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
  ObjectColumn<ByteString> EntryObjectName{&Scene, [](const ObjectParams& o) { return o.name; }};
  ObjectColumn<ByteString> EntryModelName{
      &Scene, [](const ObjectParams& o) { return o.model.value_or(ByteString()); }};
  ObjectColumn<Pos> EntryTranslationPos{&Scene,
                                        [](const ObjectParams& o) { return o.translationPos; }};
  ObjectColumn<float> EntryTranslationX{&Scene,
                                        [](const ObjectParams& o) { return o.translation[0]; }};
  ObjectColumn<float> EntryTranslationY{&Scene,
                                        [](const ObjectParams& o) { return o.translation[1]; }};
  ObjectColumn<float> EntryTranslationZ{&Scene,
                                        [](const ObjectParams& o) { return o.translation[2]; }};
  RotationColumn EntryRotationA{&Scene, &dialRotations_, &RotationPair::a,
                                &ObjectParams::rotationA};
  ObjectColumn<std::uint32_t> EntryRotationB{&Scene,
                                             [](const ObjectParams& o) { return o.rotation[1]; }};
  RotationColumn EntryRotationC{&Scene, &dialRotations_, &RotationPair::c,
                                &ObjectParams::rotationC};
  ObjectColumn<std::uint32_t> EntryRotationD{&Scene,
                                             [](const ObjectParams& o) { return o.rotation[3]; }};
  ObjectColumn<float> EntrySizeX{&Scene, [](const ObjectParams& o) { return o.size[0]; }};
  ObjectColumn<float> EntrySizeY{&Scene, [](const ObjectParams& o) { return o.size[1]; }};
  ObjectColumn<float> EntrySizeZ{&Scene, [](const ObjectParams& o) { return o.size[2]; }};
  SceneValue<bool> ObjectParamsLoaded{&Scene, [](const LoadedScene& s) { return s.objectsRead; }};

  // Slider1_Click: the rotation the dial set for `row` of the loaded scene, written by the next
  // "Insert/Modify" of the row's object.
  void setDialRotation(int row, RotationPair rotation) {
    if (Scene.hasRow(row)) dialRotations_[row] = rotation;
  }
  // What the dial set for `row` since the scene was loaded, if anything.
  std::optional<RotationPair> dialRotation(int row) const {
    const auto set = dialRotations_.find(row);
    if (set == dialRotations_.end()) return std::nullopt;
    return set->second;
  }

  // Rotation given to a new object.
  float CurrentRotationA = 0.0f;
  float CurrentRotationC = 1.0f;

  // Script search: position() is the 0-based index in the overview text where the next search
  // starts; -1 after a search that found nothing.
  SearchCursor SearchPos;
};

}  // namespace quorvex::ui
