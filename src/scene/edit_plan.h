#pragma once
// An edit plan describes the new content of a scene as changes to its current content: at each
// 0-based offset of the current file, `removeCount` bytes are replaced by `insert`. Edits are kept
// in file order and never overlap (two insertions at the same offset keep their order).
//
// A plan whose every edit replaces as many bytes as it inserts keeps the file's length and is
// applied by patching in place; any other plan is applied by writing the whole new content to a
// temporary file and replacing the scene with it in one rename.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

struct Edit {
  std::uint64_t offset = 0;       // 0-based offset in the current file
  std::uint64_t removeCount = 0;  // bytes of the current file replaced
  Bytes insert;                   // bytes written in their place
};

class EditPlan {
 public:
  explicit EditPlan(std::uint64_t originalLength = 0) : originalLength_(originalLength) {}

  // Adds an edit; fails (Damaged) when it overlaps an earlier one or runs past the end.
  Status add(Edit edit);
  // Replaces the 4 bytes at the 1-based position `pos` with a 32-bit little-endian value.
  Status patchInt32(Pos pos, std::int32_t value);
  Status patchUint32(Pos pos, std::uint32_t value);
  // Inserts bytes before the 1-based position `pos` (pos = length + 1 appends).
  Status insertAt(Pos pos, Bytes bytes);

  const std::vector<Edit>& edits() const { return edits_; }
  std::uint64_t originalLength() const { return originalLength_; }
  std::uint64_t newLength() const;
  bool keepsLength() const;  // every edit replaces as many bytes as it inserts
  // Where the byte at the 1-based position `pos` of the current file lies in the new content: moved
  // by every edit before it (insertions at its very offset come before it). A byte inside a
  // replaced stretch keeps its place within the replacement.
  Pos movedPosition(Pos pos) const;
  // The other way round: the position in the current file of the new content's byte at `pos`;
  // absent for a byte the plan inserts.
  std::optional<Pos> originalPosition(Pos pos) const;

 private:
  std::uint64_t originalLength_;
  std::vector<Edit> edits_;
};

}  // namespace quorvex
