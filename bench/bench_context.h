#pragma once
// What the benchmark programs share: the loaded scenes and the measured times.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "scene/catalogue.h"
#include "scene/scene_image.h"
#include "scene_files.h"

namespace quorvex::bench {

struct LoadedScene {
  BenchScene scene;
  std::filesystem::path path;
  Bytes bytes;
  Catalogue catalogue;
  std::vector<ByteString> rowNames;
  SceneImage image() const { return SceneImage(bytes); }
  double mib() const { return static_cast<double>(bytes.size()) / (1024.0 * 1024.0); }
};

// Which time a figure uses. The machine is shared: on a loaded machine the wall-clock time of
// work that only computes is mostly time spent waiting for a core, so the scans are judged on the
// CPU time of their thread (user + system), which is what they take on an idle machine. Work that
// waits for the disk (fsync) is judged on wall-clock time.
enum class Clock { Wall, Cpu };

// Seconds per iteration of every repetition of every benchmark, by benchmark name.
class Timings {
 public:
  void add(const std::string& name, double wall, double cpu) {
    samples_[name][0].push_back(wall);
    samples_[name][1].push_back(cpu);
  }
  bool has(const std::string& name) const { return samples_.count(name) > 0; }
  double best(const std::string& name, Clock clock) const;
  double median(const std::string& name, Clock clock) const;

 private:
  std::map<std::string, std::vector<double>[2]> samples_;
};

// The scans, their memchr/memmem baselines and the file load, for every scene.
void RegisterScanBenchmarks(const std::vector<LoadedScene>& scenes);

// Saves and insertion on a working copy of a scene (64 MiB, 200 MB), and their anchors, named
// "NAME/SCENE".
struct WriteBench {
  std::filesystem::path work;  // the working copy (restored after every change)
  const LoadedScene* scene = nullptr;
  int row = 0;  // the definition row with a script nearest the middle of the file
};
WriteBench PrepareWriteBench(const LoadedScene& scene, const std::filesystem::path& folder);
void RegisterWriteBenchmarks(const WriteBench& bench);
inline std::string WriteBenchName(const std::string& name, const std::string& scene) {
  return name + "/" + scene;
}

// Runs `argv` with standard output to /dev/null under /usr/bin/time and returns its peak resident
// memory in KiB, or -1 when it could not be run or did not exit with status 0. (A child forked
// from this process would report this process's memory as its own peak: Linux carries the peak
// over fork and exec, so the command is started from the small time program.)
long PeakMemoryKiB(const std::vector<std::string>& argv);

class FigureSink;
// Every read command of quorvex-cli as a whole process beside md5sum and cat (process_benchmarks).
void ProcessFigures(const std::filesystem::path& folder, const std::string& cli, FigureSink& sink);

}  // namespace quorvex::bench
