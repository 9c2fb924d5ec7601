// Writes the seed corpus into a folder: make_fuzz_seeds DIR
#include <cstdio>
#include <filesystem>

#include "fuzz/seed_scenes.h"
#include "support/scene_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 1;
  }
  std::filesystem::create_directories(argv[1]);
  for (const auto& seed : quorvex::fuzz::SeedCorpus()) {
    quorvex::testing::WriteFile((std::filesystem::path(argv[1]) / seed.name).string(), seed.bytes);
  }
  return 0;
}
