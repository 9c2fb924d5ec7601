#pragma once
// What a write promises since it reads its result back before committing: the next load lists the
// same rows, at their old places moved by the change, with the saved script's new length and, for
// an insertion, the new definition row. Written independently of the writer's own check, so that
// each refusal can be shown to be needed and each accepted write to keep the promise.

#include <functional>
#include <optional>
#include <string>

#include "scene/scene_image.h"

namespace quorvex::fuzz {

struct ReadBackExpectation {
  // Where a byte of the old content lies in the new one.
  std::function<Pos(Pos)> moved;
  // An inserted definition row: the position of its length field in the new content.
  std::optional<Pos> newRowLengthPos;
  // A saved script: its length field in the old content, and the new text.
  std::optional<Pos> savedScriptLengthPos;
  ByteString savedText;
};

// The first way in which `after`, scanned as a fresh load scans it, differs from `before` as
// `expected` describes; nothing when it reads back as promised. A `before` that a fresh load
// cannot read at all also counts as a difference (nothing can be promised about it).
std::optional<std::string> ReadBackDifference(const SceneImage& before, const SceneImage& after,
                                              const ReadBackExpectation& expected);

}  // namespace quorvex::fuzz
