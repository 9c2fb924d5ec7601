#include "fuzz/seed_scenes.h"

#include "fuzz/fuzz_support.h"
#include "support/scene_generator.h"

namespace quorvex::fuzz {
namespace {

Bytes WithControl(const Bytes& scene, std::uint8_t a, std::uint8_t b) {
  Bytes out = scene;
  for (std::size_t i = 0; i < kControlBytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(i % 2 == 0 ? a + i : b + 3 * i));
  }
  return out;
}

}  // namespace

std::vector<Seed> SeedCorpus() {
  std::vector<Seed> seeds;
  for (const auto& scene : testing::EdgeCaseScenes()) {
    seeds.push_back({scene.name, scene.bytes});
    for (std::uint8_t mode = 0; mode < 3; ++mode) {
      seeds.push_back({scene.name + "-control-" + std::to_string(mode),
                       WithControl(scene.bytes, mode, static_cast<std::uint8_t>(7 * mode + 1))});
    }
  }
  return seeds;
}

}  // namespace quorvex::fuzz
