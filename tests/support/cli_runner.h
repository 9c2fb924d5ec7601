#pragma once
// Runs the real quorvex-cli as a child process, the one way every test does: with its standard
// input from given bytes or a file, to completion or (POSIX) killed at a chosen moment, and returns
// its exit status and what it wrote.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scene/scene_image.h"

namespace quorvex::testing {

struct CliRun {
  int status = -1;      // the exit status, when it ended by itself
  bool killed = false;  // the process was killed before it ended
  std::string out;
  std::string err;
  std::chrono::microseconds duration{0};            // from start to end (or to the kill)
  std::optional<std::chrono::microseconds> seenAt;  // when the watched file first existed
  std::optional<std::chrono::microseconds> goneAt;  // when it had gone again
};

struct CliOptions {
  std::optional<Bytes> input{};        // standard input; without it and `inputFile`, an empty one
  std::filesystem::path inputFile{};   // a file to read standard input from ("/dev/zero")
  std::filesystem::path outputFile{};  // standard output to this file, not captured ("/dev/full")
  // POSIX only: SIGKILL after this time unless the process has ended by then.
  std::optional<std::chrono::microseconds> killAfter{};
  // POSIX only: records when this file first exists and when it has gone again; with
  // `killAfterSeen` the kill comes that long after the file appeared.
  std::filesystem::path watch{};
  std::optional<std::chrono::microseconds> killAfterSeen{};
};

// The quorvex-cli under test: the environment variable QUORVEX_CLI when set (the Windows tests
// under Wine), else the one this build made; empty when neither is known.
std::string CliPath();

// Runs quorvex-cli with `args`. Safe to call from several threads at once.
CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options = {});

}  // namespace quorvex::testing
