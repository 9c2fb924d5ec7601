// The overview view: the text it shows and the selection (what a search hit, a copy and the keys
// and mouse of overview_view_input.cpp act on).
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>
#include <algorithm>
#include <array>

#include "scene/text_codec.h"
#include "ui/overview_view.h"

namespace quorvex::ui {
namespace {

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

}  // namespace quorvex::ui
