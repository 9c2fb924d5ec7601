#include "reliability/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace quorvex::reliability {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string CliPath() {
  if (const char* path = std::getenv("QUORVEX_CLI"); path && *path) return path;
  return QUORVEX_CLI_PATH;
}

namespace {

CliRun Run(const std::vector<std::string>& args, const std::string& input,
           std::optional<std::chrono::microseconds> killAfter, const std::string& watch,
           std::optional<std::chrono::microseconds> killAfterSeen) {
  static std::atomic<long> runs{0};
  const auto folder = std::filesystem::temp_directory_path();
  const std::string id = std::to_string(::getpid()) + "-" + std::to_string(runs++);
  const std::string outPath = (folder / ("quorvex-cli-out-" + id)).string();
  const std::string errPath = (folder / ("quorvex-cli-err-" + id)).string();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const std::string cli = CliPath();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(cli.c_str()));
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  CliRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    run.err = "cannot start " + cli;
    return run;
  }
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  };
  if (killAfter || !watch.empty()) {
    bool ended = false;
    while (!killAfter || elapsed() < *killAfter) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      if (!watch.empty() && !run.goneAt) {
        const bool exists = ::access(watch.c_str(), F_OK) == 0;
        if (!run.seenAt && exists) {
          run.seenAt = elapsed();
          if (killAfterSeen) killAfter = *run.seenAt + *killAfterSeen;
        }
        if (run.seenAt && !exists) run.goneAt = elapsed();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
  } else {
    ::waitpid(pid, &status, 0);
  }
  run.duration = elapsed();
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
    run.killed = true;
  } else if (WIFEXITED(status)) {
    run.exitCode = WEXITSTATUS(status);
  }
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args,
              std::optional<std::chrono::microseconds> killAfter, const std::string& watch,
              std::optional<std::chrono::microseconds> killAfterSeen) {
  return Run(args, "/dev/null", killAfter, watch, killAfterSeen);
}

CliRun RunCliWithInput(const std::vector<std::string>& args, const std::string& input) {
  return Run(args, input, std::nullopt, "", std::nullopt);
}

}  // namespace quorvex::reliability
