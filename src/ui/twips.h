#pragma once
// Control positions are laid out in twips (1/1440 inch): 15 twips per pixel at 96 DPI, scaled
// with the logical DPI of the screen the window opens on.

#include <QRect>
#include <cmath>

namespace quorvex::ui {

class Twips {
 public:
  explicit Twips(double logicalDpi = 96.0) : pixelsPerTwip_(logicalDpi / 1440.0) {}

  int px(int twips) const { return static_cast<int>(std::lround(twips * pixelsPerTwip_)); }
  QRect rect(int left, int top, int width, int height) const {
    return QRect(px(left), px(top), px(width), px(height));
  }

 private:
  double pixelsPerTwip_;
};

}  // namespace quorvex::ui
