// The chunk check: sound generated scenes pass with their counts; every kind of length field off by
// one is reported at the first place where the lengths stop fitting. Also the SHA-256 that
// fingerprints exported scenes and scripts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/chunk_check.h"
#include "scene/markers.h"
#include "scene/sha256.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"

namespace quorvex::testing {
namespace {

ChunkCounts CountsOf(const SceneSpec& spec) {
  return {static_cast<int>(spec.objects.size()), static_cast<int>(spec.definitions.size()),
          static_cast<int>(spec.scripts.size())};
}

TEST(ChunkCheck, SoundScenesPassWithTheirCounts) {
  const std::vector<SceneSpec> specs = {DemoSceneSpec(),
                                        testing::GenerateSceneSpec(testing::SmallSceneSpec())};
  for (const auto& spec : specs) {
    const Bytes bytes = BuildScene(spec);
    const auto check = CheckChunks(SceneImage(bytes));
    ASSERT_TRUE(check.ok());
    ASSERT_FALSE(check->damage) << FindingText(*check->damage);
    EXPECT_EQ(check->counts.objects, CountsOf(spec).objects);
    EXPECT_EQ(check->counts.definitions, CountsOf(spec).definitions);
    EXPECT_EQ(check->counts.scripts, CountsOf(spec).scripts);
    EXPECT_FALSE(DamageFinding(SceneImage(bytes)));
  }
}

// Positions (1-based) of the chunks of a small scene, from the builder's pieces.
struct Layout {
  Bytes bytes;
  Pos objects, object1, object2, model2;  // model2: the last sub-chunk (0x2012) of object 2
  Pos definitions, definition1, definition2, params2;  // params2: 0xAE24 of definition 2
  Pos scripts, script2, trailer;

