// Reading through the block cache gives exactly what reading bytes in memory gives, and a source
// that fails part-way (a file made shorter by another program) is reported, never read past.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/scene_file.h"
#include "script/overview.h"
#include "script/script_files.h"
#include "support/same_results.h"
#include "support/scene_generator.h"

namespace quorvex {
namespace {

// Bytes in memory served only through readAt, as a file is: every read goes through the cache.
// Reads that reach `failFrom` fail, as reads of a file truncated there do.
class BlockSource final : public ByteSource {
 public:
  explicit BlockSource(const Bytes& bytes, std::uint64_t failFrom = UINT64_MAX)
      : bytes_(bytes), failFrom_(failFrom) {}
  std::uint64_t size() const override { return bytes_.size(); }
  Status readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    if (offset + out.size() > failFrom_) {
      return MakeError(ErrorKind::ChangedOnDisk, "the file became shorter while it was read");
    }
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return OkStatus();
  }

 private:
  const Bytes& bytes_;
  std::uint64_t failFrom_;
};

std::vector<ByteString> Names(const Result<Catalogue>& catalogue) {
  std::vector<ByteString> names;
  if (catalogue) {
    for (const auto& row : catalogue->rows) names.push_back(row.name);
  }
  return names;
}

TEST(ByteSource, ScansThroughTheBlockCacheEqualScansInMemory) {
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    testing::GeneratorSpec spec;
    spec.targetBytes = 1536 * 1024 + seed * 4099;  // several blocks, no block-aligned end
    spec.seed = seed;
    const Bytes scene = testing::GenerateScene(spec);
    const SceneImage memory(scene);
    const BlockSource source(scene);
    const SceneImage cached(source);

    std::vector<int> memoryProgress, cachedProgress;
    CatalogueHooks memoryHooks, cachedHooks;
    memoryHooks.progress = [&](int count) { memoryProgress.push_back(count); };
    cachedHooks.progress = [&](int count) { cachedProgress.push_back(count); };
    const auto a = ScanCatalogue(memory, {}, memoryHooks);
    const auto b = ScanCatalogue(cached, {}, cachedHooks);
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(testing::CatalogueDifference(a, b), "") << "seed " << seed;
    EXPECT_EQ(testing::SequenceDifference(memoryProgress, cachedProgress), "");
    EXPECT_EQ(testing::ObjectScanDifference(ScanObjectParameters(memory, Names(a)).value(),
                                            ScanObjectParameters(cached, Names(a)).value()),
              "");
    EXPECT_EQ(testing::ModelListDifference(ListSceneModels(memory).value(),
                                           ListSceneModels(cached).value()),
              "");
    EXPECT_EQ(
        testing::TextDifference(BuildScriptOverview(memory, *a), BuildScriptOverview(cached, *a)),
        "");
    EXPECT_FALSE(cached.readFailure());
  }
}

TEST(ByteSource, AFailedReadIsReportedByEveryReader) {
  testing::GeneratorSpec spec;
  spec.targetBytes = 1 << 20;
  const Bytes scene = testing::GenerateScene(spec);
  const auto catalogue = ScanCatalogue(SceneImage(scene));
  ASSERT_TRUE(catalogue.ok());
  const BlockSource truncated(scene, scene.size() / 2);

  const auto scanned = ScanCatalogue(SceneImage(truncated));
  ASSERT_FALSE(scanned.ok());
  EXPECT_EQ(scanned.error().kind, ErrorKind::ChangedOnDisk);
  // The objects section lies near the start.
  const BlockSource truncatedEarly(scene, 1000);
  const auto objects = ScanObjectParameters(SceneImage(truncatedEarly), Names(catalogue));
  ASSERT_FALSE(objects);
  EXPECT_EQ(objects.error().kind, ErrorKind::ChangedOnDisk);
  EXPECT_EQ(BuildScriptOverview(SceneImage(truncated), *catalogue).error().kind,
            ErrorKind::ChangedOnDisk);
  const SceneImage image(truncated);
  EXPECT_EQ(ListSceneModels(image).error().kind, ErrorKind::ChangedOnDisk);
  // Reading a name or a script again, after a scan, reports it as well.
  const auto end = static_cast<Pos>(scene.size());
  EXPECT_EQ(ModelNameText(SceneImage(truncated), {end - 8, 4}).error().kind,
            ErrorKind::ChangedOnDisk);
  const auto last = std::find_if(catalogue->rows.rbegin(), catalogue->rows.rend(),
                                 [](const CatalogueRow& row) { return row.scriptLength > 0; });
  EXPECT_EQ(ScriptTextOf(SceneImage(truncated), *last).error().kind, ErrorKind::ChangedOnDisk);
  // A copy keeps the failure, and so does the image it is moved into; the moved-from one is empty.
  SceneImage copy(image);
  EXPECT_TRUE(copy.readFailure());
  const SceneImage taken(std::move(copy));
  EXPECT_TRUE(taken.readFailure());
  EXPECT_FALSE(copy.readFailure());  // NOLINT(bugprone-use-after-move): that is the point
}

TEST(ByteSource, ModelNamesLongerThanAPathAreNotListed) {
  for (const auto& [before, listed] :
       std::vector<std::pair<std::size_t, bool>>{{256, true}, {257, false}, {5000, false}}) {
    ByteString text(before, 'a');
    text += ".i3d";
    const Bytes bytes(text.begin(), text.end());
    EXPECT_EQ(ListSceneModels(SceneImage(bytes))->size(), listed ? 1u : 0u) << before;
  }
  // Every ".i3d" of a long run of them names at most 260 bytes.
  ByteString repeated;
  for (int i = 0; i < 100000; ++i) repeated += ".i3d";
  const Bytes bytes(repeated.begin(), repeated.end());
  const auto names = ListSceneModels(SceneImage(bytes)).value();
  ASSERT_FALSE(names.empty());
  for (const auto& name : names) EXPECT_LE(name.length, kMaxModelNameLength);
}

}  // namespace
}  // namespace quorvex
