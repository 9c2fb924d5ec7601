#include "ui/stretch_layout.h"

#include <algorithm>
#include <cmath>

namespace quorvex::ui {
namespace {

int Share(double share, int extra) {
  return static_cast<int>(std::lround(share * extra));
}

}  // namespace

void StretchLayout::add(QWidget* widget, EdgeShares shares) {
  entries_.push_back({widget, widget->geometry(), shares});
}

QRect StretchLayout::Stretched(const QRect& design, EdgeShares shares, QSize extra) {
  const int dx = std::max(0, extra.width());
  const int dy = std::max(0, extra.height());
  // Edges of neighbouring controls that move by the same share stay the same distance apart.
  const int left = design.x() + Share(shares.left, dx);
  const int top = design.y() + Share(shares.top, dy);
  const int right = design.x() + design.width() + Share(shares.right, dx);
  const int bottom = design.y() + design.height() + Share(shares.bottom, dy);
  return {left, top, right - left, bottom - top};
}

void StretchLayout::apply(QSize extra) const {
  for (const Entry& entry : entries_) {
    entry.widget->setGeometry(Stretched(entry.design, entry.shares, extra));
  }
}

}  // namespace quorvex::ui
