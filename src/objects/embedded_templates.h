#pragma once
// The template blocks carried inside the library. The array is generated at build time from the
// files in src/objects/templates/ (see EmbedTemplates.cmake); use FindTemplate() instead.

#include <cstddef>

namespace quorvex::detail {

struct EmbeddedBlock {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedBlock kEmbeddedBlocks[];
extern const std::size_t kEmbeddedBlockCount;

}  // namespace quorvex::detail
