#pragma once
// The chunk check: walks the scene's chunk tree by its lengths alone and reports the first place
// where the lengths do not fit together, so that a modder who damaged a scene by hand knows where
// to look.
//
// What must hold: the root length (position 3) equals the file length; the top-level chunks fill
// the root's body exactly; inside the sections 0x4000, 0xAE20 and 0xAE50, and inside each object
// 0x4010 (a child of 0x4000) and each definition 0xAE21 (a child of 0xAE20), the sub-chunks fill
// their parent exactly. Every chunk is at least its 6 header bytes long. The bodies of other chunks
// (0xAE51 and 0xAE24 among them) are not walked.

#include <optional>
#include <string>

#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

struct ChunkFinding {
  Pos position = 1;  // 1-based position of the offending chunk (of its marker)
  // The markers leading to it below the root, e.g. "0x4000 > 0x4010 #17": each chunk that is not a
  // top-level section carries its 1-based index within its parent, and so does the offending
  // chunk; "root" for the root chunk itself.
  std::string path;
  std::string problem;  // what does not fit, in words
};

struct ChunkCounts {
  int objects = 0;      // 0x4010 children of 0x4000
  int definitions = 0;  // 0xAE21 children of 0xAE20
  int scripts = 0;      // 0xAE51 children of 0xAE50
};

struct ChunkCheck {
  std::optional<ChunkFinding> damage;  // the first inconsistency; absent when the tree is sound
  ChunkCounts counts;                  // what was walked (complete only without damage)
};

// Fails only with the image's read failure.
Result<ChunkCheck> CheckChunks(const SceneImage& image);

// "damaged at position P (PATH): PROBLEM"
std::string FindingText(const ChunkFinding& finding);

// The finding's text when the chunk walk finds the scene damaged; absent when the tree is sound or
// could not be read.
std::optional<std::string> DamageFinding(const SceneImage& image);

// A Damaged error with the chunk walk's finding added, so that its message says where to look;
// other errors, or a scene whose tree is sound, unchanged.
Error WithDamageFinding(const SceneImage& image, Error error);

}  // namespace quorvex
