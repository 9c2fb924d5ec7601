#pragma once
// The two records written for a new object.
//
// ObjectRecord (chunk 0x4010, appended to the objects section 0x4000), laid out as every scene
// object is (scene/object_values.h), with N the name length and M the model name length:
//    0 marker 0x4010, length 133 + N + M (156 + N for "others")
//    6 0x4011 type chunk (10 bytes): 9, or 6 for "others"
//   16 0x0010 name chunk: N + 7, name, 00
//   23 + N  the translation, rotation (A, 0.0, C, 0.0) and size chunks of ObjectValues
//   81 + N  0x002C (18 bytes): three fixed singles
//   99 + N  0x4020 sector link (27 bytes) holding the 0x0010 name chunk "Primary sector"
//  126 + N  0x2012 model chunk: M + 7, model name, 00 — or, for "others", the 30-byte box chunk
//           0x4050 with -0.5 -0.5 -0.5 0.5 0.5 0.5
//
// DefinitionRecord (chunk 0xAE21, appended to the section after the objects section):
//    0 marker 0xAE21, length 13 + N + T
//    6 0xAE23 name chunk: N + 7, name, 00
//   13 + N  the category's template (T bytes)
//
// Lengths are computed from N, M and T, never measured from the bytes produced.

#include <cstdint>
#include <span>

#include "scene/object_values.h"
#include "scene/scene_image.h"

namespace quorvex {

// The new object's values (rotation B and D are 0.0) and what surrounds them.
struct ObjectRecordInput : ObjectValues {
  ByteString name;      // Windows-1252 bytes
  ByteString model;     // ignored for "others"
  bool others = false;  // the category "others": box chunk instead of the model chunk
};

std::int64_t ObjectRecordLength(std::int64_t nameLength, std::int64_t modelLength, bool others);
std::int64_t DefinitionRecordLength(std::int64_t nameLength, std::int64_t templateLength);

Bytes BuildObjectRecord(const ObjectRecordInput& input);
Bytes BuildDefinitionRecord(const ByteString& name, std::span<const std::uint8_t> objectTemplate);

}  // namespace quorvex
