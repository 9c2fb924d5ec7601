#include "ui/byte_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <vector>

#include "scene/text_codec.h"

namespace quorvex::ui {
namespace {

constexpr char32_t kLineSeparator = 0x2028;  // what a text box inserts for Shift+Enter

int BreakLength(LineBreak kind) {
  return kind == LineBreak::CrLf ? 2 : 1;
}

QString BreakText(LineBreak kind) {
  return kind == LineBreak::CrLf ? QStringLiteral("\r\n")
                                 : QString(QChar(kind == LineBreak::Lf ? '\n' : '\r'));
}

void AppendBreak(ByteString& out, LineBreak kind) {
  if (kind == LineBreak::CrLf) {
    out += "\r\n";
  } else {
    out += kind == LineBreak::Lf ? '\n' : '\r';
  }
}

// The line end after a line is a property of the character format of the separator that closes
// it in the text document (the format QTextBlock::charFormat() reports for the next block). It is
// not kept in the block's user state or block format: those stay with the block, so a joined line
// would keep the wrong end and undo would not bring it back, while the separator is deleted,
// restored and redone together with the line break it stands for. A separator without the
// property ends its line with the default break.
constexpr int kLineEndProperty = QTextFormat::UserProperty + 1;

QVariant LineEndAfter(const QTextBlock& block) {
  const QTextBlock next = block.next();
  return next.isValid() ? next.charFormat().property(kLineEndProperty) : QVariant();
}

void SetLineEndAfter(QTextDocument* doc, const QTextBlock& block, const QVariant& kind) {
  const QTextBlock next = block.next();
  if (!next.isValid()) return;
  QTextCharFormat format = next.charFormat();
  if (format.property(kLineEndProperty) == kind) return;
  if (kind.isValid()) {
    format.setProperty(kLineEndProperty, kind);
  } else {
    format.clearProperty(kLineEndProperty);
  }
  QTextCursor separator(doc);
  separator.setPosition(next.position() - 1);
  separator.setPosition(next.position(), QTextCursor::KeepAnchor);
  separator.setCharFormat(format);
}

}  // namespace

ByteTextEdit::ByteTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

LineBreak ByteTextEdit::breakAfter(const QTextBlock& block) const {
  const QVariant kind = LineEndAfter(block);
  if (!kind.isValid()) return defaultBreak_;
  const int value = kind.toInt();
  return value >= 0 && value <= 2 ? static_cast<LineBreak>(value) : defaultBreak_;
}

void ByteTextEdit::setBytes(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  std::vector<LineBreak> breaks;
  std::array<int, 3> seen{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b == '\r' || b == '\n') {
      LineBreak kind = b == '\n' ? LineBreak::Lf : LineBreak::Cr;
      if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        kind = LineBreak::CrLf;
        ++i;
      }
      breaks.push_back(kind);
      ++seen[static_cast<int>(kind)];
      text.append(QChar('\n'));
      continue;
    }
    text.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(b))));
  }
  loaded_.assign(bytes);
  defaultBreak_ = LineBreak::CrLf;
  if (seen[1] > seen[0] && seen[1] >= seen[2]) defaultBreak_ = LineBreak::Lf;
  if (seen[2] > seen[0] && seen[2] > seen[1]) defaultBreak_ = LineBreak::Cr;

  {
    const QSignalBlocker quiet(this);
    setPlainText(text);
    // Only the lines whose end differs from the default carry it; loading is not an edit.
    QTextDocument* doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor batch(doc);
    batch.beginEditBlock();
    std::size_t line = 0;
    for (QTextBlock block = doc->begin(); block.isValid() && line < breaks.size();
         block = block.next(), ++line) {
      if (breaks[line] != defaultBreak_)
        SetLineEndAfter(doc, block, static_cast<int>(breaks[line]));
    }
    batch.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
  }
  emit textChanged();
}

