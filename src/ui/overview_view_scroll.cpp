// The overview view's scrolling: which lines and cells are in view, and the scroll bars, which
// count lines and cells rather than pixels.
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/overview_view.h"
#include "ui/text_cells.h"

namespace quorvex::ui {
namespace {

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

}  // namespace

int OverviewView::visibleLineCount() const {
  return std::max(1, viewport()->height() / lineHeight_);
}

std::int64_t OverviewView::firstVisibleCell() const {
  return horizontalScrollBar()->value();
}

int OverviewView::visibleCellCount() const {
  return std::max(1, static_cast<int>(viewport()->width() / cellWidth_));
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

}  // namespace quorvex::ui
