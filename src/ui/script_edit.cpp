#include "ui/script_edit.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTextBlock>
#include <algorithm>
#include <vector>

#include "scene/text_codec.h"
#include "ui/message_service.h"
#include "ui/script_highlighter.h"

namespace quorvex::ui {

// The left margin: paints the numbers of the visible lines.
class LineNumberArea : public QWidget {
 public:
  explicit LineNumberArea(ScriptEdit* edit) : QWidget(edit), edit_(edit) {
    setObjectName(QStringLiteral("LineNumbers"));
  }
  QSize sizeHint() const override { return {edit_->lineNumberAreaWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override { edit_->paintLineNumbers(event); }

 private:
  ScriptEdit* edit_;
};

namespace {

constexpr int kLineNumberPadding = 4;

// What the search compares for a character: its Windows-1252 byte with the letter case folded as
// the core folds it, or, for a character the code page does not hold, a value no byte has. One
// key per position of the text, so that a hit's index is its cursor position.
int SearchKey(QChar c) {
  if (const auto byte = UnicodeToCp1252(c.unicode())) return FoldCase(*byte);
  return 0x100 + c.unicode();
}

std::vector<int> SearchKeys(const QString& text) {
  std::vector<int> keys;
  keys.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) keys.push_back(SearchKey(c));
  return keys;
}

// The first position at or after `from` where `needle` starts, ignoring letter case; -1 if none.
int FindKeys(const std::vector<int>& text, const std::vector<int>& needle, int from) {
  if (needle.empty() || from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
  const auto hit = std::search(text.begin() + from, text.end(), needle.begin(), needle.end());
  return hit == text.end() ? -1 : static_cast<int>(hit - text.begin());
}

}  // namespace

ScriptEdit::ScriptEdit(QWidget* parent) : ByteTextEdit(parent) {
  lineNumberArea_ = new LineNumberArea(this);
  highlighter_ = new ScriptHighlighter(document());
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateLineNumberAreaWidth(); });
  // Loading a text raises no blockCountChanged (the box loads with its signals blocked), only the
  // one textChanged at its end.
  connect(this, &QPlainTextEdit::textChanged, this, [this] { updateLineNumberAreaWidth(); });
  connect(this, &QPlainTextEdit::updateRequest, this,
          [this](const QRect& rect, int dy) { updateLineNumberArea(rect, dy); });
  connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] { highlightCurrentLine(); });
  updateLineNumberAreaWidth();
  highlightCurrentLine();
}

ScriptEdit::~ScriptEdit() = default;

MessageService& ScriptEdit::messages() {
  if (messages_ != nullptr) return *messages_;
  if (!ownMessages_) ownMessages_ = std::make_unique<DialogMessageService>(this);
  return *ownMessages_;
}

int ScriptEdit::lineNumberAreaWidth() const {
  int digits = 1;
  for (int lines = std::max(1, blockCount()); lines >= 10; lines /= 10) ++digits;
  return 2 * kLineNumberPadding + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void ScriptEdit::updateLineNumberAreaWidth() {
  // The text starts right of the numbers, whose width follows their number of digits.
  const int width = lineNumberAreaWidth();
  if (viewportMargins().left() != width) setViewportMargins(width, 0, 0, 0);
  if (lineNumberArea_->width() != width) {
    const QRect area = contentsRect();
    lineNumberArea_->setGeometry(area.left(), area.top(), width, area.height());
  }
}

void ScriptEdit::updateLineNumberArea(const QRect& rect, int dy) {
  if (dy != 0) {
    lineNumberArea_->scroll(0, dy);
  } else {
    lineNumberArea_->update(0, rect.y(), lineNumberArea_->width(), rect.height());
  }
  if (rect.contains(viewport()->rect())) updateLineNumberAreaWidth();
}

void ScriptEdit::resizeEvent(QResizeEvent* event) {
  ByteTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  lineNumberArea_->setGeometry(area.left(), area.top(), lineNumberAreaWidth(), area.height());
}

void ScriptEdit::changeEvent(QEvent* event) {
  ByteTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) updateLineNumberAreaWidth();
  if (event->type() == QEvent::EnabledChange) highlightCurrentLine();
}

void ScriptEdit::paintLineNumbers(QPaintEvent* event) {
  QPainter painter(lineNumberArea_);
  painter.fillRect(event->rect(), palette().color(QPalette::Window));
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const int width = lineNumberArea_->width() - kLineNumberPadding;
  const int height = fontMetrics().height();
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= event->rect().bottom()) {
    const int bottom = top + qRound(blockBoundingRect(block).height());
    if (block.isVisible() && bottom >= event->rect().top()) {
      painter.drawText(0, top, width, height, Qt::AlignRight,
                       QString::number(block.blockNumber() + 1));
    }
    block = block.next();
    top = bottom;
  }
}

void ScriptEdit::highlightCurrentLine() {
  QList<QTextEdit::ExtraSelection> selections;
  if (isEnabled()) {
    QTextEdit::ExtraSelection line;
    line.format.setBackground(QColor(255, 250, 205));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    selections.append(line);
  }
  setExtraSelections(selections);
}

void ScriptEdit::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers =
      event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_F) {
    find();
  } else if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_G) {
    goToLine();
  } else if (modifiers == Qt::NoModifier && event->key() == Qt::Key_F3) {
    findNext();
  } else {
    ByteTextEdit::keyPressEvent(event);
    return;
  }
  event->accept();
}

void ScriptEdit::find() {
  const std::optional<QString> text =
      messages().askText(QStringLiteral("Find"), QStringLiteral("Find in the script:"), lastFind_);
  if (!text || text->isEmpty()) return;
  lastFind_ = *text;
  findNext();
}

void ScriptEdit::findNext() {
  if (lastFind_.isEmpty()) {
    find();
    return;
  }
  const std::vector<int> text = SearchKeys(document()->toRawText());
  const std::vector<int> needle = SearchKeys(lastFind_);
  int hit = FindKeys(text, needle, textCursor().selectionEnd());
  if (hit < 0) hit = FindKeys(text, needle, 0);  // wrap round to the top
  if (hit < 0) {
    messages().inform(QStringLiteral("Find"),
                      QStringLiteral("\"%1\" is not in the script.").arg(lastFind_));
    return;
  }
  QTextCursor cursor = textCursor();
  cursor.setPosition(hit);
  cursor.setPosition(hit + static_cast<int>(needle.size()), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void ScriptEdit::goToLine() {
  const int lines = blockCount();
  const std::optional<QString> answer = messages().askText(
      QStringLiteral("Go to Line"), QStringLiteral("Line number (1 - %1):").arg(lines),
      QString::number(textCursor().blockNumber() + 1));
  if (!answer) return;
  bool isNumber = false;
  const int line = answer->trimmed().toInt(&isNumber);
  if (!isNumber) return;
  QTextCursor cursor(document()->findBlockByNumber(std::clamp(line, 1, lines) - 1));
  setTextCursor(cursor);
  centerCursor();
}

}  // namespace quorvex::ui
