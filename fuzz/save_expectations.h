#pragma once
// What a successful script save must have done, checked byte by byte against the scene before it.

#include <span>

#include "script/script_save.h"

namespace quorvex::fuzz {

// Checks that `after` is `before` with the text written over the row's script, every following
// byte moved by the difference, and only the enclosing length fields (and the script length)
// changed by it; for a length change also that the root length equals the new file length.
void CheckSavedBytes(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                     const ScriptSaveTarget& target, const ByteString& text);

}  // namespace quorvex::fuzz
