#include "scene/chunk_check.h"

#include <cstdio>
#include <utility>

#include "scene/markers.h"

namespace quorvex {
namespace {

std::string Hex(std::uint16_t m) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(m));
  return text;
}

std::string ByteCount(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// A chunk whose sub-chunks are walked: where its body lies and how it is named in messages.
struct Parent {
  std::optional<std::uint16_t> chunkMarker;  // absent for the root: its marker is never tested
  Pos bodyFirst = 0;                         // first position of the body
  Pos end = 0;                               // last position of the chunk
  std::string path;                          // "" for the root

  std::string name() const { return chunkMarker ? Hex(*chunkMarker) : "the root chunk"; }
};

// The children whose own sub-chunks are walked: the sections at the top level, objects in the
// objects section, definitions in the definition section.
bool WalkedInside(std::uint16_t m, const Parent& parent) {
  if (!parent.chunkMarker) {
    return m == marker::kObjectsSection || m == marker::kDefinitionSection ||
           m == marker::kScriptSection;
  }
  return (*parent.chunkMarker == marker::kObjectsSection && m == marker::kObject) ||
         (*parent.chunkMarker == marker::kDefinitionSection && m == marker::kDefinition);
}

class Walker {
 public:
  explicit Walker(const SceneImage& image) : image_(image) {}

  ChunkCheck run() {
    const Pos length = image_.length();
    if (length < marker::kHeaderSize) {
      fail(1, "root",
           "the file is " + ByteCount(length) +
               " long, too short for the root chunk's 6-byte header");
    } else if (const auto root = *image_.int32At(3); root != length) {
      fail(1, "root",
           "the root length at position 3 is " + std::to_string(root) + ", but the file is " +
               ByteCount(length) + " long");
    } else {
      walk(Parent{std::nullopt, 7, length, ""});
    }
    return std::move(result_);
  }

 private:
  void walk(const Parent& parent) {
    Pos pos = parent.bodyFirst;
    for (int index = 1; pos <= parent.end && !result_.damage; ++index) {
      const Pos room = parent.end - pos + 1;
      const auto m = room >= 2 ? std::optional<std::uint16_t>(MarkerAt(pos)) : std::nullopt;
      const std::string label = m ? Hex(*m) : std::string("?");
      const std::string here = join(parent.path, label + " #" + std::to_string(index));
      if (room < marker::kHeaderSize) {
        return fail(pos, here,
                    "only " + ByteCount(room) + " left before the end of " + parent.name() +
                        " at position " + std::to_string(parent.end) +
                        ", too few for a chunk header");
      }
      const std::int64_t length = *image_.int32At(pos + 2);
      if (length < marker::kHeaderSize) {
        return fail(pos, here,
                    "its length " + std::to_string(length) + " is shorter than its 6-byte header");
      }
      const Pos end = pos + length - 1;
      if (end > parent.end) {
        return fail(pos, here,
                    "its length " + std::to_string(length) + " runs " +
                        ByteCount(end - parent.end) + " past the end of " + parent.name() +
                        " at position " + std::to_string(parent.end));
      }
      count(*m, parent);
      if (WalkedInside(*m, parent)) {
        // A top-level section is named by its marker alone; deeper chunks by marker and index.
        walk(Parent{m, pos + marker::kHeaderSize, end, parent.chunkMarker ? here : label});
      }
      pos = end + 1;
    }
  }

  std::uint16_t MarkerAt(Pos pos) const {
    return static_cast<std::uint16_t>(*image_.byteAt(pos) | *image_.byteAt(pos + 1) << 8);
  }

  void count(std::uint16_t m, const Parent& parent) {
    if (!parent.chunkMarker) return;
    auto& counts = result_.counts;
    if (*parent.chunkMarker == marker::kObjectsSection && m == marker::kObject) ++counts.objects;
    if (*parent.chunkMarker == marker::kDefinitionSection && m == marker::kDefinition)
      ++counts.definitions;
    if (*parent.chunkMarker == marker::kScriptSection && m == marker::kScript) ++counts.scripts;
  }

  static std::string join(const std::string& path, const std::string& element) {
    return path.empty() ? element : path + " > " + element;
  }

  void fail(Pos position, std::string path, std::string problem) {
    result_.damage = ChunkFinding{position, std::move(path), std::move(problem)};
  }

  const SceneImage& image_;
  ChunkCheck result_;
};

}  // namespace

Result<ChunkCheck> CheckChunks(const SceneImage& image) {
  return CheckedRead(image, Result<ChunkCheck>(Walker(image).run()));
}

std::string FindingText(const ChunkFinding& finding) {
  return "damaged at position " + std::to_string(finding.position) + " (" + finding.path +
         "): " + finding.problem;
}

std::optional<std::string> DamageFinding(const SceneImage& image) {
  const auto check = CheckChunks(image);
  if (!check.ok() || !check->damage) return std::nullopt;
  return FindingText(*check->damage);
}

Error WithDamageFinding(const SceneImage& image, Error error) {
  if (error.kind != ErrorKind::Damaged) return error;
  if (const auto finding = DamageFinding(image)) error.message += " Chunk check: " + *finding + ".";
  return error;
}

}  // namespace quorvex
