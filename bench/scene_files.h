#pragma once
// The benchmark scenes and their file names in the scenes folder.

#include <string>
#include <vector>

#include "support/scene_generator.h"

namespace quorvex::bench {

struct BenchScene {
  std::string label;     // "1 MiB"
  std::string fileName;  // "scene_1MiB.bin"
  testing::GeneratorSpec spec;
};

inline std::vector<BenchScene> BenchScenes() {
  return {{"1 MiB", "scene_1MiB.bin", testing::SmallSceneSpec()},
          {"16 MiB", "scene_16MiB.bin", testing::MediumSceneSpec()},
          {"64 MiB", "scene_64MiB.bin", testing::LargeSceneSpec()}};
}

// The scenes the whole-process figures run on: the three above and a 256 MiB one (never loaded
// into the benchmark's own memory).
inline std::vector<BenchScene> ProcessBenchScenes() {
  auto scenes = BenchScenes();
  scenes.push_back({"256 MiB", "scene_256MiB.bin", testing::HugeSceneSpec()});
  return scenes;
}

// A 200 MB scene made like the 64 MiB one: the saves and the window's memory are measured on it.
inline testing::GeneratorSpec TwoHundredMegabyteSceneSpec() {
  testing::GeneratorSpec spec = testing::LargeSceneSpec();
  spec.targetBytes = 200'000'000;
  spec.seed = 0x200;
  return spec;
}

// The second scene the saves are measured on, beside the 64 MiB one.
inline BenchScene LargeWriteScene() {
  return {"200 MB", "scene_200MB.bin", TwoHundredMegabyteSceneSpec()};
}

// Every scene the benchmarks use: the above and the 50 and 200 MB scenes of the window's figures.
inline std::vector<BenchScene> AllBenchScenes() {
  auto scenes = ProcessBenchScenes();
  scenes.push_back({"50 MB", "scene_50MB.bin", testing::FiftyMegabyteSceneSpec()});
  scenes.push_back(LargeWriteScene());
  return scenes;
}

}  // namespace quorvex::bench