ByteTextEdit::Encoded ByteTextEdit::encodedBytes() const {
  Encoded out;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (const char32_t ch : block.text().toUcs4()) {
      if (ch == kLineSeparator) {
        AppendBreak(out.bytes, defaultBreak_);
      } else if (const auto byte = UnicodeToCp1252(ch)) {
        out.bytes.push_back(static_cast<char>(*byte));
      } else {
        if (!out.unencodable) out.unencodable = QString::fromUcs4(&ch, 1);
        out.bytes.push_back('?');
      }
    }
    if (block.next().isValid()) AppendBreak(out.bytes, breakAfter(block));
  }
  return out;
}

bool ByteTextEdit::differsFromLoaded() const {
  const Encoded text = encodedBytes();
  return text.unencodable || text.bytes != loaded_;
}

std::int64_t ByteTextEdit::byteCount() const {
  std::int64_t count = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
      count += text[i] == QChar(kLineSeparator) ? BreakLength(defaultBreak_) : 1;
    }
    if (block.next().isValid()) count += BreakLength(breakAfter(block));
  }
  return count;
}

int ByteTextEdit::positionForByteOffset(std::int64_t offset) const {
  std::int64_t remaining = offset < 0 ? 0 : offset;
  QTextBlock block = document()->begin();
  for (; block.isValid(); block = block.next()) {
    const std::int64_t length = block.length() - 1;  // without the line end
    if (remaining <= length) return block.position() + static_cast<int>(remaining);
    remaining -= length;
    if (!block.next().isValid()) break;
    const int breakLength = BreakLength(breakAfter(block));
    if (remaining < breakLength) return block.position() + static_cast<int>(length);
    remaining -= breakLength;
  }
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  return end.position();
}

void ByteTextEdit::insertKeepingBreaks(QTextCursor& cursor, const QString& text) {
  QTextDocument* doc = document();
  const int firstLine = doc->findBlock(cursor.selectionStart()).blockNumber();
  const QVariant closingBreak = LineEndAfter(doc->findBlock(cursor.selectionEnd()));
  cursor.beginEditBlock();
  cursor.insertText(text);
  // The new separators take the cursor's character format; the edited line's old line end
  // belongs after the last inserted line, the lines before it take the default break.
  const QTextBlock last = cursor.block();
  for (QTextBlock block = doc->findBlockByNumber(firstLine); block.isValid() && block != last;
       block = block.next()) {
    SetLineEndAfter(doc, block, QVariant());
  }
  SetLineEndAfter(doc, last, closingBreak);
  cursor.endEditBlock();
}

void ByteTextEdit::keyPressEvent(QKeyEvent* event) {
  const bool newLine = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!newLine || isReadOnly()) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  QTextCursor cursor = textCursor();
  insertKeepingBreaks(cursor, QStringLiteral("\n"));
  setTextCursor(cursor);
  ensureCursorVisible();
  event->accept();
}

QMimeData* ByteTextEdit::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  const int start = cursor.selectionStart();
  const int end = cursor.selectionEnd();
  QString text;
  for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() <= end;
       block = block.next()) {
    const int from = std::max(start, block.position()) - block.position();
    const int to = std::min(end, block.position() + block.length() - 1) - block.position();
    text +=
        block.text().mid(from, to - from).replace(QChar(kLineSeparator), BreakText(defaultBreak_));
    // The line's end is selected when the selection goes on into the next line.
    if (end >= block.position() + block.length()) text += BreakText(breakAfter(block));
  }
  auto* data = new QMimeData;
  data->setText(text);
  return data;
}

void ByteTextEdit::insertFromMimeData(const QMimeData* source) {
  if (isReadOnly() || source == nullptr || !source->hasText()) return;
  QTextCursor cursor = textCursor();
  // A CR LF or a lone CR is one line end, as LF is (a text document would make two lines of a
  // CR LF); the pasted lines take the default break.
  QString text = source->text();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  insertKeepingBreaks(cursor, text);
  setTextCursor(cursor);
  ensureCursorVisible();
}

}  // namespace quorvex::ui
