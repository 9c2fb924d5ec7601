#pragma once
// The process's command line and standard streams as the commands need them, on every platform:
// arguments in UTF-8 (scene paths may name folders in any language), and standard input and
// output carrying raw bytes (script texts are Windows-1252 bytes and must pass unchanged).

#include <string>
#include <vector>

namespace quorvex::cli {

class Utf8Arguments {
 public:
  // On Windows the arguments are taken afresh from the wide command line, because `argv` holds
  // them in the ANSI code page, which cannot represent every file name. Elsewhere `argv` is used
  // as it is.
  Utf8Arguments(int argc, char** argv);
  Utf8Arguments(const Utf8Arguments&) = delete;
  Utf8Arguments& operator=(const Utf8Arguments&) = delete;

  int argc() const { return static_cast<int>(pointers_.size()) - 1; }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> values_;
  std::vector<char*> pointers_;  // into values_, ending with a null pointer like argv
};

// Standard input and output in binary mode (on Windows they translate line ends by default).
void UseBinaryStdio();

// `message` on standard error, as quorvex-cli's; returns the exit status of a failure.
int Failed(const std::string& message);

// After a write whose new content is in place but whose folder could not be flushed.
void WarnNotFlushed();

}  // namespace quorvex::cli
