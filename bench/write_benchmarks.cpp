// Writing into the 64 MiB and 200 MB scenes: a same-length save (patched in place), a longer and a
// shorter save of a script in the middle of the file and an insertion (each a new file written
// through
// "<scene>.save" and renamed over the scene), against their physical anchors: writing the saved
// bytes at their place with one pwrite and flushing them, and copying the scene to a new file and
// flushing it (what any safe rewrite must do at least), and against writing a file of the same
// size once. Every change is undone, untimed, before the next one.

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

// Copies `from` to a new file `to` inside the kernel where it can (as cp does), flushed to disk.
void CopyAndFlush(const std::filesystem::path& from, const std::filesystem::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  bool ok = in >= 0 && out >= 0;
  while (ok) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) break;
    ok = n > 0;
  }
  ok = ok && ::fsync(out) == 0;
  if (in >= 0) ::close(in);
  if ((out >= 0 && ::close(out) != 0) || !ok) throw std::runtime_error("cannot copy the scene");
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
  benchmark::RegisterBenchmark(WriteBenchName(name, bench.scene->scene.label).c_str(),
                               [body, &bench](benchmark::State& state) { body(state, bench); })
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()  // a write copies on a second thread
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

// The bytes a same-length save of the benchmark row writes, written at their place and flushed.
void PwriteFlush(benchmark::State& state, const WriteBench& bench) {
  const auto& r = bench.scene->catalogue.rows[static_cast<std::size_t>(bench.row)];
  const ByteString text = ScriptOf(*bench.scene, bench.row);
  const auto at = static_cast<off_t>(*r.scriptLengthPos + 4 - 1);
  for (auto _ : state) {
    const int fd = ::open(bench.work.c_str(), O_RDWR);
    if (fd < 0 || ::pwrite(fd, text.data(), text.size(), at) != static_cast<ssize_t>(text.size()) ||
        ::fsync(fd) != 0) {
      state.SkipWithError("cannot write the working copy");
    }
    if (fd >= 0) ::close(fd);
  }
}

void CopyFlush(benchmark::State& state, const WriteBench& bench) {
  const auto path = bench.work.parent_path() / "baseline_copy.bin";
  std::filesystem::remove(path);
  for (auto _ : state) {
    CopyAndFlush(bench.work, path);
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
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
  Register("pwrite+flush", PwriteFlush, bench);
  Register("copy+flush", CopyFlush, bench);
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
