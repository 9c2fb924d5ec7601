#pragma once
// Scene texts are one byte per character in Windows-1252. The five byte values that code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same
// number, so every byte value has exactly one character and round-trips unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scene/scene_image.h"

namespace quorvex {

// The character (Unicode code point) of a byte.
char32_t Cp1252ToUnicode(std::uint8_t byte);
// The byte of a character; absent for characters the code page cannot hold.
std::optional<std::uint8_t> UnicodeToCp1252(char32_t ch);

// Raw scene bytes to UTF-8 (for JSON and terminals).
std::string BytesToUtf8(std::string_view bytes);
// Whether a text is valid UTF-8: shortest forms only, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text);
// UTF-8 to raw scene bytes; absent when the text is not valid UTF-8 or holds a character the code
// page cannot hold.
std::optional<ByteString> Utf8ToBytes(std::string_view utf8);

// Letter-case folding of a byte in Windows-1252 (A-Z, and the accented capitals), for the
// case-insensitive name check and the script search.
std::uint8_t FoldCase(std::uint8_t byte);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quorvex
