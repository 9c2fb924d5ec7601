// The overview view's keys and mouse: moving the caret, selecting, copying and the context menu.
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "scene/text_codec.h"
#include "ui/overview_view.h"
#include "ui/text_cells.h"

namespace quorvex::ui {
namespace {

constexpr int kDragScrollMs = 40;

bool IsWordByte(char byte) {
  const QChar ch(static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(byte))));
  return ch.isLetterOrNumber() || ch == QLatin1Char('_');
}

}  // namespace

std::int64_t OverviewView::offsetAt(QPoint point) const {
  const auto row =
      static_cast<std::int64_t>(std::floor(static_cast<double>(point.y()) / lineHeight_));
  const std::int64_t line = std::clamp<std::int64_t>(topLine_ + row, 0, lineCount() - 1);
  const auto cell =
      firstVisibleCell() + std::max<std::int64_t>(0, std::llround(point.x() / cellWidth_));
  return index_.lineStart(bytes_, line) + NearestBoundary(lineText(line), cell, tabWidth_);
}

void OverviewView::moveCursor(std::int64_t offset, bool extend) {
  cursor_ = std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(bytes_.size()));
  if (!extend) anchor_ = cursor_;
  ensureVisible(cursor_);
  viewport()->update();
  emit selectionChanged();
}

void OverviewView::selectWordAt(std::int64_t offset) {
  const std::int64_t line = index_.lineOf(bytes_, offset);
  const std::int64_t start = index_.lineStart(bytes_, line);
  const std::int64_t end = lineEnd(line);
  std::int64_t first = std::min(offset, end);
  std::int64_t last = first;
  while (first > start && IsWordByte(bytes_[static_cast<std::size_t>(first - 1)])) --first;
  while (last < end && IsWordByte(bytes_[static_cast<std::size_t>(last)])) ++last;
  anchor_ = first;
  moveCursor(last, true);
}

bool OverviewView::navigate(QKeyEvent* event) {
  const bool extend = event->modifiers() & Qt::ShiftModifier;
  const bool wholeText = event->modifiers() & Qt::ControlModifier;
  const std::int64_t line = index_.lineOf(bytes_, cursor_);
  const std::int64_t start = index_.lineStart(bytes_, line);
  const std::int64_t end = lineEnd(line);
  const ByteRange selection = selectedRange();

  // Up and Down keep aiming at the cell where vertical movement began.
  const auto vertical = [&](std::int64_t lines) {
    if (goalCell_ < 0) {
      goalCell_ = CellOf(lineText(line), std::min(cursor_, end) - start, tabWidth_);
    }
    const std::int64_t target = std::clamp<std::int64_t>(line + lines, 0, lineCount() - 1);
    const std::int64_t goal = goalCell_;
    moveCursor(
        index_.lineStart(bytes_, target) + NearestBoundary(lineText(target), goal, tabWidth_),
        extend);
    goalCell_ = goal;
  };

  switch (event->key()) {
    case Qt::Key_Left:
      if (!extend && selection.length > 0) {
        moveCursor(selection.offset, false);
      } else if (cursor_ > start) {
        moveCursor(std::min(cursor_ - 1, end), extend);
      } else if (line > 0) {
        moveCursor(lineEnd(line - 1), extend);
      }
      return true;
    case Qt::Key_Right:
      if (!extend && selection.length > 0) {
        moveCursor(selection.offset + selection.length, false);
      } else if (cursor_ < end) {
        moveCursor(cursor_ + 1, extend);
      } else if (line + 1 < lineCount()) {
        moveCursor(index_.lineStart(bytes_, line + 1), extend);
      }
      return true;
    case Qt::Key_Up:
      vertical(-1);
      return true;
    case Qt::Key_Down:
      vertical(1);
      return true;
    case Qt::Key_PageUp:
      scrollToLine(topLine_ - visibleLineCount());
      vertical(-visibleLineCount());
      return true;
    case Qt::Key_PageDown:
      scrollToLine(topLine_ + visibleLineCount());
      vertical(visibleLineCount());
      return true;
    case Qt::Key_Home:
      moveCursor(wholeText ? 0 : start, extend);
      return true;
    case Qt::Key_End:
      moveCursor(wholeText ? static_cast<std::int64_t>(bytes_.size()) : end, extend);
      return true;
    default:
      return false;
  }
}

void OverviewView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy) {
    copy();
  } else if (event == QKeySequence::SelectAll) {
    selectAll();
  } else {
    const int key = event->key();
    const bool vertical = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                          key == Qt::Key_PageDown;
    if (!vertical) goalCell_ = -1;
    if (!navigate(event)) {
      QAbstractScrollArea::keyPressEvent(event);
      return;
    }
  }
  event->accept();
}

void OverviewView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  goalCell_ = -1;
  dragging_ = true;
  dragPoint_ = event->position().toPoint();
  moveCursor(offsetAt(dragPoint_), event->modifiers() & Qt::ShiftModifier);
}

void OverviewView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
  dragPoint_ = event->position().toPoint();
  moveCursor(offsetAt(dragPoint_), true);
  // Beyond an edge the view keeps scrolling towards the pointer while the button is held.
  if (viewport()->rect().contains(dragPoint_)) {
    dragScroll_.stop();
  } else if (!dragScroll_.isActive()) {
    dragScroll_.start(kDragScrollMs, this);
  }
}

void OverviewView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    dragScroll_.stop();
  }
}

void OverviewView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  goalCell_ = -1;
  selectWordAt(offsetAt(event->position().toPoint()));
}

void OverviewView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != dragScroll_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  const QRect area = viewport()->rect();
  if (dragPoint_.y() < area.top()) scrollToLine(topLine_ - 1);
  if (dragPoint_.y() > area.bottom()) scrollToLine(topLine_ + 1);
  QScrollBar* horizontal = horizontalScrollBar();
  if (dragPoint_.x() < area.left()) horizontal->setValue(horizontal->value() - 1);
  if (dragPoint_.x() > area.right()) horizontal->setValue(horizontal->value() + 1);
  moveCursor(offsetAt(dragPoint_), true);
}

void OverviewView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction(tr("&Copy"), this, &OverviewView::copy);
  copyAction->setShortcut(QKeySequence::Copy);
  copyAction->setEnabled(anchor_ != cursor_);
  QAction* allAction = menu.addAction(tr("Select All"), this, &OverviewView::selectAll);
  allAction->setShortcut(QKeySequence::SelectAll);
  allAction->setEnabled(!bytes_.empty());
  menu.exec(event->globalPos());
}

void OverviewView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void OverviewView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

}  // namespace quorvex::ui
