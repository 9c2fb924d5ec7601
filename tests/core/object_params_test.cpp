// The object parameter scan: first match wins, models, hooks, damaged objects, and the
// fast scan against the literal reference.

#include "scene/object_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "scene/catalogue.h"
#include "support/literal_scans.h"
#include "support/same_results.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"

namespace quorvex::testing {
namespace {

std::vector<ByteString> RowNames(const Bytes& bytes) {
  auto c = ScanCatalogue(SceneImage(bytes));
  std::vector<ByteString> names;
  if (c.ok())
    for (const auto& row : c->rows) names.push_back(row.name);
  return names;
}

ObjectScanResult ScanBoth(const Bytes& bytes, const std::vector<ByteString>& names) {
  int fastYields = 0, literalYields = 0;
  std::vector<int> fastProgress, literalProgress;
  ObjectScanHooks fastHooks{[&] { ++fastYields; }, [&](int v) { fastProgress.push_back(v); }};
  ObjectScanHooks literalHooks{[&] { ++literalYields; },
                               [&](int v) { literalProgress.push_back(v); }};
  auto fast = ScanObjectParameters(SceneImage(bytes), names, fastHooks).value();
  auto literal = LiteralScanObjectParameters(MemorySource(bytes), names, literalHooks);
  EXPECT_EQ(ObjectScanDifference(fast, literal), "");
  EXPECT_EQ(fastYields, literalYields);
  EXPECT_EQ(fastProgress, literalProgress);
  return fast;
}

TEST(ObjectParams, DemoScene) {
  const SceneSpec spec = DemoSceneSpec();
  const Bytes bytes = BuildScene(spec);
  int yields = 0;
  std::vector<int> progress;
  const auto names = RowNames(bytes);
  auto result = ScanObjectParameters(SceneImage(bytes), names,
                                     {[&] { ++yields; }, [&](int v) { progress.push_back(v); }})
                    .value();
  ScanBoth(bytes, names);
  EXPECT_TRUE(result.sectionFound);
  EXPECT_FALSE(result.error.has_value());
  EXPECT_EQ(yields, static_cast<int>(spec.objects.size()));  // once per child
  // TriggerBox has no definition row: 10 of the 11 objects match.
  ASSERT_EQ(result.matches.size(), 10u);
  EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  const auto& brenna = result.matches[1];
  EXPECT_EQ(brenna.name, "Brenna");
  EXPECT_EQ(brenna.row, 1);
  EXPECT_EQ(brenna.translation[0], 14.0f);
  EXPECT_EQ(brenna.translation[2], -31.5f);
  EXPECT_EQ(brenna.rotationA(), 0.70710677f);
  EXPECT_EQ(brenna.rotationC(), 0.70710677f);
  EXPECT_EQ(brenna.model, ByteString("Brenna.i3d"));
  // The translation position: marker + 29 + N.
  const SceneImage image(bytes);
  EXPECT_EQ(*image.floatAt(brenna.translationPos), 14.0f);
  EXPECT_TRUE(image.markerAt(brenna.translationPos - 6, marker::kTranslation));
  const auto& barrel = result.matches[8];
  EXPECT_EQ(barrel.model, ByteString("xbarel 2.i3d"));
  EXPECT_EQ(barrel.size[1], 1.5f);
}

SceneObject Object(ByteString name, float x, std::optional<ByteString> model) {
  SceneObject o;
  o.name = std::move(name);
  o.translation[0] = x;
  o.model = std::move(model);
  return o;
}

TEST(ObjectParams, FirstMatchingRowWins) {
  SceneSpec spec;
  spec.objects = {Object("Car", 1, "car.i3d"), Object("Car", 2, std::nullopt),
                  Object("Box", 3, "box.i3d")};
  const Bytes bytes = BuildScene(spec);
  // Two rows with the same text: only the lower index gets the values; both objects match it.
  const auto result = ScanBoth(bytes, {"Box", "Car", "Car", "init"});
  ASSERT_EQ(result.matches.size(), 3u);
  EXPECT_EQ(result.matches[0].row, 1);
  EXPECT_EQ(result.matches[1].row, 1);
  EXPECT_EQ(result.matches[1].translation[0], 2.0f);
  EXPECT_FALSE(result.matches[1].model.has_value());  // the row keeps the earlier model
  EXPECT_EQ(result.matches[2].row, 0);
  // Names compare exactly, case-sensitively.
  EXPECT_TRUE(ScanBoth(bytes, {"car", "box", "Car "}).matches.empty());
  // No rows: nothing matches.
  EXPECT_TRUE(ScanBoth(bytes, {}).matches.empty());
}

TEST(ObjectParams, ModelNeedsBothI3dAndTheMarker) {
  SceneSpec spec;
  spec.objects = {Object("upper", 1, "CAR.I3D"), Object("plain", 2, "car.i3d")};
  Bytes bytes = BuildScene(spec);
  auto result = ScanBoth(bytes, {"upper", "plain"});
  ASSERT_EQ(result.matches.size(), 2u);
  EXPECT_FALSE(result.matches[0].model.has_value());  // 12 20 but no ".i3d"
  EXPECT_EQ(result.matches[1].model, ByteString("car.i3d"));
  // ".i3d" without 12 20: change the model marker of "plain" to 12 21.
  const SceneImage image(bytes);
  const Pos p = result.matches[1].translationPos;
  for (Pos i = p + 52; i < image.length(); ++i) {
    if (bytes[i - 1] == 0x12 && bytes[i] == 0x20) {
      bytes[i] = 0x21;
      break;
    }
  }
  result = ScanBoth(bytes, {"upper", "plain"});
  EXPECT_FALSE(result.matches[1].model.has_value());
}

TEST(ObjectParams, SkipsChildrenWithoutName) {
  SceneSpec spec;
  spec.objects = {Object("a", 1, std::nullopt), Object("b", 2, std::nullopt)};
  Bytes bytes = BuildScene(spec);
  // Break the first object's name marker: it is skipped by its length.
  const auto h = FindObjectsSection(SceneImage(bytes));
  ASSERT_TRUE(h.has_value());
  const Pos m = *h + 6;
  ASSERT_EQ(bytes[m + 16 - 1], 0x10);
  bytes[m + 16 - 1] = 0x11;
  const auto result = ScanBoth(bytes, {"a", "b"});
  ASSERT_EQ(result.matches.size(), 1u);
  EXPECT_EQ(result.matches[0].name, "b");
}

TEST(ObjectParams, NoObjectsSection) {
  const Bytes bytes(100, 0x11);
  const auto result = ScanBoth(bytes, {"a"});
  EXPECT_FALSE(result.sectionFound);
  EXPECT_FALSE(result.error.has_value());
  EXPECT_FALSE(FindObjectsSection(SceneImage(bytes)).has_value());
  // 00 40 before position 5 is not seen.
  Bytes early = bytes;
  early[2] = 0x00;
  early[3] = 0x40;
  EXPECT_FALSE(FindObjectsSection(SceneImage(early)).has_value());
  early[4] = 0x00;
  early[5] = 0x40;
  EXPECT_EQ(FindObjectsSection(SceneImage(early)), 5);
}

Bytes WithInt32(Bytes bytes, Pos pos, std::int32_t value) {
  const Bytes v = Int32Bytes(value);
  std::copy(v.begin(), v.end(), bytes.begin() + (pos - 1));
  return bytes;
}

TEST(ObjectParams, DamagedObjectsKeepEarlierMatches) {
  SceneSpec spec;
  spec.objects = {Object("a", 1, "a.i3d"), Object("b", 2, "b.i3d"), Object("c", 3, "c.i3d")};
  const Bytes good = BuildScene(spec);
  const Pos h = *FindObjectsSection(SceneImage(good));
  const auto first = ScanBoth(good, {"a", "b", "c"});
  ASSERT_EQ(first.matches.size(), 3u);
  const Pos second = first.matches[1].translationPos - 29 - 1;  // marker of "b"
  // A child length of 0 or below: no progress; stop with Damaged, keeping "a".
  for (std::int32_t bad : {0, -1, -100}) {
    const auto r = ScanBoth(WithInt32(good, second + 2, bad), {"a", "b", "c"});
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->kind, ErrorKind::Damaged);
    EXPECT_EQ(r.matches.size(), 1u);
  }
  // A negative name length, or a name past the end.
  auto r = ScanBoth(WithInt32(good, second + 18, 3), {"a", "b", "c"});
  ASSERT_TRUE(r.error.has_value());
  r = ScanBoth(WithInt32(good, second + 18, 0x7FFFFFFF), {"a", "b", "c"});
  ASSERT_TRUE(r.error.has_value());
  // A section length past the end: the walk runs until a child's length lies outside the file.
  r = ScanBoth(WithInt32(good, h + 2, 0x7FFFFFFF), {"a", "b", "c"});
  EXPECT_EQ(r.matches.size(), 3u);
  // A model name length pointing outside the file: the model is not taken, no error.
  const Pos c = first.matches[2].translationPos;
  Pos model = 0;
  for (Pos i = c + 52; i + 1 <= static_cast<Pos>(good.size()); ++i)
    if (good[i - 1] == 0x12 && good[i] == 0x20) {
      model = i;
      break;
    }
  ASSERT_GT(model, 0);
  r = ScanBoth(WithInt32(good, model + 2, 0x7FFFFFFF), {"a", "b", "c"});
  EXPECT_FALSE(r.error.has_value());
  EXPECT_FALSE(r.matches[2].model.has_value());
  r = ScanBoth(WithInt32(good, model + 2, 2), {"a", "b", "c"});  // negative name length
  EXPECT_FALSE(r.matches[2].model.has_value());
  // Truncations everywhere: same as the literal scan, never out of bounds.
  for (std::size_t n = 0; n <= good.size(); ++n)
    ScanBoth(Bytes(good.begin(), good.begin() + n), {"a", "b", "c"});
}

TEST(ObjectParams, RandomScenesMatchTheLiteralScan) {
  std::mt19937 rng(77);
  for (int seed = 0; seed < 400; ++seed) {
    const Bytes bytes = GenerateScene(HostileSceneSpec(77000 + seed));
    SCOPED_TRACE("scene " + std::to_string(seed));
    std::vector<ByteString> names = RowNames(bytes);
    if (rng() % 3 == 0) names = {"Oskar", "Car", "Oskar", "", "Box"};
    ScanBoth(bytes, names);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace quorvex::testing
