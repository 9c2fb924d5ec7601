// The rotation values of the slider and the dial's drawing.

#include <gtest/gtest.h>

#include <cmath>

#include "objects/rotation.h"

namespace quorvex {
namespace {

void ExpectPoint(DialPoint p, float x, float y) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
}

TEST(Rotation, SliderValuesGiveSineAndCosineAsSingles) {
  EXPECT_EQ(RotationForDegrees(0).a, 0.0f);
  EXPECT_EQ(RotationForDegrees(0).c, 1.0f);
  EXPECT_EQ(RotationForDegrees(45).a, 0.70710677f);
  EXPECT_EQ(RotationForDegrees(45).c, 0.70710677f);
  EXPECT_EQ(RotationForDegrees(30).a, 0.5f);
  EXPECT_EQ(RotationForDegrees(30).c, 0.8660254f);
  EXPECT_EQ(RotationForDegrees(90).a, 1.0f);
  EXPECT_EQ(RotationForDegrees(90).c, 6.123234e-17f);  // not exactly 0
  EXPECT_EQ(RotationForDegrees(-90).a, -1.0f);
  EXPECT_EQ(RotationForDegrees(-90).c, 6.123234e-17f);
}

TEST(Rotation, DialEndPoints) {
  auto d = DialFor(0);
  ExpectPoint(d.line7, 3380, 4200);
  ExpectPoint(d.line11, 2380, 4200);
  ExpectPoint(d.line12, 2880, 4050);
  d = DialFor(45);
  ExpectPoint(d.line7, 2880, 4700);
  ExpectPoint(d.line11, 2880, 3700);
  ExpectPoint(d.line12, 3030, 4200);
  d = DialFor(10);
  ExpectPoint(d.line7, 3350, 4371);
  ExpectPoint(d.line12, 2931, 4059);
  // 12.5 is drawn unrounded: a heading of 25°.
  d = DialFor(12.5);
  ExpectPoint(d.line12, 2880 + 63, 4200 - 136);
}

TEST(Rotation, NearestHalvesGoToEven) {
  EXPECT_EQ(NearestEven16(2.5), 2);
  EXPECT_EQ(NearestEven16(3.5), 4);
  EXPECT_EQ(NearestEven16(-2.5), -2);
  EXPECT_EQ(NearestEven16(-0.4), 0);
  EXPECT_EQ(NearestEven16(469.8), 470);
  EXPECT_EQ(NearestEven16(1e9), 32767);
  EXPECT_EQ(NearestEven16(std::nan("")), 0);
}

TEST(Rotation, SliderValueForAnAngle) {
  EXPECT_EQ(SliderValueFor(12.5), 12);
  EXPECT_EQ(SliderValueFor(13.5), 14);
  EXPECT_EQ(SliderValueFor(-0.5), 0);
  EXPECT_EQ(SliderValueFor(0), 0);
  EXPECT_EQ(SliderValueFor(120), 90);
  EXPECT_EQ(SliderValueFor(-1e300), -90);
  EXPECT_EQ(SliderValueFor(std::nan("")), 0);
}

TEST(Rotation, AngleShownForAStoredAIsTheInverseOfTheSlider) {
  EXPECT_EQ(DialAngleForStoredA(0.0f), 0.0);
  // Every slider value comes back as itself once stored as a single and shown again.
  for (int v = -90; v <= 90; ++v) {
    EXPECT_EQ(SliderValueFor(DialAngleForStoredA(RotationForDegrees(v).a)), v) << v;
  }
  EXPECT_NEAR(DialAngleForStoredA(0.5f), 30.0, 1e-9);
  // Values no dial can produce are shown at the nearest end, never as not-a-number.
  EXPECT_NEAR(DialAngleForStoredA(1.5f), 90.0, 1e-9);
  EXPECT_NEAR(DialAngleForStoredA(-7.0f), -90.0, 1e-9);
  EXPECT_EQ(DialAngleForStoredA(std::nanf("")), 0.0);
}

}  // namespace
}  // namespace quorvex
