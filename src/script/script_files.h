#pragma once
// Scripts kept as files beside the scene: the name each exported script file gets, and the plan
// that writes edited files back into the scene in one write.

#include <cstdint>
#include <string>
#include <vector>

#include "scene/catalogue.h"
#include "scene/edit_plan.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// Longest NAME part of an exported script's file name, in bytes.
inline constexpr std::size_t kMaxExportNameBytes = 64;

// "NNNN_NAME.txt": the row in 4 digits, then the row's name with every byte outside A-Z a-z 0-9
// . _ - replaced by "_", cut to at most 64 bytes. Rows stop at 5000, so names never collide.
std::string ExportFileName(int row, const ByteString& name);

// The script text of a row that has a script position; absent for one without, or one whose text
// runs past the end of the file. Fails with the image's read failure.
Result<std::optional<ByteString>> ScriptTextOf(const SceneImage& image, const CatalogueRow& row);

// A new text for the script of a catalogue row.
struct ScriptChange {
  int row = 0;
  ByteString text;
};

// One row that an import rewrites.
struct ImportedScript {
  int row = 0;
  std::int32_t oldLength = 0;  // the script's length in the scene before the import
  ByteString text;             // the new text: what the row's script must read back as
};

struct ScriptImport {
  EditPlan plan;
  std::vector<ImportedScript> scripts;  // in ascending row order
};

// The one plan that gives the same bytes as saving each changed script in turn, in ascending row
// order, and the texts each row must read back afterwards. All edits are planned over the present
// positions of `image`: each text replaced, each script length set, and each enclosing length
// (the root at position 3, the row's section, the row's chunk, a definition's 0xAE24) corrected by
// the sum of the changes of the scripts it encloses. Every check a single save makes is made for
// each row, and each enclosing length is checked after every step of the sum, so the import is
// refused (nothing planned) when one of the saves would be. Errors: Invalid for a row given
// twice, and those of ScriptSaveTargetFor and PlanScriptSave, prefixed with the row.
Result<ScriptImport> PlanScriptImport(const SceneImage& image, const Catalogue& catalogue,
                                      std::vector<ScriptChange> changes);

}  // namespace quorvex
