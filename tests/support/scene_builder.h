#pragma once
// A small builder of scene files for tests, fuzz seeds, benchmarks and the demo scene.
//
// It writes chunks the way the game lays them out: a 2-byte marker (low byte first), a 32-bit
// length that counts the whole chunk with its 6 header bytes, then the body. A scene is a root
// chunk holding a few header chunks, the objects section 0x4000, the definition section 0xAE20
// right after it, and the script section 0xAE50.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scene/edit_plan.h"
#include "scene/scene_image.h"

namespace quorvex::testing {

// marker + length + body.
Bytes Chunk(std::uint16_t marker, const Bytes& body);
// A name sub-chunk: marker, length N + 7, the N name bytes, one zero byte.
Bytes NameChunk(std::uint16_t marker, const ByteString& name);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes ToBytes(const ByteString& text);

struct SceneObject {
  ByteString name;
  float translation[3] = {0, 0, 0};
  float rotationA = 0.0f;
  std::uint32_t rotationB = 0;
  float rotationC = 1.0f;
  std::uint32_t rotationD = 0;
  float size[3] = {1, 1, 1};
  std::optional<ByteString> model;  // 0x2012 chunk when present
  std::uint32_t type = 9;
};
// A 0x4010 scene object chunk.
Bytes ObjectChunk(const SceneObject& object);

struct Definition {
  ByteString name;
  std::uint32_t kind = 27;  // 6 and 18 are not listed by the catalogue
  // The script, written as 01 00 00 00 00, its 32-bit length and the text. When absent the
  // parameters hold 05 00 00 00 00 (no script), unless `rawParams` is given.
  std::optional<ByteString> script;
  std::optional<Bytes> rawParams;  // the whole 0xAE24 body, overriding the above
  Bytes paramsPrefix = {0x06, 0x80, 0x00, 0x00, 0x00};  // bytes before the script pattern
};
// A 0xAE21 definition chunk: 0xAE23 name, 0xAE22 kind, 0xAE24 parameters.
Bytes DefinitionChunk(const Definition& definition);

struct StandaloneScript {
  ByteString name;
  ByteString text;
  std::uint8_t unreadByte = 0x00;  // the byte at offset 6 that the catalogue never reads
};
// A 0xAE51 standalone script chunk.
Bytes ScriptChunk(const StandaloneScript& script);

struct SceneSpec {
  std::uint16_t rootMarker = 0x4C53;
  std::vector<Bytes> headerChunks;  // before the objects section (must hold no 00 40 pair)
  std::vector<SceneObject> objects;
  std::vector<Definition> definitions;
  std::vector<StandaloneScript> scripts;
  std::vector<Bytes> trailerChunks;  // after the script section
  bool withObjectsSection = true;
  bool withDefinitionSection = true;
  bool withScriptSection = true;
};

// Header chunks that look like a mission's first chunks and hold no 00 40 pair.
std::vector<Bytes> DefaultHeaderChunks();

Bytes BuildScene(const SceneSpec& spec);

// A mission-like scene: people, cars and things with models, definitions with and without
// scripts, definitions of kind 6 and 18, and multi-line CR LF standalone scripts.
SceneSpec DemoSceneSpec();

// The whole new content that `plan` makes of `original`, in memory (the writer streams it to the
// file instead): what tests and fuzz targets compare the file with.
Bytes Applied(const EditPlan& plan, std::span<const std::uint8_t> original);

// Writes bytes to a file (tests).
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

}  // namespace quorvex::testing
