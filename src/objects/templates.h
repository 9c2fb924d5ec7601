#pragma once
// Object templates: the fixed block of bytes a new object's definition record carries for its
// category. Every template is two chunks: 0xAE22 (10 bytes, the definition kind) and 0xAE24 (the
// category's parameters). T, the template length, is 10 + the length of the 0xAE24 chunk.
//
// The named templates ("Human1", "Human2", "Human3", "Car1", "Car2", "Car3", "Thing1") are data
// blocks embedded in the library. A stored block may hold bytes after its two chunks; those are
// never written: the template is exactly the first T bytes of the block.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "scene/scene_image.h"

namespace quorvex {

struct ObjectTemplate {
  std::string_view name;
  std::span<const std::uint8_t> block;  // the stored block, trailing bytes included
  std::size_t length = 0;               // T

  // The template proper: the first T bytes of the block.
  std::span<const std::uint8_t> bytes() const { return block.first(length); }
};

// Looks up an embedded template by name; absent for an unknown name or a block whose two chunks
// do not fit in it.
std::optional<ObjectTemplate> FindTemplate(std::string_view name);

// The built-in template of the category "others" (T = 40): kind 5 and a 0xAE24 chunk of 30 bytes
// whose parameters end in a counted text of ten slashes.
Bytes OthersTemplate();

}  // namespace quorvex
