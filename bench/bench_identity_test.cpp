// The benchmark scenes and the literal scans the benchmarks measure against: the fast scans must
// give exactly the literal results on generated scenes, also when read through one system call
// per window (as the figures time them), and on truncated and corrupted copies of them. Run with
// the tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "literal_timings.h"
#include "scene/catalogue.h"
#include "support/identity_check.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"
#include "support/scratch_folder.h"

namespace quorvex::testing {
namespace {

GeneratorSpec TinySpec(std::uint64_t seed) {
  GeneratorSpec spec;
  spec.targetBytes = 160 * 1024;
  spec.rows = 90;
  spec.standaloneScripts = 9;
  spec.extraObjects = 40;
  spec.unlistedDefinitions = 6;
  spec.seed = seed;
  return spec;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

TEST(BenchScenes, HaveTheRequestedSizeRowsAndBytesForEverySeed) {
  const GeneratorSpec spec = TinySpec(7);
  const Bytes scene = GenerateScene(spec);
  EXPECT_EQ(scene.size(), spec.targetBytes);
  EXPECT_EQ(scene, GenerateScene(spec));  // deterministic
  EXPECT_NE(scene, GenerateScene(TinySpec(8)));

  const auto catalogue = ScanCatalogue(SceneImage(scene));
  ASSERT_TRUE(catalogue.ok()) << catalogue.error().message;
  ASSERT_EQ(catalogue->rows.size(), static_cast<std::size_t>(spec.rows));
  EXPECT_EQ(catalogue->firstStandaloneScriptRow, spec.rows - spec.standaloneScripts);
  int ticked = 0;
  for (const auto& row : catalogue->rows) ticked += row.checked ? 1 : 0;
  EXPECT_GT(ticked, spec.rows / 2);
  EXPECT_LT(ticked, spec.rows);  // definitions without script and the empty standalone script
}

TEST(BenchScenes, TheWindowSceneFillsTheCatalogueWithoutOverflowingIt) {
  GeneratorSpec spec = MediumSceneSpec();
  spec.targetBytes = 4u << 20;  // the same rows on a quarter of the bytes keeps the test quick
  const auto catalogue = ScanCatalogue(SceneImage(GenerateScene(spec)));
  ASSERT_TRUE(catalogue.ok()) << catalogue.error().message;
  EXPECT_EQ(catalogue->rows.size(), 5000u);
}

TEST(BenchIdentity, FastScansEqualTheLiteralScansInMemoryAndThroughFileReads) {
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    const Bytes scene = GenerateScene(TinySpec(seed));
    const ScratchFolder folder("quorvex-bench-identity");
    WriteFile((folder / "whole.bin").string(), scene);
    bench::LiteralFileTimings timings;
    const auto differences = bench::TimedIdentityDifferences(scene, folder / "whole.bin", timings);
    EXPECT_TRUE(differences.empty()) << "seed " << seed << "\n" << Joined(differences);
    // The literal file figures time reads of the file: the listing reads every byte on its own.
    EXPECT_GE(timings.listingReads, scene.size());
  }
}

TEST(BenchIdentity, FastScansEqualTheLiteralScansOnTruncatedScenes) {
  const Bytes scene = GenerateScene(TinySpec(4));
  // Cuts inside the header, the objects section, a definition, a script and near the end.
  for (std::size_t cut : {std::size_t{3}, std::size_t{40}, std::size_t{5000}, scene.size() / 3,
                          scene.size() / 2 + 17, scene.size() - 5, scene.size() - 1}) {
    const Bytes truncated(scene.begin(), scene.begin() + static_cast<std::ptrdiff_t>(cut));
    const auto differences = IdentityDifferences(truncated);
    EXPECT_TRUE(differences.empty()) << "cut at " << cut << "\n" << Joined(differences);
  }
}

TEST(BenchIdentity, FastScansEqualTheLiteralScansOnCorruptedLengths) {
  const Bytes scene = GenerateScene(TinySpec(5));
  const auto catalogue = ScanCatalogue(SceneImage(scene));
  ASSERT_TRUE(catalogue.ok());
  // Overwrite length fields the scans rely on with hostile values: zero, negative, huge, small.
  std::vector<Pos> fields;
  for (std::size_t i = 0; i < catalogue->rows.size(); i += 17) {
    const auto& row = catalogue->rows[i];
    fields.push_back(row.entryLengthPos);
    if (row.scriptLengthPos) fields.push_back(*row.scriptLengthPos);
    if (row.scriptChunkLengthPos) fields.push_back(*row.scriptChunkLengthPos);
  }
  for (Pos at : fields) {
    for (std::int32_t value : {0, -7, 3, 0x7FFFFFFF, -0x7FFFFFFF}) {
      Bytes damaged = scene;
      const Bytes field = Int32Bytes(value);
      std::copy(field.begin(), field.end(), damaged.begin() + (at - 1));
      const auto differences = IdentityDifferences(damaged);
      EXPECT_TRUE(differences.empty()) << "value " << value << " at " << at << "\n"
                                       << Joined(differences);
    }
  }
}

}  // namespace
}  // namespace quorvex::testing
