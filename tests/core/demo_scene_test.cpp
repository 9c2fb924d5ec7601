// The committed demo scene is the scene builder's output (regenerate it with
//   make_demo_scene samples/demo/scene2.bin
// after changing DemoSceneSpec), and it lists sensibly.

#include <gtest/gtest.h>

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "support/scene_builder.h"

namespace quorvex::testing {
namespace {

TEST(DemoScene, CommittedFileEqualsTheBuilder) {
  const Bytes committed = ReadFile(QUORVEX_DEMO_SCENE);
  const Bytes built = BuildScene(DemoSceneSpec());
  EXPECT_EQ(committed.size(), built.size());
  EXPECT_TRUE(committed == built)
      << "samples/demo/scene2.bin is stale: run make_demo_scene samples/demo/scene2.bin";
}

TEST(DemoScene, LooksLikeAMission) {
  const Bytes bytes = ReadFile(QUORVEX_DEMO_SCENE);
  const SceneImage image(bytes);
  // The root length covers the file.
  EXPECT_EQ(*image.int32At(3), static_cast<std::int32_t>(bytes.size()));
  auto c = ScanCatalogue(image);
  ASSERT_TRUE(c.ok());
  int ticked = 0, standalone = 0;
  for (const auto& row : c->rows) {
    ticked += row.checked;
    standalone += row.standalone;
  }
  EXPECT_GE(c->rows.size(), 10u);
  EXPECT_GE(ticked, 6);
  EXPECT_GE(standalone, 3);
  EXPECT_GT(c->firstStandaloneScriptRow, 0);
  std::vector<ByteString> names;
  for (const auto& row : c->rows) names.push_back(row.name);
  const auto objects = ScanObjectParameters(image, names).value();
  EXPECT_FALSE(objects.error.has_value());
  EXPECT_GE(objects.matches.size(), 8u);
  EXPECT_GE(ListSceneModels(image)->size(), 8u);
}

}  // namespace
}  // namespace quorvex::testing
