#pragma once
// The window's own variables. Every handler of Form1 reads and writes these; nothing else holds
// state. The per-row values are parallel arrays indexed by the row of the script list List2 and
// have one slot per possible row (0 .. 5000). A scan overwrites the rows it finds; slots beyond
// them keep the values of earlier scans.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "scene/catalogue.h"
#include "scene/scene_image.h"

namespace quorvex::ui {

inline constexpr int kRowSlots = quorvex::kMaxRows;  // rows 0 .. 5000

template <class T>
using RowArray = std::array<T, kRowSlots>;

struct FormState {
  // The scene: File1's folder + separator + File1's selected name, taken afresh by every
  // procedure that opens the file.
  std::string ScenePath;
  std::string SceneFileName;  // file name at the last catalogue scan
  std::int64_t SceneLength = 0;

  bool Busy = false;  // a catalogue scan or a model listing runs
  std::int64_t ScanPos = 0;
  int ProgressCount = 0;

  // Script catalogue.
  int EntryCount = 0;
  int FirstStandaloneScriptRow = 0;
  RowArray<bool> EntryIsStandaloneScript{};
  RowArray<Pos> EntryLengthPos{};
  RowArray<std::optional<Pos>> ScriptLengthPos{};
  RowArray<std::optional<Pos>> ScriptChunkLengthPos{};
  RowArray<ByteString> EntryName{};  // the row's text as raw bytes
  RowArray<bool> EntryChecked{};     // the check mark the scan gave the row

  Pos ScriptSectionLengthPos = 0;
  std::int32_t ScriptSectionLength = 0;
  Pos DefSectionLengthPos = 0;
  std::int32_t DefSectionLength = 0;
  std::int32_t EntryLength = 0;
  std::int32_t ScriptChunkLength = 0;
  std::int32_t ScriptLength = 0;

  bool ScriptSectionSeen = false;
  bool DefSectionSeen = false;
  bool ReloadPending = false;
  int ReselectRow = 0;

  // Object parameters of the scene object whose name equals the row's name.
  RowArray<ByteString> EntryObjectName{};
  RowArray<ByteString> EntryModelName{};
  RowArray<Pos> EntryTranslationPos{};
  RowArray<float> EntryTranslationX{}, EntryTranslationY{}, EntryTranslationZ{};
  RowArray<float> EntryRotationA{};
  RowArray<std::uint32_t> EntryRotationB{};  // raw bits, written back unchanged
  RowArray<float> EntryRotationC{};
  RowArray<std::uint32_t> EntryRotationD{};  // raw bits, written back unchanged
  RowArray<float> EntrySizeX{}, EntrySizeY{}, EntrySizeZ{};
  bool ObjectParamsLoaded = false;

  // Rotation given to a new object.
  float CurrentRotationA = 0.0f;
  float CurrentRotationC = 1.0f;

  // Script search: 0-based index in the overview text where the next search starts; -1 after a
  // search that found nothing.
  std::int32_t SearchPos = 0;
};

}  // namespace quorvex::ui
