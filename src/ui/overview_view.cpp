#include "ui/overview_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "scene/text_codec.h"
#include "ui/text_cells.h"

namespace quorvex::ui {
namespace {

constexpr int kDragScrollMs = 40;
constexpr char32_t kControlBox = 0x25AB;  // white small square

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

// One character per byte, through a table: a selection can hold the whole overview, tens of
// megabytes, and appending character by character takes seconds for that.
QString Decode(std::string_view bytes) {
  static const std::array<char16_t, 256> kCharacters = [] {
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
      table[static_cast<std::size_t>(byte)] =
          static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(byte)));
    }
    return table;
  }();
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  for (const char byte : bytes) *out++ = kCharacters[static_cast<std::uint8_t>(byte)];
  return text;
}

bool IsWordByte(char byte) {
  const QChar ch(static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(byte))));
  return ch.isLetterOrNumber() || ch == QLatin1Char('_');
}

}  // namespace

OverviewView::OverviewView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
  updateMetrics();
  updateScrollBars();
}

void OverviewView::setBytes(ByteString bytes) {
  setBytes(std::move(bytes), LineIndex());
}

void OverviewView::setBytes(ByteString bytes, LineIndex lines) {
  bytes_ = std::move(bytes);
  index_ = std::move(lines);
  if (index_.size() != static_cast<std::int64_t>(bytes_.size())) index_.build(bytes_);
  topLine_ = 0;
  anchor_ = cursor_ = 0;
  goalCell_ = -1;
  // The longest line in bytes gives the horizontal range a start without measuring every line;
  // lines that turn out wider (tabs) widen it when they come into view.
  widestCells_ = widthOf(index_.longestLineNumber());
  syncingBars_ = true;
  horizontalScrollBar()->setValue(0);
  syncingBars_ = false;
  updateScrollBars();
  noteVisibleWidths();
  viewport()->update();
  emit selectionChanged();
}

void OverviewView::clearBytes() {
  setBytes({});
  ByteString().swap(bytes_);
  index_.clear();
}

void OverviewView::setTabWidth(int cells) {
  tabWidth_ = std::max(1, cells);
  widestCells_ = widthOf(index_.longestLineNumber());
  updateScrollBars();
  noteVisibleWidths();
  viewport()->update();
}

OverviewView::ByteRange OverviewView::selectedRange() const {
  const std::int64_t first = std::min(anchor_, cursor_);
  return {first, std::max(anchor_, cursor_) - first};
}

std::string_view OverviewView::selectedBytes() const {
  const ByteRange range = selectedRange();
  return std::string_view(bytes_).substr(static_cast<std::size_t>(range.offset),
                                         static_cast<std::size_t>(range.length));
}

QString OverviewView::selectedText() const {
  return Decode(selectedBytes());
}

void OverviewView::selectRange(std::int64_t byteOffset, std::int64_t byteLength) {
  const auto size = static_cast<std::int64_t>(bytes_.size());
  const std::int64_t first = std::clamp<std::int64_t>(byteOffset, 0, size);
  const std::int64_t last = std::clamp<std::int64_t>(byteLength, 0, size - first) + first;
  anchor_ = first;
  cursor_ = last;
  goalCell_ = -1;
  ensureVisible(last);
  ensureVisible(first);
  viewport()->update();
  emit selectionChanged();
}

void OverviewView::selectAll() {
  anchor_ = 0;
  cursor_ = static_cast<std::int64_t>(bytes_.size());
  goalCell_ = -1;
  viewport()->update();
  emit selectionChanged();
}

void OverviewView::copy() const {
  if (anchor_ == cursor_) return;
  QApplication::clipboard()->setText(selectedText());
}

int OverviewView::visibleLineCount() const {
  return std::max(1, viewport()->height() / lineHeight_);
}

std::int64_t OverviewView::firstVisibleCell() const {
  return horizontalScrollBar()->value();
}

int OverviewView::visibleCellCount() const {
  return std::max(1, static_cast<int>(viewport()->width() / cellWidth_));
}

std::string_view OverviewView::lineText(std::int64_t line) const {
  const std::int64_t start = index_.lineStart(bytes_, line);
  return std::string_view(bytes_).substr(static_cast<std::size_t>(start),
                                         static_cast<std::size_t>(lineEnd(line) - start));
}

std::int64_t OverviewView::widthOf(std::int64_t line) const {
  const std::string_view text = lineText(line);
  return CellOf(text, static_cast<std::int64_t>(text.size()), tabWidth_);
}

