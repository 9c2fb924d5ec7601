#pragma once
// Rotation about the vertical axis. An object stores four rotation values A, B, C, D; the slider
// (whole degrees v from -90 to 90) sets A = sin v° and C = cos v°, computed in double precision
// and stored as singles. The dial beside the slider shows a heading of 2·v degrees: a pointer
// along the heading and a bar across it, drawn from the centre (2880, 4200) in twips, angles
// measured clockwise from "up" (screen y grows downwards).

#include <cstdint>

namespace quorvex {

inline constexpr int kSliderMin = -90;
inline constexpr int kSliderMax = 90;

struct RotationPair {
  float a = 0.0f;  // sin v°
  float c = 1.0f;  // cos v°
};

// The rotation values a slider value gives.
RotationPair RotationForDegrees(int degrees);

// x taken to the nearest whole number, halves to the even neighbour, as a 16-bit integer
// (saturating; the dial only ever passes values within ±500).
std::int16_t NearestEven16(double x);

struct DialPoint {
  float x = 0.0f;
  float y = 0.0f;
};

inline constexpr DialPoint kDialCentre{2880.0f, 4200.0f};

// The moving ends of the dial's three lines, each drawn from the centre.
struct DialDrawing {
  DialPoint line7;   // first half of the bar, at 2·(w + 45)°, 500 twips
  DialPoint line11;  // second half of the bar, at 2·(w - 45)°, 500 twips
  DialPoint line12;  // heading pointer, at 2·w°, 150 twips
};

// The dial for a value w: the slider value, or the (possibly fractional) angle DrawRotationDial
// is given.
DialDrawing DialFor(double w);

// The slider value DrawRotationDial sets for an angle: the nearest whole number, halves to the
// even neighbour, held within the slider's range (a value outside it cannot be shown; not a
// number shows 0).
int SliderValueFor(double angle);

// The angle the script view hands to the dial for a stored A = sin v°: v = arcsin A in degrees.
double DialAngleForStoredA(float a);

}  // namespace quorvex
