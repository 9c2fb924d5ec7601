#include "objects/rotation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvex {
namespace {

double Pi() {
  return 4.0 * std::atan(1.0);
}

double Radians(double degrees) {
  return degrees * Pi() / 180.0;
}

// cos a, rounded the same with every C library. Near a right angle cos a is tiny and some
// libraries (the x87 instruction behind mingw-w64's cos) lose its digits, which shows in the
// float: cos 90 degrees must be 6.123234e-17. There it is taken as sin(pi/2 - |a|), with pi/2
// split in two doubles so that the subtraction is exact.
double StableCos(double a) {
  constexpr double kHalfPiHigh = 1.5707963267948966;    // the double nearest to pi/2
  constexpr double kHalfPiLow = 6.123233995736766e-17;  // pi/2 - kHalfPiHigh
  const double m = std::fabs(a);
  if (m < kHalfPiHigh / 2) return std::cos(a);
  return std::sin((kHalfPiHigh - m) + kHalfPiLow);
}

// x to the nearest whole number with halves to the even neighbour, independent of the current
// floating-point rounding mode.
double RoundHalfEven(double x) {
  const double down = std::floor(x);
  const double diff = x - down;
  if (diff < 0.5) return down;
  if (diff > 0.5) return down + 1.0;
  return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

// The end of a line of `length` twips drawn from `from` at `degrees` clockwise from up.
DialPoint LineEnd(DialPoint from, double degrees, double length) {
  const double a = Radians(degrees);
  const auto dx = NearestEven16(std::sin(a) * length);
  const auto dy = NearestEven16(std::cos(a) * length);
  return DialPoint{from.x + static_cast<float>(dx), from.y - static_cast<float>(dy)};
}

}  // namespace

RotationPair RotationForDegrees(int degrees) {
  const double a = Radians(static_cast<double>(degrees));
  return RotationPair{static_cast<float>(std::sin(a)), static_cast<float>(StableCos(a))};
}

std::int16_t NearestEven16(double x) {
  if (std::isnan(x)) return 0;
  const double r = RoundHalfEven(x);
  if (r <= std::numeric_limits<std::int16_t>::min())
    return std::numeric_limits<std::int16_t>::min();
  if (r >= std::numeric_limits<std::int16_t>::max())
    return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(r);
}

DialDrawing DialFor(double w) {
  return DialDrawing{LineEnd(kDialCentre, (w + 45.0) * 2.0, 500.0),
                     LineEnd(kDialCentre, (w - 45.0) * 2.0, 500.0),
                     LineEnd(kDialCentre, w * 2.0, 150.0)};
}

int SliderValueFor(double angle) {
  if (std::isnan(angle)) return 0;
  if (angle <= kSliderMin) return kSliderMin;
  if (angle >= kSliderMax) return kSliderMax;
  return static_cast<int>(RoundHalfEven(angle));
}

double DialAngleForStoredA(float a) {
  // A is the sine of the slider angle, so the angle is its arcsine. (Reading A itself as radians,
  // A × 180 / π, would show an object turned by 30° at 29° and one turned by 90° at 57°.) A value
  // outside -1..1 cannot come from the dial; it is shown at the nearest end.
  if (std::isnan(a)) return 0.0;
  const double sine = std::clamp(static_cast<double>(a), -1.0, 1.0);
  return std::asin(sine) * 180.0 / Pi();
}

}  // namespace quorvex