QChar OverviewView::shown(char byte) const {
  const char32_t ch = Cp1252ToUnicode(static_cast<std::uint8_t>(byte));
  if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0)) return controlGlyph_;
  if (ch == 0xAD) return QLatin1Char('-');  // a soft hyphen would take no cell
  return QChar(static_cast<char16_t>(ch));
}

QString OverviewView::cellText(std::string_view line, std::int64_t first,
                               std::int64_t count) const {
  QString out;
  out.reserve(static_cast<qsizetype>(count));
  const std::int64_t stop = first + count;
  const CoveringByte covering = ByteCovering(line, first, tabWidth_);
  std::int64_t at = covering.firstCell;  // the cell at which byte i starts
  for (auto i = static_cast<std::size_t>(covering.index); i < line.size() && at < stop; ++i) {
    if (line[i] == '\t') {
      const std::int64_t next = TabStopAfter(at, tabWidth_);
      out.append(QString(static_cast<qsizetype>(next - std::max(at, first)), QLatin1Char(' ')));
      at = next;
    } else {
      out.append(shown(line[i]));
      ++at;
    }
  }
  return out;
}

void OverviewView::updateMetrics() {
  const QFontMetricsF metrics(font());
  cellWidth_ = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
  const QFontMetrics whole(font());
  lineHeight_ = std::max(1, whole.height());
  ascent_ = whole.ascent();
  // A font without the box, or with a box of another width, would shift the rest of the line.
  const bool boxFits = metrics.inFontUcs4(kControlBox) &&
                       qFuzzyCompare(metrics.horizontalAdvance(QChar(kControlBox)), cellWidth_);
  controlGlyph_ = boxFits ? QChar(kControlBox) : QLatin1Char('?');
}

std::int64_t OverviewView::maxTopLine() const {
  return std::max<std::int64_t>(0, lineCount() - visibleLineCount());
}

// The vertical scroll bar counts lines. Only a text of more than 2^31 lines (gigabytes) has more
// first lines than a scroll bar can count; there the bar's positions are spread evenly over them.
int OverviewView::barValueForLine(std::int64_t line) const {
  const std::int64_t top = maxTopLine();
  if (top <= INT_MAX) return static_cast<int>(line);
  return static_cast<int>(std::llround(static_cast<double>(line) / static_cast<double>(top) *
                                       static_cast<double>(INT_MAX)));
}

std::int64_t OverviewView::lineForBarValue(int value) const {
  const std::int64_t top = maxTopLine();
  if (top <= INT_MAX) return value;
  if (value >= INT_MAX) return top;
  return static_cast<std::int64_t>(static_cast<double>(value) / static_cast<double>(INT_MAX) *
                                   static_cast<double>(top));
}

void OverviewView::updateScrollBars() {
  syncingBars_ = true;
  topLine_ = std::clamp<std::int64_t>(topLine_, 0, maxTopLine());
  QScrollBar* vertical = verticalScrollBar();
  vertical->setRange(0, ClampToInt(maxTopLine()));
  vertical->setPageStep(visibleLineCount());
  vertical->setValue(barValueForLine(topLine_));
  QScrollBar* horizontal = horizontalScrollBar();
  // One cell more than the widest line: room for the caret after its last character.
  horizontal->setRange(0, ClampToInt(widestCells_ + 1 - visibleCellCount()));
  horizontal->setPageStep(visibleCellCount());
  syncingBars_ = false;
}

void OverviewView::noteVisibleWidths() {
  const std::int64_t last = std::min(lineCount(), topLine_ + visibleLineCount() + 1);
  std::int64_t widest = widestCells_;
  for (std::int64_t line = topLine_; line < last; ++line) {
    // Measured once already; and a line cannot be wider than its bytes with every one a tab.
    if (line == index_.longestLineNumber()) continue;
    const std::int64_t bytes = lineEnd(line) - index_.lineStart(bytes_, line);
    if (bytes * tabWidth_ <= widest) continue;
    widest = std::max(widest, widthOf(line));
  }
  if (widest == widestCells_) return;
  widestCells_ = widest;
  syncingBars_ = true;
  horizontalScrollBar()->setRange(0, ClampToInt(widestCells_ + 1 - visibleCellCount()));
  syncingBars_ = false;
}

void OverviewView::scrollToLine(std::int64_t line) {
  topLine_ = std::clamp<std::int64_t>(line, 0, maxTopLine());
  syncingBars_ = true;
  verticalScrollBar()->setValue(barValueForLine(topLine_));
  syncingBars_ = false;
  noteVisibleWidths();
  viewport()->update();
}

