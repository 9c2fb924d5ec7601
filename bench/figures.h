#pragma once
// One line of the benchmark table: what was measured, on which scene, the value, the target and
// whether it was met. Lines are appended to the file named by --figures (tab-separated) so that
// scripts/bench.sh can print the figures of every benchmark program as one table.

#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace quorvex::bench {

struct Figure {
  std::string what;
  std::string scene;   // "1 MiB", "16 MiB", "64 MiB" or "-"
  std::string value;   // with its unit
  std::string target;  // "-" when the figure is for information only
  std::optional<bool> met;
};

class FigureSink {
 public:
  explicit FigureSink(const std::string& path);  // empty path: standard output
  ~FigureSink();
  FigureSink(const FigureSink&) = delete;
  FigureSink& operator=(const FigureSink&) = delete;
  void add(const Figure& figure);

 private:
  std::FILE* out_ = nullptr;
  bool own_ = false;
};

// A figure for information only (no target).
inline Figure Info(std::string what, std::string scene, std::string value) {
  return Figure{std::move(what), std::move(scene), std::move(value), "-", std::nullopt};
}

// Number formatting for the table.
std::string Fixed(double value, int decimals);
std::string Milliseconds(double seconds);  // "12.3 ms"
std::string MibPerSecond(double bytes, double seconds);
std::string Ratio(double value);  // "123x"

}  // namespace quorvex::bench
