#pragma once
// The pseudo-random numbers of the test tools: splitmix64, tiny, fast and the same on every
// machine and standard library (the standard distributions are not), so a seed gives the same
// scenes everywhere. It is also a uniform random bit generator for the standard distributions,
// where the exact numbers do not matter.

#include <cstdint>
#include <limits>

namespace quorvex::testing {

class Random {
 public:
  using result_type = std::uint64_t;

  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound - 1.
  int Below(int bound) { return static_cast<int>(Next() % static_cast<std::uint64_t>(bound)); }
  // 0.0 <= x < 1.0
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return Unit() < p; }
  float Coordinate(float range) { return static_cast<float>((Unit() * 2.0 - 1.0) * range); }

  std::uint64_t operator()() { return Next(); }
  static constexpr std::uint64_t min() { return 0; }
  static constexpr std::uint64_t max() { return std::numeric_limits<std::uint64_t>::max(); }

 private:
  std::uint64_t state_;
};

}  // namespace quorvex::testing