void OverviewView::ensureVisible(std::int64_t offset) {
  const std::int64_t line = index_.lineOf(bytes_, offset);
  const int rows = visibleLineCount();
  if (line < topLine_) {
    scrollToLine(line);
  } else if (line >= topLine_ + rows) {
    scrollToLine(line - rows + 1);
  }
  const std::int64_t start = index_.lineStart(bytes_, line);
  const std::string_view text = lineText(line);
  const std::int64_t cell =
      CellOf(text, std::min<std::int64_t>(offset - start, static_cast<std::int64_t>(text.size())),
             tabWidth_);
  const std::int64_t left = firstVisibleCell();
  const int cells = visibleCellCount();
  if (cell < left) {
    horizontalScrollBar()->setValue(ClampToInt(cell));
  } else if (cell >= left + cells) {
    horizontalScrollBar()->setValue(ClampToInt(cell - cells + 1));
  }
}

void OverviewView::scrollContentsBy(int, int) {
  // Lines and cells are painted from the scroll bars' values; nothing to move by pixels.
  if (!syncingBars_) {
    topLine_ = lineForBarValue(verticalScrollBar()->value());
    noteVisibleWidths();
  }
  viewport()->update();
}

void OverviewView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
  noteVisibleWidths();
}

void OverviewView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    updateMetrics();
    updateScrollBars();
    viewport()->update();
  }
}

void OverviewView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QPalette& colours = palette();
  const std::int64_t left = firstVisibleCell();
  const std::int64_t cells = visibleCellCount() + 2;
  const ByteRange selection = selectedRange();
  const std::int64_t selectionEnd = selection.offset + selection.length;
  const int rows = viewport()->height() / lineHeight_ + 1;

  for (int row = 0; row < rows && topLine_ + row < lineCount(); ++row) {
    const std::int64_t line = topLine_ + row;
    const int top = row * lineHeight_;
    const QPointF baseline(0, top + ascent_);
    const std::string_view text = lineText(line);
    const QString shownText = cellText(text, left, cells);
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(baseline, shownText);
    if (selection.length == 0) continue;

    // The selected cells of this line; a selected line end shows as one cell after the text.
    const std::int64_t start = index_.lineStart(bytes_, line);
    const std::int64_t end = start + static_cast<std::int64_t>(text.size());
    const std::int64_t next = line + 1 < lineCount() ? index_.lineStart(bytes_, line + 1) : end;
    const std::int64_t from = std::max(selection.offset, start);
    const std::int64_t to = std::min(selectionEnd, end);
    std::int64_t firstCell = -1;
    std::int64_t endCell = -1;
    if (from < to) {
      firstCell = CellOf(text, from - start, tabWidth_);
      endCell = CellOf(text, to - start, tabWidth_);
    }
    if (next > end && selection.offset < next && selectionEnd > end) {
      const std::int64_t breakCell = CellOf(text, end - start, tabWidth_);
      if (firstCell < 0) firstCell = breakCell;
      endCell = breakCell + 1;
    }
    if (firstCell < 0) continue;
    const qreal x0 = static_cast<qreal>(std::clamp(firstCell - left, std::int64_t{-1}, cells));
    const qreal x1 = static_cast<qreal>(std::clamp(endCell - left, std::int64_t{-1}, cells));
    if (x1 <= x0) continue;
    const QRectF band(x0 * cellWidth_, top, (x1 - x0) * cellWidth_, lineHeight_);
    painter.fillRect(band, colours.color(QPalette::Highlight));
    painter.save();
    painter.setClipRect(band);
    painter.setPen(colours.color(QPalette::HighlightedText));
    painter.drawText(baseline, shownText);
    painter.restore();
  }

  if (hasFocus()) {
    const std::int64_t line = index_.lineOf(bytes_, cursor_);
    if (line >= topLine_ && line - topLine_ < rows) {
      const std::string_view text = lineText(line);
      const std::int64_t column = std::min<std::int64_t>(cursor_ - index_.lineStart(bytes_, line),
                                                         static_cast<std::int64_t>(text.size()));
      const qreal x = static_cast<qreal>(CellOf(text, column, tabWidth_) - left) * cellWidth_;
      const auto top = static_cast<qreal>((line - topLine_) * lineHeight_);
      painter.fillRect(QRectF(x, top, 1, lineHeight_), colours.color(QPalette::Text));
    }
  }
}

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
