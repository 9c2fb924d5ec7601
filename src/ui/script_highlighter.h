#pragma once
// Plain colouring of scene scripts: comments (from "//" to the end of the line), quoted strings
// and numbers. There are no keyword lists: the commands of a scene's scripts are not fixed.
//
// The colours go into the layout of each line, not into the text document, so they never change
// the text, its line ends or the undo history.

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace quorvex::ui {

class ScriptHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  enum class Kind { Comment, String, Number };

  explicit ScriptHighlighter(QTextDocument* document);

  // The format used for a kind of text.
  QTextCharFormat format(Kind kind) const;

 protected:
  void highlightBlock(const QString& text) override;

 private:
  QTextCharFormat comment_;
  QTextCharFormat string_;
  QTextCharFormat number_;
};

}  // namespace quorvex::ui
