#include "ui/script_highlighter.h"

namespace quorvex::ui {
namespace {

bool IsWordChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_');
}

}  // namespace

ScriptHighlighter::ScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  comment_.setForeground(QColor(0, 128, 0));
  comment_.setFontItalic(true);
  string_.setForeground(QColor(163, 21, 21));
  number_.setForeground(QColor(0, 0, 192));
}

QTextCharFormat ScriptHighlighter::format(Kind kind) const {
  switch (kind) {
    case Kind::Comment:
      return comment_;
    case Kind::String:
      return string_;
    case Kind::Number:
      break;
  }
  return number_;
}

void ScriptHighlighter::highlightBlock(const QString& text) {
  // One pass from left to right, so that "//" inside a string is not a comment and a quote inside
  // a comment starts no string. A string ends at its closing quote or at the end of the line.
  const qsizetype n = text.size();
  qsizetype i = 0;
  const auto skipWord = [&] {
    while (i < n && IsWordChar(text[i])) ++i;
  };
  while (i < n) {
    const QChar c = text[i];
    if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('/')) {
      setFormat(static_cast<int>(i), static_cast<int>(n - i), comment_);
      return;
    }
    if (c == QLatin1Char('"')) {
      const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
      const qsizetype end = close < 0 ? n : close + 1;
      setFormat(static_cast<int>(i), static_cast<int>(end - i), string_);
      i = end;
      continue;
    }
    const bool sign = c == QLatin1Char('-') && i + 1 < n && text[i + 1].isDigit();
    if (c.isDigit() || sign) {
      // A number stands on its own: "12" in "Enemy12K" or "2x" is part of a word.
      const qsizetype start = i;
      i += sign ? 1 : 0;
      while (i < n && (text[i].isDigit() || text[i] == QLatin1Char('.'))) ++i;
      if (i < n && IsWordChar(text[i])) {
        skipWord();
        continue;
      }
      setFormat(static_cast<int>(start), static_cast<int>(i - start), number_);
      continue;
    }
    if (IsWordChar(c)) {
      skipWord();
      continue;
    }
    ++i;
  }
}

}  // namespace quorvex::ui
