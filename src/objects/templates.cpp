#include "objects/templates.h"

#include "objects/embedded_templates.h"
#include "scene/markers.h"

namespace quorvex {
namespace {

// The length of the two chunks at the start of a block, when both headers are there and the
// block holds all of them.
std::optional<std::size_t> TemplateLength(std::span<const std::uint8_t> block) {
  const SceneImage image(block);
  if (!image.markerAt(1, marker::kDefinitionKind) || image.int32At(3) != 10) return std::nullopt;
  if (!image.markerAt(11, marker::kDefinitionParams)) return std::nullopt;
  const auto paramsLength = image.int32At(13);
  if (!paramsLength || *paramsLength < marker::kHeaderSize) return std::nullopt;
  const auto length = static_cast<std::size_t>(10 + static_cast<std::int64_t>(*paramsLength));
  if (length > block.size()) return std::nullopt;
  return length;
}

}  // namespace

std::optional<ObjectTemplate> FindTemplate(std::string_view name) {
  for (std::size_t i = 0; i < detail::kEmbeddedBlockCount; ++i) {
    const auto& entry = detail::kEmbeddedBlocks[i];
    if (name != entry.name) continue;
    const std::span<const std::uint8_t> block(entry.data, entry.size);
    const auto length = TemplateLength(block);
    if (!length) return std::nullopt;
    return ObjectTemplate{entry.name, block, *length};
  }
  return std::nullopt;
}

Bytes OthersTemplate() {
  Bytes out;
  AppendMarker(out, marker::kDefinitionKind);
  AppendInt32(out, 10);
  AppendInt32(out, 5);
  AppendMarker(out, marker::kDefinitionParams);
  AppendInt32(out, 30);
  out.insert(out.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
  AppendInt32(out, 10);
  out.insert(out.end(), 10, '/');
  return out;
}

}  // namespace quorvex
