// The overview view's painting: the lines in view, decoded cell by cell from the bytes, the
// selection over them and the caret.
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

#include "scene/text_codec.h"
#include "ui/overview_view.h"
#include "ui/text_cells.h"

namespace quorvex::ui {
namespace {

constexpr char32_t kControlBox = 0x25AB;  // white small square

}  // namespace

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

}  // namespace quorvex::ui
