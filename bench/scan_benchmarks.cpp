// The scans on scenes in memory, and the machine's limit over the same bytes: memchr for the 0xAE
// byte that every catalogue marker carries, memmem for ".i3d".

#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_context.h"
#include "objects/model_listing.h"
#include "scene/object_params.h"
#include "scene/scene_io.h"
#include "script/overview.h"
#include "support/load_scene.h"

namespace quorvex::bench {
namespace {

std::size_t CountByte(const Bytes& bytes, std::uint8_t value) {
  std::size_t count = 0;
  const auto* at = bytes.data();
  const auto* end = bytes.data() + bytes.size();
  while (at < end) {
    const void* hit = std::memchr(at, value, static_cast<std::size_t>(end - at));
    if (!hit) break;
    ++count;
    at = static_cast<const std::uint8_t*>(hit) + 1;
  }
  return count;
}

std::size_t CountText(const Bytes& bytes, const char* text) {
  const std::size_t n = std::strlen(text);
  std::size_t count = 0;
  const auto* at = bytes.data();
  const auto* end = bytes.data() + bytes.size();
  while (at < end) {
    const void* hit = ::memmem(at, static_cast<std::size_t>(end - at), text, n);
    if (!hit) break;
    ++count;
    at = static_cast<const std::uint8_t*>(hit) + 1;
  }
  return count;
}

template <class F>
void Add(const std::string& name, F body) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [body](benchmark::State& state) {
                                 for (auto _ : state) body();
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(0.3)
      ->Repetitions(3);
}

}  // namespace

void RegisterScanBenchmarks(const std::vector<LoadedScene>& scenes) {
  for (const auto& s : scenes) {
    const LoadedScene* scene = &s;
    const std::string at = "/" + s.scene.label;
    Add("catalogue" + at, [scene] {
      auto result = ScanCatalogue(scene->image());
      benchmark::DoNotOptimize(result);
    });
    Add("objects" + at, [scene] {
      auto result = ScanObjectParameters(scene->image(), scene->rowNames);
      benchmark::DoNotOptimize(result);
    });
    Add("overview" + at, [scene] {
      auto result = BuildScriptOverview(scene->image(), scene->catalogue);
      benchmark::DoNotOptimize(result);
    });
    Add("listing" + at, [scene] {
      auto result = ListSceneModels(scene->image());
      benchmark::DoNotOptimize(result);
    });
    Add("memchr" + at, [scene] { benchmark::DoNotOptimize(CountByte(scene->bytes, 0xAE)); });
    Add("memmem" + at, [scene] { benchmark::DoNotOptimize(CountText(scene->bytes, ".i3d")); });
    Add("load" + at, [scene] {
      auto bytes = LoadScene(scene->path);
      benchmark::DoNotOptimize(bytes);
    });
  }
}

}  // namespace quorvex::bench
