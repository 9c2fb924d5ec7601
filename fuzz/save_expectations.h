#pragma once
// What a successful script save must have done, checked byte by byte against the scene before it.

#include <span>
#include <vector>

#include "scene/catalogue.h"
#include "script/script_save.h"

namespace quorvex::fuzz {

// Checks that `after` is `before` with the text written over the row's script, every following
// byte moved by the difference, and only the enclosing length fields (and the script length)
// changed by it; for a length change also that the root length equals the new file length.
// Returns the positions of the length fields that changed.
std::vector<Pos> CheckSavedBytes(std::span<const std::uint8_t> before,
                                 std::span<const std::uint8_t> after,
                                 const ScriptSaveTarget& target, const ByteString& text);

// Checks that the catalogue of `after` has the rows of `catalogue` (the catalogue of `before`),
// positions behind the script moved by the difference, and the new text at `row`. Skipped where a
// marker pair near the changed bytes may change what the byte-stepping scan sees.
void CheckSameRowsAfterSave(std::span<const std::uint8_t> before,
                            std::span<const std::uint8_t> after, const Catalogue& catalogue,
                            SectionFlags flags, int row, const std::vector<Pos>& changedFields,
                            bool textMayHoldMarkers);

}  // namespace quorvex::fuzz
