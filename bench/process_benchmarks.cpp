// What a user or a script waits for: every read command of quorvex-cli run as a whole process on
// the 1, 16, 64 and 256 MiB scenes, side by side with md5sum and cat of the same file, and the
// peak resident memory of each.
//
// Times are medians of five runs by CPU time (user + system of the process): on this shared
// machine the wall-clock time of work that only computes is mostly waiting for a core, and the
// page cache is warm for every program alike. The wall-clock times are shown beside.

#include <filesystem>
#include <string>
#include <vector>

#include "bench_context.h"
#include "figures.h"
#include "process_runs.h"

namespace quorvex::bench {

void ProcessFigures(const std::filesystem::path& folder, const std::string& cli, FigureSink& sink) {
  constexpr int kRuns = 5;
  constexpr double kTimeShare = 0.25;   // of md5sum's time, for a read command
  constexpr double kExportShare = 3.0;  // export, and import of an unchanged export
  constexpr long kMemoryLimitKiB = 32 * 1024;
  for (const auto& scene : ProcessBenchScenes()) {
    const std::string path = (folder / scene.fileName).string();
    const std::string exported = (folder / ("export_" + scene.fileName)).string();
    const bool judged = scene.spec.targetBytes >= (64u << 20);
    const ProcessRun md5 = MedianRun({"md5sum", path}, kRuns);
    const ProcessRun cat = MedianRun({"cat", path}, kRuns);
    auto describe = [](const ProcessRun& run) {
      return Milliseconds(run.cpu) + " CPU, " + Milliseconds(run.wall) + " wall, " +
             Fixed(static_cast<double>(run.peakKiB) / 1024.0, 1) + " MiB";
    };
    sink.add(Info("process: md5sum", scene.label, md5.ok ? describe(md5) : "failed"));
    sink.add(Info("process: cat > /dev/null", scene.label, cat.ok ? describe(cat) : "failed"));
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"catalogue", {cli, "catalogue", path}},
        {"objects", {cli, "objects", path}},
        {"overview", {cli, "overview", path}},
        {"models", {cli, "models", path}},
        {"script", {cli, "script", path, "100"}},
        // export writes every script anew into the same folder; import then finds no change.
        {"export", {cli, "export", path, exported, "--force"}},
        {"import", {cli, "import", path, exported}}};
    for (const auto& [name, argv] : commands) {
      const bool scripts = name == "export" || name == "import";
      const double limit = scripts ? kExportShare : kTimeShare;
      const ProcessRun run = MedianRun(argv, kRuns);
      const std::string what = "process: quorvex-cli " + name;
      if (!run.ok || !md5.ok) {
        sink.add(
            Figure{what, scene.label, "failed", "-", judged ? std::optional(false) : std::nullopt});
        continue;
      }
      const double share = run.cpu / md5.cpu;
      sink.add(Figure{what, scene.label, describe(run) + " = " + Fixed(share, 2) + "x md5sum",
                      judged ? "<= " + Fixed(limit, 2) + "x md5sum" : "-",
                      judged ? std::optional(share <= limit) : std::nullopt});
      if (scene.spec.targetBytes >= (256u << 20) && !scripts) {
        sink.add(Figure{"peak memory: quorvex-cli " + name, scene.label,
                        Fixed(static_cast<double>(run.peakKiB) / 1024.0, 1) + " MiB", "<= 32 MiB",
                        run.peakKiB <= kMemoryLimitKiB});
      }
    }
    std::filesystem::remove_all(exported);
  }
}

}  // namespace quorvex::bench
