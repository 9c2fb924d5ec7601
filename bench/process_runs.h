#pragma once
// Running a program as a whole process, as a user or a script runs quorvex-cli: its wall-clock
// time, the CPU time it used (user + system) and its peak resident memory, from wait4's rusage.

#include <string>
#include <vector>

namespace quorvex::bench {

struct ProcessRun {
  bool ok = false;   // exited with status 0
  double wall = 0;   // seconds
  double cpu = 0;    // seconds, user + system
  long peakKiB = 0;  // maximum resident set
};

// Runs argv[0] (found on PATH) with standard output and error to /dev/null.
ProcessRun RunProcess(const std::vector<std::string>& argv);

// The median run of `times` runs by CPU time (wall time and memory of the same run).
ProcessRun MedianRun(const std::vector<std::string>& argv, int times);

}  // namespace quorvex::bench
