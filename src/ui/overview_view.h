#pragma once
// The script overview as the window shows it: a read-only view of a scene text of any size.
//
// The overview of a large scene runs to tens of megabytes and hundreds of thousands of lines, so
// the view keeps the bytes as they are (Windows-1252, mixed CR LF / lone CR / lone LF line ends,
// tabs, NUL and bytes 0x80-0xFF), finds the line starts once, and decodes only the lines it
// paints. It draws in the cells of a fixed-pitch font (tabs run to the next tab stop; control bytes
// show as a small box, or "?" in a font without one) and scrolls by whole lines, so no scroll bar
// ever counts pixels of the whole text. Give it a fixed-pitch font with setFont(); tab stops are
// set in cells with setTabWidth().
//
// Everything the view reports is in 0-based byte offsets of bytes(): the selection, the cursor,
// the range given to selectRange(). The caret never stands between the CR and the LF of a CR LF.
// A search runs over bytes() and shows its hit with selectRange(hit, needle length).
//
// Keys: arrows, PageUp/PageDown, Home/End (line), Ctrl+Home/Ctrl+End (text), with Shift to
// select; Ctrl+A selects all, Ctrl+C copies. Mouse: click, drag (scrolls at the edges),
// Shift+click, double click selects a word. The context menu offers Copy and Select All.
//
// overview_view.cpp holds the text and the selection, overview_view_paint.cpp the painting,
// overview_view_scroll.cpp the lines and cells in view and the scroll bars, and
// overview_view_input.cpp the keys and the mouse.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <cstdint>
#include <string_view>

#include "scene/scene_image.h"
#include "ui/line_index.h"

namespace quorvex::ui {

class OverviewView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool operator==(const ByteRange&) const = default;
  };

  // Empty, with the system's fixed-pitch font and tab stops every 4 cells.
  explicit OverviewView(QWidget* parent = nullptr);

  // Shows `bytes` from the top, nothing selected. Takes the text over without copying it (pass
  // with std::move) and indexes its lines in one pass.
  void setBytes(ByteString bytes);
  // The same with the index of its lines built already (LineIndex::extend while the text was
  // written), so that showing it costs no pass over the text. An index of another length is
  // built again.
  void setBytes(ByteString bytes, LineIndex lines);
  // Shows the empty text and gives the memory back.
  void clearBytes();
  // The text shown, byte for byte: what a search runs over.
  const ByteString& bytes() const { return bytes_; }

  // Tab stops every `cells` character cells (at least 1).
  void setTabWidth(int cells);
  int tabWidth() const { return tabWidth_; }

  // Selects bytes byteOffset .. byteOffset + byteLength - 1 (clipped to the text) and scrolls so
  // that the start of the range is in view, and its end too when it fits. The caret goes to the
  // end of the range.
  void selectRange(std::int64_t byteOffset, std::int64_t byteLength);
  // The selection; length 0 (at the caret) when nothing is selected.
  ByteRange selectedRange() const;
  std::string_view selectedBytes() const;
  // The selected bytes decoded, one character per byte, line ends as they are.
  QString selectedText() const;
  void selectAll();
  // Puts selectedText() on the clipboard; does nothing when nothing is selected.
  void copy() const;

  // Where the view stands, for callers that keep a position and for tests.
  std::int64_t lineCount() const { return index_.lineCount(); }
  std::int64_t firstVisibleLine() const { return topLine_; }
  int visibleLineCount() const;  // whole lines that fit the viewport (at least 1)
  std::int64_t firstVisibleCell() const;
  int visibleCellCount() const;  // whole cells that fit the viewport's width (at least 1)
  std::int64_t cursorOffset() const { return cursor_; }

 signals:
  void selectionChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::int64_t lineEnd(std::int64_t line) const { return index_.contentEnd(bytes_, line); }
  // The bytes of a line without its line end.
  std::string_view lineText(std::int64_t line) const;
  std::int64_t widthOf(std::int64_t line) const;  // in cells
  // The text painted for cells first .. first + count - 1 of a line.
  QString cellText(std::string_view line, std::int64_t first, std::int64_t count) const;
  QChar shown(char byte) const;

  void updateMetrics();
  void updateScrollBars();
  // Widens the horizontal range to the lines now in view.
  void noteVisibleWidths();
  std::int64_t maxTopLine() const;
  int barValueForLine(std::int64_t line) const;
  std::int64_t lineForBarValue(int value) const;
  void scrollToLine(std::int64_t line);
  void ensureVisible(std::int64_t offset);

  // The caret position nearest to a point of the viewport.
  std::int64_t offsetAt(QPoint point) const;
  // Moves the caret; the selection follows (extend) or collapses onto it.
  void moveCursor(std::int64_t offset, bool extend);
  void selectWordAt(std::int64_t offset);
  bool navigate(QKeyEvent* event);

  ByteString bytes_;
  LineIndex index_;
  int tabWidth_ = 4;

  std::int64_t topLine_ = 0;
  std::int64_t widestCells_ = 0;  // the widest line met so far
  std::int64_t anchor_ = 0;
  std::int64_t cursor_ = 0;
  std::int64_t goalCell_ = -1;  // the cell Up/Down aim at; -1: the caret's own

  qreal cellWidth_ = 1;
  int lineHeight_ = 1;
  int ascent_ = 0;
  QChar controlGlyph_;

  bool syncingBars_ = false;  // the view itself moves the scroll bars
  bool dragging_ = false;
  QPoint dragPoint_;
  QBasicTimer dragScroll_;
};

}  // namespace quorvex::ui
