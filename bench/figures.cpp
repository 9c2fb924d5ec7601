#include "figures.h"

#include <cmath>
#include <stdexcept>

namespace quorvex::bench {

FigureSink::FigureSink(const std::string& path) {
  if (path.empty()) {
    out_ = stdout;
    return;
  }
  out_ = std::fopen(path.c_str(), "a");
  if (!out_) throw std::runtime_error("cannot append to " + path);
  own_ = true;
}

FigureSink::~FigureSink() {
  if (own_) std::fclose(out_);
}

void FigureSink::add(const Figure& f) {
  const char* met = !f.met ? "-" : *f.met ? "yes" : "NO";
  std::fprintf(out_, "%s\t%s\t%s\t%s\t%s\n", f.what.c_str(), f.scene.c_str(), f.value.c_str(),
               f.target.c_str(), met);
  std::fflush(out_);
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Milliseconds(double seconds) {
  const double ms = seconds * 1e3;
  return Fixed(ms, ms < 1 ? 3 : ms < 100 ? 2 : 0) + " ms";
}

std::string MibPerSecond(double bytes, double seconds) {
  const double rate = bytes / (1024.0 * 1024.0) / seconds;
  return Fixed(rate, rate < 10 ? 2 : 0) + " MiB/s";
}

std::string Ratio(double value) {
  return Fixed(value, value < 10 ? 2 : 0) + "x";
}

}  // namespace quorvex::bench