  Pos LengthOf(Pos chunk) const { return *SceneImage(bytes).int32At(chunk + 2); }
  Pos EndOf(Pos chunk) const { return chunk + LengthOf(chunk) - 1; }
};

Layout SmallScene() {
  SceneSpec spec;
  spec.headerChunks = DefaultHeaderChunks();
  SceneObject a, b;
  a.name = "lamp";
  a.model = "lamp.i3d";
  b.name = "door";
  b.model = "door.i3d";
  spec.objects = {a, b};
  Definition d1, d2;
  d1.name = "lamp";
  d1.script = "fin\r\n";
  d2.name = "door";
  d2.script = "open\r\nfin\r\n";
  spec.definitions = {d1, d2};
  spec.scripts = {{"start", "go\r\n"}, {"stop", "halt\r\n"}};
  spec.trailerChunks = {Chunk(0xAE40, Bytes{7, 0, 0, 0})};

  Layout l;
  l.bytes = BuildScene(spec);
  Pos p = 7;
  for (const auto& header : spec.headerChunks) p += static_cast<Pos>(header.size());
  l.objects = p;
  l.object1 = p + 6;
  l.object2 = l.object1 + static_cast<Pos>(ObjectChunk(a).size());
  l.model2 = l.object2 + static_cast<Pos>(ObjectChunk(b).size()) - (7 + 8);
  l.definitions = l.objects + l.LengthOf(l.objects);
  l.definition1 = l.definitions + 6;
  l.definition2 = l.definition1 + static_cast<Pos>(DefinitionChunk(d1).size());
  l.params2 = l.definition2 + 6 + (4 + 7) + 10;
  l.scripts = l.definitions + l.LengthOf(l.definitions);
  l.script2 = l.scripts + 6 + static_cast<Pos>(ScriptChunk(spec.scripts[0]).size());
  l.trailer = l.scripts + l.LengthOf(l.scripts);
  return l;
}

TEST(ChunkCheck, SmallSceneLayoutIsWhatTheCasesAssume) {
  const auto l = SmallScene();
  const SceneImage image(l.bytes);
  EXPECT_TRUE(image.markerAt(l.object2, marker::kObject));
  EXPECT_TRUE(image.markerAt(l.model2, marker::kModel));
  EXPECT_EQ(l.EndOf(l.model2), l.EndOf(l.object2));
  EXPECT_TRUE(image.markerAt(l.params2, marker::kDefinitionParams));
  EXPECT_EQ(l.EndOf(l.params2), l.EndOf(l.definition2));
  EXPECT_TRUE(image.markerAt(l.script2, marker::kScript));
  EXPECT_TRUE(image.markerAt(l.trailer, 0xAE40));
  EXPECT_EQ(l.EndOf(l.trailer), image.length());
}

TEST(ChunkCheck, EachKindOfLengthOffByOne) {
  const auto l = SmallScene();
  struct Case {
    const char* what;
    Pos chunk;  // the chunk whose length field is changed
    int delta;
    Pos position;  // where the check must report it
    std::string path;
  };
  const std::vector<Case> cases = {
      {"root longer", 1, +1, 1, "root"},
      {"root shorter", 1, -1, 1, "root"},
      {"objects section longer", l.objects, +1, l.definitions, "0x4000 > ? #3"},
      {"objects section shorter", l.objects, -1, l.object2, "0x4000 > 0x4010 #2"},
      {"object longer", l.object1, +1, l.object2, "0x4000 > 0x4010 #1 > ? #9"},
      {"object shorter", l.object2, -1, l.model2, "0x4000 > 0x4010 #2 > 0x2012 #8"},
      {"object sub-chunk longer", l.model2, +1, l.model2, "0x4000 > 0x4010 #2 > 0x2012 #8"},
      {"object sub-chunk shorter", l.model2, -1, l.EndOf(l.model2), "0x4000 > 0x4010 #2 > ? #9"},
      {"definition section longer", l.definitions, +1, l.scripts, "0xAE20 > ? #3"},
      {"definition section shorter", l.definitions, -1, l.definition2, "0xAE20 > 0xAE21 #2"},
      {"definition longer", l.definition1, +1, l.definition2, "0xAE20 > 0xAE21 #1 > ? #4"},
      {"definition shorter", l.definition2, -1, l.params2, "0xAE20 > 0xAE21 #2 > 0xAE24 #3"},
      {"parameters longer", l.params2, +1, l.params2, "0xAE20 > 0xAE21 #2 > 0xAE24 #3"},
      {"parameters shorter", l.params2, -1, l.EndOf(l.params2), "0xAE20 > 0xAE21 #2 > ? #4"},
      {"script section longer", l.scripts, +1, l.trailer, "0xAE50 > ? #3"},
      {"script section shorter", l.scripts, -1, l.script2, "0xAE50 > 0xAE51 #2"},
      {"script longer", l.script2, +1, l.script2, "0xAE50 > 0xAE51 #2"},
      {"script shorter", l.script2, -1, l.EndOf(l.script2), "0xAE50 > ? #3"},
      {"last top-level chunk longer", l.trailer, +1, l.trailer, "0xAE40 #7"},
      {"last top-level chunk shorter", l.trailer, -1, l.EndOf(l.trailer), "? #8"},
  };
  for (const auto& c : cases) {
    Bytes bytes = l.bytes;
    const auto lengthField = static_cast<std::size_t>(c.chunk + 1);  // 0-based offset of chunk + 2
    const auto length = *SceneImage(bytes).int32At(c.chunk + 2);
    const Bytes changed = Int32Bytes(length + c.delta);
    std::copy(changed.begin(), changed.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(lengthField));
    const auto check = CheckChunks(SceneImage(bytes));
    ASSERT_TRUE(check.ok()) << c.what;
    ASSERT_TRUE(check->damage) << c.what;
    EXPECT_EQ(check->damage->position, c.position) << c.what << ": " << FindingText(*check->damage);
    EXPECT_EQ(check->damage->path, c.path) << c.what << ": " << FindingText(*check->damage);
  }
}

TEST(ChunkCheck, ShortAndTinyChunks) {
  auto l = SmallScene();
  const Bytes zero = Int32Bytes(0);
  std::copy(zero.begin(), zero.end(), l.bytes.begin() + static_cast<std::ptrdiff_t>(l.object2 + 1));
  const auto check = CheckChunks(SceneImage(l.bytes));
  ASSERT_TRUE(check.ok() && check->damage);
  EXPECT_EQ(FindingText(*check->damage),
            "damaged at position " + std::to_string(l.object2) +
                " (0x4000 > 0x4010 #2): its length 0 is shorter than its 6-byte header");
  const Bytes tiny = {0x53, 0x4C, 0x05};
  EXPECT_EQ(*DamageFinding(SceneImage(tiny)),
            "damaged at position 1 (root): the file is 3 bytes long, too short for the root "
            "chunk's 6-byte header");
}

TEST(ChunkCheck, DamagedErrorsCarryTheFinding) {
  auto l = SmallScene();
  l.bytes[static_cast<std::size_t>(l.object2 + 1)] ^= 0x40;
  const SceneImage image(l.bytes);
  const auto damaged = WithDamageFinding(image, MakeError(ErrorKind::Damaged, "Scan refused."));
  EXPECT_EQ(damaged.message.rfind("Scan refused. Chunk check: damaged at position " +
                                      std::to_string(l.object2) + " (0x4000 > 0x4010 #2)",
                                  0),
            0u)
      << damaged.message;
  EXPECT_EQ(WithDamageFinding(image, MakeError(ErrorKind::Locked, "x")).message, "x");
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // A million 'a' in pieces of every size from 1 to 130 bytes, crossing block borders.
  Sha256 hash;
  const std::string a(130, 'a');
  std::size_t fed = 0;
  for (std::size_t piece = 1; fed < 1000000; piece = piece % 130 + 1) {
    const auto n = std::min(piece, 1000000 - fed);
    hash.update(std::string_view(a.data(), n));
    fed += n;
  }
  EXPECT_EQ(hash.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  const Bytes scene = BuildScene(DemoSceneSpec());
  EXPECT_EQ(*SceneSha256(SceneImage(scene)),
            Sha256Hex(std::string_view(reinterpret_cast<const char*>(scene.data()), scene.size())));
}

}  // namespace
}  // namespace quorvex::testing
