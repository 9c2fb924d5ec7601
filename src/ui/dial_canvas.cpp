#include "ui/dial_canvas.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvex::ui {

DialFigure::DialFigure(QObject* parent, const QString& name, Kind kind, int x1, int y1, int x2,
                       int y2, QColor colour, int width)
    : QObject(parent),
      kind_(kind),
      x1_(x1),
      y1_(y1),
      x2_(x2),
      y2_(y2),
      colour_(colour),
      width_(width) {
  setObjectName(name);
}

void DialFigure::setEnds(int x1, int y1, int x2, int y2) {
  x1_ = x1;
  y1_ = y1;
  x2_ = x2;
  y2_ = y2;
  if (auto* canvas = qobject_cast<QWidget*>(parent())) canvas->update();
}

DialCanvas::DialCanvas(QWidget* parent, const Twips& twips, int originX, int originY)
    : QWidget(parent), twips_(twips), originX_(originX), originY_(originY) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

DialFigure* DialCanvas::figure(const QString& name) const {
  return findChild<DialFigure*>(name, Qt::FindDirectChildrenOnly);
}

void DialCanvas::setDrawing(const DialDrawing& drawing) {
  const auto offset = [](const DialPoint& end, bool onX) {
    return static_cast<int>(std::lround(onX ? end.x - kDialCentre.x : end.y - kDialCentre.y));
  };
  // Line7 turns about its end 2; Line11 and Line12 about their end 1.
  if (DialFigure* line = figure(QStringLiteral("Line7"))) {
    line->setEnds(line->x2() + offset(drawing.line7, true),
                  line->y2() + offset(drawing.line7, false), line->x2(), line->y2());
  }
  for (const auto& [name, end] : {std::pair{QStringLiteral("Line11"), drawing.line11},
                                  std::pair{QStringLiteral("Line12"), drawing.line12}}) {
    if (DialFigure* line = figure(name)) {
      line->setEnds(line->x1(), line->y1(), line->x1() + offset(end, true),
                    line->y1() + offset(end, false));
    }
  }
}

void DialCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const auto at = [&](int x, int y) {
    return QPointF(twips_.px(x - originX_), twips_.px(y - originY_));
  };
  for (const DialFigure* figure :
       findChildren<DialFigure*>(QString(), Qt::FindDirectChildrenOnly)) {
    // Line widths are given in pixels, as a drawing width is.
    QPen pen(figure->colour(), figure->width() <= 1 ? 1.0 : figure->width() / 2.0);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    if (figure->kind() == DialFigure::Kind::Circle) {
      painter.setBrush(Qt::NoBrush);
      // A circle shape draws the largest circle centred in its box.
      const QRectF box(at(figure->x1(), figure->y1()), at(figure->x2(), figure->y2()));
      const double diameter = std::min(box.width(), box.height());
      painter.drawEllipse(QRectF(box.center().x() - diameter / 2, box.center().y() - diameter / 2,
                                 diameter, diameter));
    } else {
      painter.drawLine(at(figure->x1(), figure->y1()), at(figure->x2(), figure->y2()));
    }
  }
}

}  // namespace quorvex::ui
