#pragma once
// The script catalogue: one row for every standalone script (chunk 0xAE51) and every object
// definition (chunk 0xAE21) that may carry a script, in file order, with the positions of the
// length fields that a script save corrects later.
//
// The scan steps through the file one position at a time testing two bytes for a marker, and
// jumps by a length only where the layout gives one (the objects section, a standalone script, the
// second sub-chunk of a definition). It is implemented over the bytes in memory with fast skipping,
// but its result is exactly that of stepping byte by byte.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// A catalogue holds at most this many rows (0 .. 5000).
inline constexpr int kMaxRows = 5001;

struct CatalogueRow {
  ByteString name;                           // the row text (raw bytes)
  bool standalone = false;                   // true: 0xAE51 script; false: 0xAE21 definition
  bool checked = false;                      // the row has a script of non-zero length
  Pos entryLengthPos = 0;                    // length field of the row's chunk (marker + 2)
  std::optional<Pos> scriptLengthPos;        // 32-bit script length; the text starts 4 bytes later
  std::optional<std::int32_t> scriptLength;  // the value at scriptLengthPos when there is one
  std::optional<Pos> scriptChunkLengthPos;   // definitions only: length of the third sub-chunk
};

// A section header (0xAE50 or 0xAE20) accepted by the scan: its length field and value.
struct SectionHeader {
  Pos lengthPos = 0;
  std::int32_t length = 0;
};

// Whether a section header has been accepted. Entries are taken only after their section's
// header; a reload after a save or insertion starts with both flags already set.
struct SectionFlags {
  bool scriptSectionSeen = false;
  bool defSectionSeen = false;
  bool operator==(const SectionFlags&) const = default;
};

struct Catalogue {
  Pos sceneLength = 0;
  std::vector<CatalogueRow> rows;              // EntryCount = rows.size()
  int firstStandaloneScriptRow = 0;            // 0 when there is none (or when row 0 is one)
  std::optional<SectionHeader> scriptSection;  // last 0xAE50 header accepted
  std::optional<SectionHeader> defSection;     // last 0xAE20 header accepted
  SectionFlags flags;                          // the flags at the end of the scan
};

struct CatalogueHooks {
  // ShowScanProgress: called with the progress count before it is incremented. Below 30 it is the
  // value of the scan's progress bar, from 30 on it is shown as text.
  std::function<void(int progressCount)> progress;
  // First progress count (the count is kept between scans by the window; 0 normally).
  int initialProgressCount = 0;
  // Called with each row as soon as the scan has found it, while the blocks around its script
  // are still in the image's cache: a caller that shows the scripts takes them from there in the
  // same pass. An Error ends the scan with that error.
  std::function<Status(const CatalogueRow& row)> rowFound;
};

// Builds the catalogue of the scene bytes. `initialFlags` are the section flags to start with:
// both false for a normal load, both true for the reload after a save or an insertion.
// Fails with TooManyRows for more than 5001 rows and with Damaged where a length or count would
// move the scan backwards, keep it in place, or point outside the file.
Result<Catalogue> ScanCatalogue(const SceneImage& image, SectionFlags initialFlags = {},
                                const CatalogueHooks& hooks = {});

// A change between two contents: the positions firstChanged .. firstKept - 1 of the old content
// were replaced by any number of bytes (firstKept = firstChanged for a pure insertion); the bytes
// before firstChanged stay where they are, and those from firstKept on are kept, `shift` (the new
// length minus the old) positions further on.
struct ContentChange {
  Pos firstChanged = 1;
  Pos firstKept = 1;
  Pos shift = 0;
};

struct CataloguePair {
  Result<Catalogue> before;
  Result<Catalogue> after;
};

// ScanCatalogue (default flags, no hooks) of the old content and of the new one, the new one
// scanned only where the change can make it differ. Every turn of the scan reads a few bytes from
// its position on, so the two scans are the same turn for turn until the first turn that reads a
// changed byte (the new scan starts from the old one's state there), and once the new scan stands
// on a kept byte where the old one stood on it too, with the same section flags, the rest is the
// old scan's, moved. The new catalogue is exactly what ScanCatalogue(after) gives. When `before`
// fails, `after` is not scanned and holds the same error.
CataloguePair ScanAroundChange(const SceneImage& before, const SceneImage& after,
                               const ContentChange& change);

}  // namespace quorvex
