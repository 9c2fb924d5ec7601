#pragma once
// Runs the real quorvex-cli binary (QUORVEX_CLI_PATH) through the shell, with standard input from
// given bytes, and returns its exit status and what it wrote.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scene_builder.h"

namespace quorvex::testing {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// A shell word: the argument in single quotes.
inline std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs quorvex-cli with `args`; `scratch` holds its standard input, output and error files.
inline CliResult RunCli(const std::filesystem::path& scratch, const std::vector<std::string>& args,
                        const std::optional<Bytes>& input = {}) {
  const auto in = (scratch / "stdin").string(), out = (scratch / "stdout").string(),
             err = (scratch / "stderr").string();
  WriteFile(in, input.value_or(Bytes{}));
  std::string command = Quote(QUORVEX_CLI_PATH);
  for (const auto& arg : args) command += " " + Quote(arg);
  command += " <" + Quote(in) + " >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(command.c_str());
  CliResult run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const auto outBytes = ReadFile(out), errBytes = ReadFile(err);
  run.out.assign(outBytes.begin(), outBytes.end());
  run.err.assign(errBytes.begin(), errBytes.end());
  return run;
}

}  // namespace quorvex::testing
