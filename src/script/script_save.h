#pragma once
// Writing an edited script back into the scene.
//
// A script's text lies inside nested chunks: the root chunk (length at position 3), a section
// (0xAE50 for standalone scripts, 0xAE20 for object definitions), the row's own chunk (0xAE51 or
// 0xAE21), for a definition the parameters sub-chunk 0xAE24 that holds the script, and the
// script's own 32-bit length, after which the text follows.
//
// When the new text has the loaded length, only the text bytes are overwritten. Otherwise the text
// is replaced, everything after it moves by the difference, and each of those enclosing lengths is
// corrected by the difference; the file ends up exactly as long as the corrected root length.
//
// Before anything is written the scene is checked against what the catalogue scan recorded: the
// same file length, the expected marker in front of every length field that will be corrected,
// the loaded script length at its field, the text inside the file and, when the caller gives it,
// the loaded text itself (another program's edit of the same length is never overwritten). Then
// the result is read back as the next load will read it (result_check.h): a text that would hide
// the script or be read as the start of a new entry is refused.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "scene/catalogue.h"
#include "scene/edit_plan.h"
#include "scene/result.h"
#include "scene/result_check.h"
#include "scene/scene_image.h"
#include "scene/scene_io.h"

namespace quorvex {

// What the catalogue scan recorded for the row being saved (1-based positions).
struct ScriptSaveTarget {
  bool standalone = false;                  // 0xAE51 script row; false: 0xAE21 definition row
  Pos entryLengthPos = 0;                   // EntryLengthPos
  Pos scriptLengthPos = 0;                  // ScriptLengthPos; the text starts 4 bytes later
  std::optional<Pos> scriptChunkLengthPos;  // ScriptChunkLengthPos, definition rows
  // ScriptSectionLengthPos (standalone rows) or DefSectionLengthPos (definition rows); only needed
  // when the length changes.
  std::optional<Pos> sectionLengthPos;
  std::int32_t loadedLength = 0;  // the script's length as loaded ("org")
  Pos sceneLength = 0;            // the file length the scan saw
  // The script's bytes as they were loaded. When given, the save refuses should the file hold
  // other bytes there now; without it only the length is compared.
  std::optional<ByteString> loadedText;
};

// The target of catalogue row `row`. Fails with NoSuchRow or NoScript (a row without a script
// position).
Result<ScriptSaveTarget> ScriptSaveTargetFor(const Catalogue& catalogue, int row);

// The edits that write `newText` (Windows-1252 bytes) over the script, checked against `image`,
// the file's present content. Errors: ChangedOnDisk when the file is no longer what the scan saw,
// UnexpectedLayout when a length change would have to correct a parameters chunk that is not
// where the layout puts it, Refused when a length change cannot be made without losing or
// corrupting data.
Result<EditPlan> PlanScriptSave(const SceneImage& image, const ScriptSaveTarget& target,
                                const ByteString& newText);

// What a save means to produce, for the check before it is written: the same rows as `before`
// (the current catalogue, or null to have it scanned), the saved one reading back as `newText`.
WriteIntent ScriptSaveIntent(const ScriptSaveTarget& target, const ByteString& newText,
                             const Catalogue* before);

// Locks the scene at `path`, plans against its current content, checks the result and writes the
// change safely, through `files`.
Result<WriteMode> SaveScript(const std::filesystem::path& path, const ScriptSaveTarget& target,
                             const ByteString& newText,
                             platform::FileSystem& files = platform::RealFileSystem());

}  // namespace quorvex
