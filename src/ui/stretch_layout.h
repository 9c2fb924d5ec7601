#pragma once
// Lays out controls that were placed at fixed positions for a window of a given design size when
// the window is larger. Each control keeps its design geometry; each of its four edges moves by a
// fixed share of the extra width (left, right) or extra height (top, bottom). A share of 0 keeps
// the edge where it was, 1 moves it with the window's right or bottom edge; a control whose two
// edges move by different shares stretches.

#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace quorvex::ui {

struct EdgeShares {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

class StretchLayout {
 public:
  // Records the control with its current geometry as its design geometry.
  void add(QWidget* widget, EdgeShares shares);
  // Places every control for a window `extra` larger than the design size; negative parts count
  // as 0, so a window below its design size keeps the design layout.
  void apply(QSize extra) const;

  static QRect Stretched(const QRect& design, EdgeShares shares, QSize extra);

 private:
  struct Entry {
    QWidget* widget;
    QRect design;
    EdgeShares shares;
  };
  std::vector<Entry> entries_;
};

}  // namespace quorvex::ui
