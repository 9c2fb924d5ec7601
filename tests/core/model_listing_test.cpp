// The model listing: the name-byte rule, the walk back, duplicates, the end of the
// file, progress values, and the fast listing against the literal one.

#include "objects/model_listing.h"

#include <gtest/gtest.h>

#include <random>

#include "support/literal_scans.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"

namespace quorvex::testing {
namespace {

std::vector<ByteString> List(const Bytes& bytes, std::vector<int>* progress = nullptr,
                             int* yields = nullptr) {
  const SceneImage image(bytes);
  ModelListingHooks hooks;
  std::vector<int> values;
  hooks.progress = [&](int v) { values.push_back(v); };
  if (yields) hooks.yield = [yields] { ++*yields; };
  const auto names = ListSceneModels(image, hooks).value();
  std::vector<int> literalValues;
  const auto literal = LiteralListSceneModels(MemorySource(bytes), &literalValues);
  EXPECT_EQ(values, literalValues);
  EXPECT_EQ(names.size(), literal.size());
  std::vector<ByteString> out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i < literal.size()) {
      EXPECT_EQ(names[i].start, literal[i].start);
      EXPECT_EQ(names[i].length, literal[i].length);
    }
    out.push_back(*ModelNameText(image, names[i]));
  }
  if (progress) *progress = values;
  return out;
}

Bytes B(const ByteString& s) {
  return ToBytes(s);
}

TEST(ModelListing, NameByteRule) {
  // The zero byte stops the walk; the blank belongs to the name.
  EXPECT_EQ(List(B(ByteString("\0xbarel 2.i3d\0", 14))), std::vector<ByteString>{"xbarel 2.i3d"});
  // A double quote or the byte 22 (0x16) stops it.
  EXPECT_EQ(List(B("ab\"car.i3d\0")), std::vector<ByteString>{"car.i3d"});
  EXPECT_EQ(List(B("ab\x16"
                   "car.i3d\0")),
            std::vector<ByteString>{"car.i3d"});
  // Bytes 20, 21 and 23 .. 31 (decimal) belong to names; 19 and 127 do not.
  EXPECT_EQ(List(B("\x13\x14"
                   "a.i3d")),
            std::vector<ByteString>{"\x14"
                                    "a.i3d"});
  EXPECT_EQ(List(B("\x13\x15"
                   "a.i3d")),
            std::vector<ByteString>{"\x15"
                                    "a.i3d"});
  EXPECT_EQ(List(B("\x13\x17\x1F"
                   "a.i3d")),
            std::vector<ByteString>{"\x17\x1F"
                                    "a.i3d"});
  EXPECT_EQ(List(B("x\x7F"
                   "a.i3d")),
            std::vector<ByteString>{"a.i3d"});
  EXPECT_EQ(List(B("x\x80"
                   "a.i3d")),
            std::vector<ByteString>{"a.i3d"});
  EXPECT_EQ(List(B("x~a.i3d")), std::vector<ByteString>{"x~a.i3d"});
  for (int b = 0; b < 256; ++b) {
    const bool nameByte = !(b < 20 || b > 126 || b == 22 || b == 34);
    EXPECT_EQ(IsModelNameByte(static_cast<std::uint8_t>(b)), nameByte) << b;
  }
}

TEST(ModelListing, CaseDuplicatesAndOverlaps) {
  EXPECT_TRUE(List(B("\0car.I3D\0car.I3d\0")).empty());
  EXPECT_EQ(List(B(ByteString("\0a.i3d\0a.i3d\0", 13))),
            (std::vector<ByteString>{"a.i3d", "a.i3d"}));
  // After a find the listing continues after its "d": ".i3d.i3d" gives the name twice, the second
  // time with the first one in front.
  EXPECT_EQ(List(B(ByteString("\0x.i3d.i3d", 10))),
            (std::vector<ByteString>{"x.i3d", "x.i3d.i3d"}));
  // ".i3.i3d": the first dot does not match, the second does.
  EXPECT_EQ(List(B(ByteString("\0x.i3.i3d", 9))), std::vector<ByteString>{"x.i3.i3d"});
}

TEST(ModelListing, FileEdges) {
  // A dot among the last three bytes: no match, no read past the end.
  for (const char* s : {".i3", "x.i", "ab.", ".", "", "i3d"}) EXPECT_TRUE(List(B(s)).empty()) << s;
  // A name at the very start: the walk back stops at position 1.
  EXPECT_EQ(List(B("car.i3d")), std::vector<ByteString>{"car.i3d"});
  EXPECT_EQ(List(B(".i3d")), std::vector<ByteString>{".i3d"});
  // A name ending the file.
  EXPECT_EQ(List(B(ByteString("\0z.i3d", 6))), std::vector<ByteString>{"z.i3d"});
  const auto names = ListSceneModels(SceneImage(B("car.i3d"))).value();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].start, 1);
  EXPECT_EQ(names[0].length, 7);
}

TEST(ModelListing, ProgressValues) {
  std::vector<int> progress;
  List(Bytes(1000, 0), &progress);
  ASSERT_EQ(progress.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(progress[static_cast<std::size_t>(i)], i + 1);
  // An empty file: only the first 1.
  List(Bytes{}, &progress);
  EXPECT_EQ(progress, std::vector<int>{1});
  // Positions skipped after a find (the three bytes "i3d") take no progress turn; tiny files give
  // a step below one position.
  for (std::size_t n = 1; n < 40; ++n) {
    Bytes bytes(n, 'a');
    for (std::size_t i = 0; i + 4 <= n; i += 5) std::copy_n(".i3d", 4, bytes.begin() + i);
    List(bytes);
  }
}

TEST(ModelListing, DemoScene) {
  const auto names = List(BuildScene(DemoSceneSpec()));
  EXPECT_EQ(names, (std::vector<ByteString>{"Oskar.i3d", "Brenna.i3d", "Vel.i3d", "Sarah2LOW.i3d",
                                            "PoliceMan01.i3d", "blackha00.i3d", "Truck02.i3d",
                                            "polimTud00.i3d", "xbarel 2.i3d", "crate01.i3d"}));
}

TEST(ModelListing, LargeFileAcrossBlocks) {
  // Names across the 256 KiB blocks in which the listing yields, and long runs of name bytes.
  std::mt19937 rng(5);
  Bytes bytes(700 * 1024);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 4 ? 'a' + rng() % 26 : rng() % 256);
  for (std::size_t at :
       {std::size_t{256 * 1024 - 2}, std::size_t{512 * 1024 - 1}, std::size_t{512 * 1024 - 4},
        std::size_t{3}, bytes.size() - 4, bytes.size() - 9}) {
    std::copy_n(".i3d", 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
  }
  for (int i = 0; i < 300; ++i) {
    std::copy_n(".i3d", 4, bytes.begin() + static_cast<std::ptrdiff_t>(rng() % (bytes.size() - 4)));
  }
  int yields = 0;
  std::vector<int> progress;
  const auto names = List(bytes, &progress, &yields);
  EXPECT_GE(names.size(), 250u);
  EXPECT_EQ(yields, 2);  // 700 KiB: after the first and the second 256 KiB
  EXPECT_EQ(progress.back(), 100);
}

TEST(ModelListing, RandomScenesMatchTheLiteralListing) {
  for (int seed = 0; seed < 300; ++seed) {
    const Bytes bytes = GenerateScene(HostileSceneSpec(99000 + seed));
    SCOPED_TRACE("scene " + std::to_string(seed));
    List(bytes);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace quorvex::testing
