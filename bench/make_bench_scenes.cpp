// Writes the benchmark scenes into a folder: scene_1MiB.bin, scene_16MiB.bin, scene_64MiB.bin,
// scene_256MiB.bin, scene_50MB.bin, scene_200MB.bin.
//   quorvex_bench_scenes FOLDER
// A scene already there with the same bytes is left alone (its page cache stays warm).

#include <exception>
#include <filesystem>
#include <iostream>

#include "scene_files.h"
#include "support/scene_generator.h"

int main(int argc, char** argv) {
  using namespace quorvex;
  if (argc != 2) {
    std::cerr << "usage: quorvex_bench_scenes FOLDER\n";
    return 1;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const auto& scene : bench::AllBenchScenes()) {
      const Bytes bytes = testing::GenerateScene(scene.spec);
      const auto path = folder / scene.fileName;
      std::error_code error;
      if (std::filesystem::file_size(path, error) == bytes.size() && !error &&
          testing::ReadFile(path.string()) == bytes) {
        continue;
      }
      testing::WriteFile(path.string(), bytes);
      std::cout << path.string() << ": " << bytes.size() << " bytes\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "quorvex_bench_scenes: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
