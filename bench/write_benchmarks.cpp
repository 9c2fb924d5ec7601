// Writing into the 64 MiB scene: a same-length save (patched in place), a longer and a shorter
// save of a script in the middle of the file and an insertion (each a new file written through
// "<scene>.save" and renamed over the scene), against writing and flushing a file of the same
// size once, and against the flush alone. Every change is undone, untimed, before the next one.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "bench_context.h"
#include "objects/insert_object.h"
#include "process_runs.h"
#include "script/script_save.h"

namespace quorvex::bench {
namespace {

// Writes bytes to a new or truncated file and flushes them to disk.
void WriteAndFlush(const std::filesystem::path& path, const Bytes& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      throw std::runtime_error("cannot write " + path.string());
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0)
    throw std::runtime_error("cannot flush " + path.string());
}

// The bytes of a row's script as loaded.
ByteString ScriptOf(const LoadedScene& scene, int row) {
  const auto& r = scene.catalogue.rows[static_cast<std::size_t>(row)];
  return *scene.image().bytesAt(*r.scriptLengthPos + 4, *r.scriptLength);
}

ScriptSaveTarget TargetOf(const LoadedScene& scene, int row) {
  auto target = ScriptSaveTargetFor(scene.catalogue, row);
  if (!target) throw std::runtime_error(target.error().message);
  return *target;
}

// The target after a save that changed the script's length by `delta`.
ScriptSaveTarget Moved(ScriptSaveTarget target, std::int32_t delta) {
  target.loadedLength += delta;
  target.sceneLength += delta;
  return target;
}

bool Saved(benchmark::State& state, const Result<WriteMode>& result) {
  if (result) return true;
  state.SkipWithError(result.error().message.c_str());
  return false;
}

const ByteString kExtra = "\r\n// waits for the second car before the player may leave\r\n";

void Register(const char* name, void (*body)(benchmark::State&, const WriteBench&),
              const WriteBench& bench) {
  benchmark::RegisterBenchmark(name,
                               [body, &bench](benchmark::State& state) { body(state, bench); })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(1)
      ->Repetitions(7);
}

void WriteFlushBaseline(benchmark::State& state, const WriteBench& bench) {
  const auto path = bench.work.parent_path() / "baseline_write.bin";
  for (auto _ : state) {
    WriteAndFlush(path, bench.scene->bytes);
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
}

void FlushOnly(benchmark::State& state, const WriteBench& bench) {
  const auto& bytes = bench.scene->bytes;
  const off_t middle = static_cast<off_t>(bytes.size() / 2);
  for (auto _ : state) {
    const int fd = ::open(bench.work.c_str(), O_RDWR);
    if (fd < 0 || ::pwrite(fd, &bytes[static_cast<std::size_t>(middle)], 1, middle) != 1 ||
        ::fsync(fd) != 0) {
      state.SkipWithError("cannot write the working copy");
    }
    if (fd >= 0) ::close(fd);
  }
}

void SameLengthSave(benchmark::State& state, const WriteBench& bench) {
  const ScriptSaveTarget target = TargetOf(*bench.scene, bench.row);
  const ByteString original = ScriptOf(*bench.scene, bench.row);
  ByteString changed = original;
  changed[0] = changed[0] == 'x' ? 'y' : 'x';
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    if (!Saved(state, SaveScript(bench.work, target, flip ? changed : original))) break;
  }
  if (flip) (void)SaveScript(bench.work, target, original);
}

void LongerSave(benchmark::State& state, const WriteBench& bench) {
  const ScriptSaveTarget target = TargetOf(*bench.scene, bench.row);
  const ByteString original = ScriptOf(*bench.scene, bench.row);
  const auto delta = static_cast<std::int32_t>(kExtra.size());
  for (auto _ : state) {
    if (!Saved(state, SaveScript(bench.work, target, original + kExtra))) break;
    state.PauseTiming();
    const bool undone = Saved(state, SaveScript(bench.work, Moved(target, delta), original));
    state.ResumeTiming();
    if (!undone) break;
  }
}

void ShorterSave(benchmark::State& state, const WriteBench& bench) {
  const ScriptSaveTarget target = TargetOf(*bench.scene, bench.row);
  const ByteString original = ScriptOf(*bench.scene, bench.row);
  const auto delta = static_cast<std::int32_t>(kExtra.size());
  for (auto _ : state) {
    state.PauseTiming();
    const bool grown = Saved(state, SaveScript(bench.work, target, original + kExtra));
    state.ResumeTiming();
    if (!grown) break;
    if (!Saved(state, SaveScript(bench.work, Moved(target, delta), original))) break;
  }
}

void Insert(benchmark::State& state, const WriteBench& bench) {
  InsertRequest request;
  request.name = "BenchCrate_new";
  request.model = "crate01.i3d";
  request.category = Category::Things;
  request.translation[0] = 12.5f;
  request.size[0] = request.size[1] = request.size[2] = 1.0f;
  request.sceneLength = static_cast<Pos>(bench.scene->bytes.size());
  for (auto _ : state) {
    if (!Saved(state, InsertObject(bench.work, request))) break;
    state.PauseTiming();
    WriteAndFlush(bench.work, bench.scene->bytes);
    state.ResumeTiming();
  }
}

}  // namespace

WriteBench PrepareWriteBench(const LoadedScene& scene, const std::filesystem::path& folder) {
  WriteBench bench;
  bench.scene = &scene;
  bench.work = folder / ("work_" + scene.scene.fileName);
  std::filesystem::remove(TempPathFor(bench.work));
  WriteAndFlush(bench.work, scene.bytes);
  // The definition row with a script of some size nearest the middle of the file.
  const Pos middle = static_cast<Pos>(scene.bytes.size() / 2);
  Pos bestDistance = -1;
  for (std::size_t i = 0; i < scene.catalogue.rows.size(); ++i) {
    const auto& row = scene.catalogue.rows[i];
    if (row.standalone || !row.scriptLengthPos || *row.scriptLength < 64) continue;
    const Pos distance = std::abs(*row.scriptLengthPos - middle);
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      bench.row = static_cast<int>(i);
    }
  }
  if (bestDistance < 0) throw std::runtime_error("no script row to save");
  return bench;
}

void RegisterWriteBenchmarks(const WriteBench& bench) {
  Register("write+flush", WriteFlushBaseline, bench);
  Register("flush", FlushOnly, bench);
  Register("save same length", SameLengthSave, bench);
  Register("save longer", LongerSave, bench);
  Register("save shorter", ShorterSave, bench);
  Register("insert", Insert, bench);
}

long PeakMemoryKiB(const std::vector<std::string>& argv) {
  const ProcessRun run = RunProcess(argv);
  return run.ok ? run.peakKiB : -1;
}

}  // namespace quorvex::bench
