// quorvex_bench: the core's figures on the benchmark scenes.
//
//   quorvex_bench --scenes FOLDER --cli QUORVEX_CLI [--figures FILE] [--literal-max-mib N]
//                 [--processes-only | --writes-only] [google-benchmark flags]
//
// 1. Checks that every fast scan gives exactly the literal results on every scene, and times the
//    literal scans through one positioned read per window on the scenes of at most N MiB (16 by
//    default; the larger ones are extrapolated per byte from the largest one run).
// 2. Runs the scans, their memchr/memmem baselines, and the saves and the insertion on the 64 MiB
//    and 200 MB scenes beside their anchors (Google Benchmark). --writes-only runs only these.
// 3. Measures the peak memory of every quorvex-cli command on the 64 MiB scene, and runs every
//    read command as a whole process on the 1, 16, 64 and 256 MiB scenes beside md5sum and cat.
// 4. Appends the figures with their targets to FILE (tab-separated; standard output by default).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "bench_context.h"
#include "figures.h"
#include "literal_timings.h"
#include "scene/scene_io.h"
#include "support/identity_check.h"
#include "support/load_scene.h"

namespace quorvex::bench {

double Timings::best(const std::string& name, Clock clock) const {
  const auto& s = samples_.at(name)[clock == Clock::Wall ? 0 : 1];
  return *std::min_element(s.begin(), s.end());
}

double Timings::median(const std::string& name, Clock clock) const {
  auto s = samples_.at(name)[clock == Clock::Wall ? 0 : 1];
  std::sort(s.begin(), s.end());
  return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
}

namespace {

// Prints the usual console table and keeps the time of every repetition.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  explicit CollectingReporter(Timings& timings) : timings_(timings) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      const auto n = static_cast<double>(run.iterations);
      timings_.add(run.run_name.function_name, run.real_accumulated_time / n,
                   run.cpu_accumulated_time / n);
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  Timings& timings_;
};

struct Options {
  std::filesystem::path scenes;
  std::string cli;
  std::string figures;
  bool processesOnly = false;  // only the whole-process figures of the read commands
  bool writesOnly = false;     // only the saves and the insertion beside their anchors
  double literalMaxMib = 16;
};

Options TakeOptions(int& argc, char** argv) {
  Options options;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--scenes" && hasValue) {
      options.scenes = argv[++i];
    } else if (arg == "--cli" && hasValue) {
      options.cli = argv[++i];
    } else if (arg == "--figures" && hasValue) {
      options.figures = argv[++i];
    } else if (arg == "--processes-only") {
      options.processesOnly = true;
    } else if (arg == "--writes-only") {
      options.writesOnly = true;
    } else if (arg == "--literal-max-mib" && hasValue) {
      options.literalMaxMib = std::atof(argv[++i]);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return options;
}

LoadedScene Load(const BenchScene& info, const std::filesystem::path& folder) {
  LoadedScene scene;
  scene.scene = info;
  scene.path = folder / info.fileName;
  auto bytes = LoadScene(scene.path);
  if (!bytes) throw std::runtime_error(bytes.error().message + " (run quorvex_bench_scenes first)");
  scene.bytes = std::move(*bytes);
  auto catalogue = ScanCatalogue(scene.image());
  if (!catalogue) throw std::runtime_error(scene.path.string() + ": " + catalogue.error().message);
  scene.catalogue = std::move(*catalogue);
  for (const auto& row : scene.catalogue.rows) scene.rowNames.push_back(row.name);
  return scene;
}

// The literal file-read times of every scene: measured or extrapolated per byte.
struct LiteralTimes {
  LiteralFileTimings t;
  bool extrapolated = false;
};

void CheckIdentity(const std::vector<LoadedScene>& scenes, const Options& options,
                   std::vector<LiteralTimes>& literal, FigureSink& sink, bool& allIdentical) {
  const LoadedScene* measured = nullptr;
  const LiteralTimes* measuredTimes = nullptr;
  literal.reserve(scenes.size());
  for (const auto& scene : scenes) {
    std::cerr << "identity check and literal scans on " << scene.scene.label << " ..." << std::endl;
    LiteralTimes times;
    const bool timed = scene.mib() <= options.literalMaxMib;
    const auto differences = timed ? TimedIdentityDifferences(scene.bytes, scene.path, times.t)
                                   : testing::IdentityDifferences(scene.bytes);
    for (const auto& d : differences) std::cerr << "  DIFFERENT: " << d << "\n";
    allIdentical = allIdentical && differences.empty();
    sink.add(Figure{
        "results identical to the literal scans", scene.scene.label,
        differences.empty() ? "identical" : std::to_string(differences.size()) + " differences",
        "identical", differences.empty()});
    literal.push_back(times);
    if (timed) {
      measured = &scene;
      measuredTimes = &literal.back();
    } else if (measured) {
      const double f =
          static_cast<double>(scene.bytes.size()) / static_cast<double>(measured->bytes.size());
      auto& t = literal.back();
      t.extrapolated = true;
      t.t.catalogue = measuredTimes->t.catalogue * f;
      t.t.listing = measuredTimes->t.listing * f;
      t.t.objects = measuredTimes->t.objects;  // walks by length: grows with objects, not bytes
      t.t.overview = measuredTimes->t.overview * f;
    }
  }
}

void ScanFigures(const std::vector<LoadedScene>& scenes, const std::vector<LiteralTimes>& literal,
                 const Timings& timings, FigureSink& sink) {
  for (std::size_t i = 0; i < scenes.size(); ++i) {
    const auto& s = scenes[i];
    const std::string& at = s.scene.label;
    if (!timings.has("catalogue/" + at) || !timings.has("memchr/" + at)) continue;
    const bool large = at == "64 MiB";
    const bool window = at == "16 MiB";
    const double bytes = static_cast<double>(s.bytes.size());
    const auto& lit = literal[i];
    const std::string litNote = lit.extrapolated ? " (extrapolated per byte)" : "";
    const double memchrTime = timings.best("memchr/" + at, Clock::Cpu);
    const double memmemTime = timings.best("memmem/" + at, Clock::Cpu);

    for (const char* scan : {"catalogue", "listing"}) {
      const bool catalogue = std::strcmp(scan, "catalogue") == 0;
      const std::string what = catalogue ? "catalogue scan" : "model listing";
      const double t = timings.best(std::string(scan) + "/" + at, Clock::Cpu);
      const double rate = bytes / t / (1024.0 * 1024.0);
      sink.add(Figure{what, at, MibPerSecond(bytes, t) + " (" + Milliseconds(t) + ")",
                      large ? ">= 2048 MiB/s" : "-",
                      large ? std::optional<bool>(rate >= 2048) : std::nullopt});
      const double literalTime = catalogue ? lit.t.catalogue : lit.t.listing;
      if (literalTime > 0) {
        const double speedup = literalTime / t;
        sink.add(Figure{
            what + " vs literal file reads" + litNote, at,
            Ratio(speedup) + " faster (literal " + MibPerSecond(bytes, literalTime) + ")",
            large ? ">= 100x" : "-", large ? std::optional<bool>(speedup >= 100) : std::nullopt});
      }
      const double base = catalogue ? memchrTime : memmemTime;
      const double slower = t / base;
      sink.add(Figure{what + (catalogue ? " vs memchr 0xAE" : " vs memmem \".i3d\""), at,
                      Ratio(slower) + " the time (" + MibPerSecond(bytes, base) + ")",
                      large ? "<= 6x" : "-",
                      large ? std::optional<bool>(slower <= 6) : std::nullopt});
    }
    for (const char* scan : {"objects", "overview"}) {
      const bool objects = std::strcmp(scan, "objects") == 0;
      const std::string what = objects ? "object-parameter scan" : "overview text";
      const double t = timings.best(std::string(scan) + "/" + at, Clock::Cpu);
      sink.add(Figure{what, at, Milliseconds(t), window ? "< 20 ms" : "-",
                      window ? std::optional<bool>(t < 0.020) : std::nullopt});
      const double literalTime = objects ? lit.t.objects : lit.t.overview;
      if (literalTime > 0) {
        sink.add(Info(
            what + " vs literal file reads" +
                (objects ? (lit.extrapolated ? " (taken from the largest scene run)" : "")
                         : litNote),
            at, Ratio(literalTime / t) + " faster (literal " + Milliseconds(literalTime) + ")"));
      }
    }
    sink.add(Info("reading the scene file whole (page cache)", at,
                  MibPerSecond(bytes, timings.best("load/" + at, Clock::Cpu))));
  }
}

void WriteFigures(const Timings& timings, FigureSink& sink, const std::string& at) {
  auto name = [&](const char* what) { return WriteBenchName(what, at); };
  if (!timings.has(name("write+flush")) || !timings.has(name("pwrite+flush")) ||
      !timings.has(name("copy+flush")))
    return;
  // Wall-clock medians: these wait for the disk. The CPU time is shown beside.
  const double baseline = timings.median(name("write+flush"), Clock::Wall);
  const double pwrite = timings.median(name("pwrite+flush"), Clock::Wall);
  const double copy = timings.median(name("copy+flush"), Clock::Wall);
  auto cpu = [&](const std::string& bench) {
    return " (CPU " + Milliseconds(timings.median(bench, Clock::Cpu)) + ")";
  };
  sink.add(Info("baseline: write + fsync the scene's bytes once", at,
                Milliseconds(baseline) + cpu(name("write+flush"))));
  sink.add(Info("anchor: pwrite + fsync of the saved bytes", at,
                Milliseconds(pwrite) + cpu(name("pwrite+flush"))));
  sink.add(Info("anchor: copy the scene to a new file + fsync", at,
                Milliseconds(copy) + cpu(name("copy+flush"))));
  for (const char* what : {"save longer", "save shorter", "insert"}) {
    if (!timings.has(name(what))) {
      sink.add(Figure{what, at, "failed", "<= 1.5x copy + fsync", false});
      continue;
    }
    const double t = timings.median(name(what), Clock::Wall);
    sink.add(Figure{what, at,
                    Milliseconds(t) + cpu(name(what)) + " = " + Ratio(t / copy) + " copy + fsync",
                    "<= 1.5x copy + fsync", t <= 1.5 * copy});
  }
  if (!timings.has(name("save same length"))) {
    sink.add(Figure{"save same length", at, "failed", "<= 2x pwrite + fsync", false});
    return;
  }
  const double same = timings.median(name("save same length"), Clock::Wall);
  sink.add(Figure{"save same length", at,
                  Milliseconds(same) + cpu(name("save same length")) + " = " +
                      Ratio(same / pwrite) + " pwrite + fsync",
                  "<= 2x pwrite + fsync", same <= 2 * pwrite});
}

// Peak memory of every quorvex-cli command on the 64 MiB scene; the writing ones on the working
// copy, which is restored after each.
void MemoryFigures(const Options& options, const WriteBench& write, FigureSink& sink) {
  const auto& scene = *write.scene;
  const long limit = static_cast<long>(scene.bytes.size() / 1024) + 32 * 1024;
  const std::string target = "<= " + std::to_string(limit / 1024) + " MiB";
  const std::string scenePath = scene.path.string();
  const std::string work = write.work.string();
  const std::string row = std::to_string(write.row);
  auto measure = [&](const std::string& command, const std::vector<std::string>& argv) {
    const long kib = PeakMemoryKiB(argv);
    sink.add(Figure{"peak memory: quorvex-cli " + command, scene.scene.label,
                    kib < 0 ? "failed" : Fixed(static_cast<double>(kib) / 1024.0, 1) + " MiB",
                    target, kib >= 0 && kib <= limit});
    testing::WriteFile(work, scene.bytes);  // undo a change
  };
  measure("catalogue", {options.cli, "catalogue", scenePath});
  measure("script", {options.cli, "script", scenePath, row});
  measure("objects", {options.cli, "objects", scenePath});
  measure("overview", {options.cli, "overview", scenePath});
  measure("models", {options.cli, "models", scenePath});

  const auto textFile = write.work.parent_path() / "longer_script.txt";
  const auto& r = scene.catalogue.rows[static_cast<std::size_t>(write.row)];
  const auto text = *scene.image().bytesAt(*r.scriptLengthPos + 4, *r.scriptLength);
  testing::WriteFile(textFile.string(), testing::ToBytes(text + "\r\n// one more line\r\n"));
  measure("save-script (longer)", {options.cli, "save-script", work, row, textFile.string()});
  std::filesystem::remove(textFile);
  measure("insert", {options.cli, "insert", work, "--name", "BenchCrate_cli", "--category",
                     "things", "--translation", "1,2,3", "--size", "1,1,1"});
  measure("modify",
          {options.cli, "modify", work, row, "--translation", "1,2,3", "--size", "1,1,1"});
}

// The 1-minute load average: how busy the shared machine was.
std::string LoadAverage() {
  double load[1] = {0};
  if (getloadavg(load, 1) != 1) return "unknown";
  return Fixed(load[0], 2);
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
  using namespace quorvex::bench;
  try {
    const Options options = TakeOptions(argc, argv);
    if (options.scenes.empty() || options.cli.empty()) {
      std::cerr << "usage: quorvex_bench --scenes FOLDER --cli QUORVEX_CLI [--figures FILE] "
                   "[--literal-max-mib N] [--processes-only | --writes-only] [benchmark flags]\n";
      return 1;
    }
    benchmark::Initialize(&argc, argv);
    FigureSink sink(options.figures);
    sink.add(Info("machine load (1-minute average) at the start", "-", LoadAverage()));
    if (options.processesOnly) {
      ProcessFigures(options.scenes, options.cli, sink);
      return 0;
    }

    std::vector<LoadedScene> scenes;
    if (!options.writesOnly) {
      for (const auto& info : BenchScenes()) scenes.push_back(Load(info, options.scenes));
    } else {
      scenes.push_back(Load(BenchScenes().back(), options.scenes));
    }
    const LoadedScene large = Load(LargeWriteScene(), options.scenes);

    std::vector<LiteralTimes> literal;
    bool identical = true;
    if (!options.writesOnly) CheckIdentity(scenes, options, literal, sink, identical);

    // The saves on the 64 MiB scene and on the 200 MB one.
    const std::vector<WriteBench> writes = {PrepareWriteBench(scenes.back(), options.scenes),
                                            PrepareWriteBench(large, options.scenes)};
    if (!options.writesOnly) RegisterScanBenchmarks(scenes);
    for (const auto& write : writes) RegisterWriteBenchmarks(write);
    Timings timings;
    CollectingReporter reporter(timings);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (!options.writesOnly) ScanFigures(scenes, literal, timings, sink);
    for (const auto& write : writes) WriteFigures(timings, sink, write.scene->scene.label);
    if (!options.writesOnly) {
      MemoryFigures(options, writes.front(), sink);
      ProcessFigures(options.scenes, options.cli, sink);
    }
    sink.add(Info("machine load (1-minute average) at the end", "-", LoadAverage()));
    for (const auto& write : writes) std::filesystem::remove(write.work);
    return identical ? 0 : 3;
  } catch (const std::exception& e) {
    std::cerr << "quorvex_bench: " << e.what() << "\n";
    return 2;
  }
}
