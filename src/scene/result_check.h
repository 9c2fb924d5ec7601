#pragma once
// The check every write makes before it commits: the content it is about to produce is scanned
// the way the next "Start" will scan the file, and compared with what the operation means to
// produce. The format gives no escape for text: a script, a name or a new record whose bytes
// happen to look like a marker to the byte-stepping scan would make the scene list other rows, or
// none at all, once written. Rather than guard against each such case, the result itself is read
// back and the write refused when it does not read as intended.
//
// What must hold in the result:
// - its catalogue (scanned with no section seen yet, as a fresh load does) lists the same rows as
//   the current content, in the same order, with the same names and kinds, each at its old place
//   moved by the edits, with its script (or none) where it was, the same section headers, plus the
//   new definition row of an insertion;
// - every saved script reads back as the new text;
// - the root length equals the file length (or, for a write that keeps the length of a scene
//   whose root length was already off, stays what it was).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/catalogue.h"
#include "scene/edit_plan.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

struct WriteIntent {
  // The catalogue of the current content scanned with the default flags, when the operation has
  // it already (the command line scans it to find the row); scanned here otherwise.
  const Catalogue* before = nullptr;
  // A script written over the one whose length field is at `scriptLengthPos` (a position in the
  // current content).
  // The text is not copied (a script may be hundreds of megabytes): it must outlive the check.
  struct SavedScript {
    Pos scriptLengthPos = 0;
    std::string_view text;
  };
  std::vector<SavedScript> scripts;
  // An insertion with a category adds a definition row of this name.
  std::optional<ByteString> newDefinitionRow;
  // The last sentence of a refusal: "Nothing was saved." for a script save, "Nothing was
  // written." otherwise.
  std::string nothingDone = "Nothing was written.";
};

// Compares `result` (the planned content) with `current` as `intent` describes; an Error of kind
// WouldMisread, in words a modder understands, when they differ.
Status CheckPlannedResult(const SceneImage& current, const EditPlan& plan, const SceneImage& result,
                          const WriteIntent& intent);

}  // namespace quorvex
