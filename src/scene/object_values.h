#pragma once
// A scene object (chunk 0x4010) as this program reads, rewrites and builds it. Offsets from the
// object's marker M, with N the length of its name:
//
//    0       marker 0x4010, then the object's length L
//    6       type sub-chunk 0x4011 (10 bytes)
//   16       name sub-chunk 0x0010: length N + 7, the N name bytes, one zero byte
//   23 + N   translation 0x0020 (18 bytes): X Y Z
//   41 + N   rotation 0x0022 (22 bytes): A B C D
//   63 + N   size 0x002D (18 bytes): X Y Z
//   81 + N   further sub-chunks, among them the model 0x2012
//
// The ten values are addressed from P = M + 29 + N, the first translation value. ObjectValues is
// the one description of where each of them sits: the scan loads them, the modify planner saves
// them over the old ones, and the builder of a new object appends them with their chunk headers,
// all through the same field list.

#include <array>
#include <cstdint>
#include <optional>

#include "scene/edit_plan.h"
#include "scene/markers.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// Offset of an object's name sub-chunk from its marker (behind the header and the type chunk).
inline constexpr Pos kObjectNameChunk = 16;

// P of an object whose marker is at `object` and whose name is `nameLength` bytes long.
constexpr Pos ObjectValuesPos(Pos object, Pos nameLength) {
  return object + kObjectNameChunk + marker::kHeaderSize + nameLength + 1 + marker::kHeaderSize;
}
// The other way round: the marker of the object whose values start at `valuesPos`.
constexpr Pos ObjectMarkerPos(Pos valuesPos, Pos nameLength) {
  return valuesPos - ObjectValuesPos(0, nameLength);
}

// An object's translation, rotation and size.
struct ObjectValues {
  // The ten values as 4-byte patterns, in file order.
  using Bits = std::array<std::uint32_t, 10>;
  // Bytes from P to the end of the last size value.
  static constexpr Pos kSpan = 52;

  float translation[3] = {0, 0, 0};
  // Raw A, B, C, D: A and C are singles; B and D are kept as read and only ever written back.
  std::uint32_t rotation[4] = {0, 0, 0, 0};
  float size[3] = {0, 0, 0};

  float rotationA() const;
  float rotationC() const;

  Bits bits() const;
  static ObjectValues FromBits(const Bits& bits);

  // The values stored at P; absent when they do not all lie inside the file.
  static std::optional<ObjectValues> Load(const SceneImage& image, Pos p);
  // Adds to `plan` the ten 4-byte patches that store these values at P.
  Status save(EditPlan& plan, Pos p) const;
  // The translation, rotation and size sub-chunks, headers included, as a new object holds them.
  void appendChunks(Bytes& out) const;
};

}  // namespace quorvex
