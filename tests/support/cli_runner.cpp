#include "support/cli_runner.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace quorvex::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::microseconds;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names for one run's standard streams in the temporary folder, unique across processes and
// threads; removed again when the run is over.
struct Streams {
  fs::path in, out, err;
  Streams() {
    static std::atomic<long> runs{0};
#ifdef _WIN32
    const std::string id = std::to_string(::_getpid()) + "-" + std::to_string(runs++);
#else
    const std::string id = std::to_string(::getpid()) + "-" + std::to_string(runs++);
#endif
    const auto folder = fs::temp_directory_path();
    in = folder / ("quorvex-cli-in-" + id);
    out = folder / ("quorvex-cli-out-" + id);
    err = folder / ("quorvex-cli-err-" + id);
  }
  ~Streams() {
    std::error_code ec;
    for (const auto& path : {in, out, err}) fs::remove(path, ec);
  }
  // The file standard input is read from.
  fs::path input(const CliOptions& options) const {
    if (!options.inputFile.empty()) return options.inputFile;
    std::ofstream file(in, std::ios::binary);
    if (options.input) {
      file.write(reinterpret_cast<const char*>(options.input->data()),
                 static_cast<std::streamsize>(options.input->size()));
    }
    return in;
  }
};

#ifdef _WIN32

// Through cmd.exe, which drops the outermost pair of quotes of the whole command.
void Run(const std::vector<std::string>& args, const CliOptions& options, const Streams& streams,
         CliRun& run) {
  auto quote = [](const std::string& word) { return "\"" + word + "\""; };
  std::string command = quote(CliPath());
  for (const auto& arg : args) command += " " + quote(arg);
  const auto out = options.outputFile.empty() ? streams.out : options.outputFile;
  command += " <" + quote(streams.input(options).string()) + " >" + quote(out.string()) + " 2>" +
             quote(streams.err.string());
  run.status = std::system(quote(command).c_str());
}

#else

void Run(const std::vector<std::string>& args, const CliOptions& options, const Streams& streams,
         CliRun& run) {
  const std::string cli = CliPath();
  const std::string in = streams.input(options).string();
  const std::string out = (options.outputFile.empty() ? streams.out : options.outputFile).string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, streams.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<char*> argv{const_cast<char*>(cli.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::ofstream(streams.err) << "cannot start " << cli;
    return;
  }
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - start);
  };
  auto killAfter = options.killAfter;
  if (killAfter || !options.watch.empty()) {
    bool ended = false;
    while (!killAfter || elapsed() < *killAfter) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      if (!options.watch.empty() && !run.goneAt) {
        const bool exists = ::access(options.watch.c_str(), F_OK) == 0;
        if (!run.seenAt && exists) {
          run.seenAt = elapsed();
          if (options.killAfterSeen) killAfter = *run.seenAt + *options.killAfterSeen;
        }
        if (run.seenAt && !exists) run.goneAt = elapsed();
      }
      std::this_thread::sleep_for(microseconds(100));
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
    run.status = WEXITSTATUS(status);
  }
}

#endif

}  // namespace

std::string CliPath() {
  if (const char* path = std::getenv("QUORVEX_CLI"); path && *path) return path;
#ifdef QUORVEX_CLI_PATH
  return QUORVEX_CLI_PATH;
#else
  return "";
#endif
}

CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options) {
  const Streams streams;
  CliRun run;
  Run(args, options, streams, run);
  run.out = Slurp(streams.out);
  run.err = Slurp(streams.err);
  return run;
}

}  // namespace quorvex::testing
