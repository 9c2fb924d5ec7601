#include "objects/records.h"

#include "scene/markers.h"

namespace quorvex {
namespace {

constexpr char kSectorName[] = "Primary sector";
// The fixed vector of chunk 0x002C: -1774.3284, -5.6014838, 4.3234544, kept as exact bytes.
constexpr std::uint8_t kFixedVector[12] = {0x82, 0xCA, 0xDD, 0xC4, 0x5B, 0x3F,
                                           0xB3, 0xC0, 0xBD, 0x59, 0x8A, 0x40};

void AppendHeader(Bytes& out, std::uint16_t m, std::int64_t length) {
  AppendMarker(out, m);
  AppendInt32(out, static_cast<std::int32_t>(length));
}

// A name chunk: marker, N + 7, the name, one zero byte.
void AppendNameChunk(Bytes& out, std::uint16_t m, const ByteString& name) {
  AppendHeader(out, m, static_cast<std::int64_t>(name.size()) + 7);
  AppendText(out, name);
  out.push_back(0);
}

}  // namespace

std::int64_t ObjectRecordLength(std::int64_t nameLength, std::int64_t modelLength, bool others) {
  return others ? 156 + nameLength : 133 + nameLength + modelLength;
}

std::int64_t DefinitionRecordLength(std::int64_t nameLength, std::int64_t templateLength) {
  return 13 + nameLength + templateLength;
}

Bytes BuildObjectRecord(const ObjectRecordInput& in) {
  const auto n = static_cast<std::int64_t>(in.name.size());
  const auto m = static_cast<std::int64_t>(in.model.size());
  Bytes out;
  out.reserve(static_cast<std::size_t>(ObjectRecordLength(n, m, in.others)));
  AppendHeader(out, marker::kObject, ObjectRecordLength(n, m, in.others));
  AppendHeader(out, marker::kObjectType, 10);
  AppendInt32(out, in.others ? 6 : 9);
  AppendNameChunk(out, marker::kName, in.name);

  in.appendChunks(out);
  AppendHeader(out, marker::kFixedVector, 18);
  out.insert(out.end(), std::begin(kFixedVector), std::end(kFixedVector));

  AppendHeader(out, marker::kSectorLink, 27);
  AppendNameChunk(out, marker::kName, kSectorName);

  if (in.others) {
    AppendHeader(out, marker::kBox, 30);
    for (float v : {-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f}) AppendFloat(out, v);
  } else {
    AppendNameChunk(out, marker::kModel, in.model);
  }
  return out;
}

Bytes BuildDefinitionRecord(const ByteString& name, std::span<const std::uint8_t> objectTemplate) {
  const auto n = static_cast<std::int64_t>(name.size());
  Bytes out;
  out.reserve(static_cast<std::size_t>(
      DefinitionRecordLength(n, static_cast<std::int64_t>(objectTemplate.size()))));
  AppendHeader(out, marker::kDefinition,
               DefinitionRecordLength(n, static_cast<std::int64_t>(objectTemplate.size())));
  AppendNameChunk(out, marker::kDefinitionName, name);
  out.insert(out.end(), objectTemplate.begin(), objectTemplate.end());
  return out;
}

}  // namespace quorvex
