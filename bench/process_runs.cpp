#include "process_runs.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace quorvex::bench {

ProcessRun RunProcess(const std::vector<std::string>& argv) {
  ProcessRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) return run;
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child) return run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.peakKiB = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

ProcessRun MedianRun(const std::vector<std::string>& argv, int times) {
  std::vector<ProcessRun> runs;
  for (int i = 0; i < times; ++i) {
    runs.push_back(RunProcess(argv));
    if (!runs.back().ok) return runs.back();
  }
  std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.cpu < b.cpu; });
  return runs[runs.size() / 2];
}

}  // namespace quorvex::bench
