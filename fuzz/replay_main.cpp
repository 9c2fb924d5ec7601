// A driver for the fuzz targets without libFuzzer: it runs a target over the seed corpus (and any
// files named on the command line), then over random mutations of the seeds for a time budget.
// The tests run every target this way for a few seconds under the sanitizers of the normal build;
// scripts/fuzz.sh runs the real coverage-guided fuzzer.
//
//   replay_TARGET [--seconds S] [--seed N] [FILE...]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fuzz/seed_scenes.h"
#include "support/scene_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using quorvex::Bytes;

// Values that break length arithmetic, and the byte patterns the scans look for.
const std::int32_t kInteresting[] = {0, 1, -1, 6, 7, 8, 0x7FFFFFFF, INT32_MIN, 0x10000, -7, 255};
const Bytes kPatterns[] = {{0x51, 0xAE},
                           {0x50, 0xAE},
                           {0x21, 0xAE},
                           {0x20, 0xAE},
                           {0x00, 0x40},
                           {0x10, 0x00},
                           {0x12, 0x20},
                           {0x01, 0x00, 0x00, 0x00, 0x00},
                           {0x05, 0x00, 0x00, 0x00, 0x00},
                           {'.', 'i', '3', 'd'}};

void Mutate(Bytes& bytes, std::mt19937_64& rng) {
  // A third of the runs keep the scene intact and only vary the choices of the write targets,
  // which they read from the last bytes.
  if (rng() % 3 == 0) {
    for (std::size_t i = bytes.size() > 16 ? bytes.size() - 16 : 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<std::uint8_t>(rng());
    }
    return;
  }
  const int count = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < count; ++i) {
    const std::size_t at = bytes.empty() ? 0 : rng() % bytes.size();
    switch (rng() % 7) {
      case 0:
        if (!bytes.empty()) bytes[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        break;
      case 1:
        if (!bytes.empty()) bytes[at] = static_cast<std::uint8_t>(rng());
        break;
      case 2: {
        const auto value =
            static_cast<std::uint32_t>(kInteresting[rng() % std::size(kInteresting)]);
        for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k) {
          bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
        }
        break;
      }
      case 3: {
        const auto& pattern = kPatterns[rng() % std::size(kPatterns)];
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), pattern.begin(),
                     pattern.end());
        break;
      }
      case 4:
        if (!bytes.empty()) {
          const std::size_t n = std::min<std::size_t>(1 + rng() % 16, bytes.size() - at);
          bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        break;
      case 5:
        bytes.resize(at);
        break;
      default: {
        if (bytes.empty()) break;
        const std::size_t n = std::min<std::size_t>(1 + rng() % 32, bytes.size() - at);
        const Bytes copy(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        const std::size_t to = rng() % (bytes.size() + 1);
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(to), copy.begin(), copy.end());
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 2.0;
  std::uint64_t seed = 1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      files.push_back(arg);
    }
  }

  for (const auto& file : files) {
    const auto bytes = quorvex::testing::ReadFile(file);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  const auto seeds = quorvex::fuzz::SeedCorpus();
  std::uint64_t runs = 0;
  for (const auto& s : seeds) {
    LLVMFuzzerTestOneInput(s.bytes.data(), s.bytes.size());
    ++runs;
  }

  std::mt19937_64 rng(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    Bytes input = seeds[rng() % seeds.size()].bytes;
    Mutate(input, rng);
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
  }
  std::printf("%llu runs (%zu seeds, %zu files), no invariant broken\n",
              static_cast<unsigned long long>(runs), seeds.size(), files.size());
  return 0;
}
