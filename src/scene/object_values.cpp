#include "scene/object_values.h"

#include <bit>
#include <cstddef>
#include <type_traits>

namespace quorvex {
namespace {

// The sub-chunks that hold the values, in file order, with the number of 4-byte values in each.
// Each chunk's values follow its 6-byte header; the next chunk follows its last value.
struct ValueChunk {
  std::uint16_t marker;
  int count;
};
constexpr ValueChunk kValueChunks[] = {
    {marker::kTranslation, 3}, {marker::kRotation, 4}, {marker::kSize, 3}};

// The offsets of the ten values from P, which is the first value of the first chunk.
constexpr std::array<Pos, 10> kOffsets = [] {
  std::array<Pos, 10> offsets{};
  std::size_t i = 0;
  Pos at = 0;
  for (const auto& chunk : kValueChunks) {
    for (int k = 0; k < chunk.count; ++k, at += 4) offsets[i++] = at;
    at += marker::kHeaderSize;  // the next chunk's header
  }
  return offsets;
}();
static_assert(kOffsets.back() + 4 == ObjectValues::kSpan);

// The fields in file order: the one list that pairs a field with its slot in kOffsets.
template <class Values, class Visit>
void ForEachField(Values& values, Visit&& visit) {
  for (auto& v : values.translation) visit(v);
  for (auto& v : values.rotation) visit(v);
  for (auto& v : values.size) visit(v);
}

}  // namespace

float ObjectValues::rotationA() const {
  return BitsToFloat(rotation[0]);
}
float ObjectValues::rotationC() const {
  return BitsToFloat(rotation[2]);
}

ObjectValues::Bits ObjectValues::bits() const {
  Bits out{};
  std::size_t i = 0;
  ForEachField(*this, [&](const auto& field) { out[i++] = std::bit_cast<std::uint32_t>(field); });
  return out;
}

ObjectValues ObjectValues::FromBits(const Bits& bits) {
  ObjectValues values;
  std::size_t i = 0;
  ForEachField(values, [&](auto& field) {
    field = std::bit_cast<std::remove_reference_t<decltype(field)>>(bits[i++]);
  });
  return values;
}

std::optional<ObjectValues> ObjectValues::Load(const SceneImage& image, Pos p) {
  if (!image.contains(p, kSpan)) return std::nullopt;
  Bits bits{};
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = *image.uint32At(p + kOffsets[i]);
  return FromBits(bits);
}

Status ObjectValues::save(EditPlan& plan, Pos p) const {
  const Bits values = bits();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (auto s = plan.patchUint32(p + kOffsets[i], values[i]); !s) return s;
  }
  return OkStatus();
}

void ObjectValues::appendChunks(Bytes& out) const {
  const Bits values = bits();
  std::size_t i = 0;
  for (const auto& chunk : kValueChunks) {
    AppendMarker(out, chunk.marker);
    AppendInt32(out, marker::kHeaderSize + 4 * chunk.count);
    for (int k = 0; k < chunk.count; ++k) AppendUint32(out, values[i++]);
  }
}

}  // namespace quorvex
