#pragma once
// The drawing area of the rotation dial inside the insert panel: a circle (Shape1) and the lines
// Line7, Line9 .. Line12, each kept in the panel's twips like the other controls and painted here.

#include <QColor>
#include <QObject>
#include <QWidget>

#include "objects/rotation.h"
#include "ui/twips.h"

namespace quorvex::ui {

// One figure of the dial, in twips relative to the insert panel. A line runs from (x1, y1) to
// (x2, y2); a circle fills the box (x1, y1) .. (x2, y2).
class DialFigure : public QObject {
  Q_OBJECT

 public:
  enum class Kind { Line, Circle };
  DialFigure(QObject* parent, const QString& name, Kind kind, int x1, int y1, int x2, int y2,
             QColor colour = Qt::black, int width = 1);

  Kind kind() const { return kind_; }
  int x1() const { return x1_; }
  int y1() const { return y1_; }
  int x2() const { return x2_; }
  int y2() const { return y2_; }
  QColor colour() const { return colour_; }
  int width() const { return width_; }
  void setEnds(int x1, int y1, int x2, int y2);

 private:
  Kind kind_;
  int x1_, y1_, x2_, y2_;
  QColor colour_;
  int width_;
};

class DialCanvas : public QWidget {
  Q_OBJECT

 public:
  // `origin` is the canvas's own top-left corner in panel twips.
  DialCanvas(QWidget* parent, const Twips& twips, int originX, int originY);

  // The figure named `name` (Shape1, Line7, Line9 .. Line12); null when there is none.
  DialFigure* figure(const QString& name) const;

  // Moves the moving ends of the bar halves Line7 and Line11 and of the pointer Line12 to the
  // drawing's points. The core computes the points from the centre; each line's offset is applied
  // to that line's own fixed end, which is the centre.
  void setDrawing(const DialDrawing& drawing);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Twips twips_;
  int originX_, originY_;
};

}  // namespace quorvex::ui
