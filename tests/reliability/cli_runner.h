#pragma once
// Runs quorvex-cli as a child process: to completion, or killed at a chosen moment.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvex::reliability {

struct CliRun {
  bool killed = false;  // the process was killed before it ended
  int exitCode = -1;    // when it ended by itself
  std::string out;
  std::string err;
  std::chrono::microseconds duration{0};            // from start to end (or to the kill)
  std::optional<std::chrono::microseconds> seenAt;  // when the watched file first existed
  std::optional<std::chrono::microseconds> goneAt;  // when it had gone again
};

// The path of the quorvex-cli binary under test.
std::string CliPath();

// Runs quorvex-cli with `args`; when `killAfter` is given, sends SIGKILL after that time unless the
// process has ended by then. When `watch` is given, records when that file first exists and when
// it has gone again; with `killAfterSeen` the kill comes that long after the file appeared.
CliRun RunCli(const std::vector<std::string>& args,
              std::optional<std::chrono::microseconds> killAfter = std::nullopt,
              const std::string& watch = "",
              std::optional<std::chrono::microseconds> killAfterSeen = std::nullopt);

// Runs quorvex-cli to completion with standard input read from `input`. Safe to call from several
// threads at once.
CliRun RunCliWithInput(const std::vector<std::string>& args, const std::string& input);

}  // namespace quorvex::reliability
