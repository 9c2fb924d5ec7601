#pragma once
// The script box: the byte-exact text box with what helps reading a script: line numbers in a
// left margin, the current line highlighted, plain colouring (ScriptHighlighter), Ctrl+F to find
// text (letter case ignored as the scene's code page folds it, wrapping at the end; F3 finds the
// next hit) and Ctrl+G to go to a line. None of it changes the text, its line ends or the undo
// history.

#include <QString>
#include <memory>

#include "ui/byte_text_edit.h"

namespace quorvex::ui {

class MessageService;
class ScriptHighlighter;

class ScriptEdit : public ByteTextEdit {
  Q_OBJECT

 public:
  explicit ScriptEdit(QWidget* parent = nullptr);
  ~ScriptEdit() override;

  // The questions of Ctrl+F and Ctrl+G and the "not found" message go here; real dialogs while
  // none is set. The service must outlive the box or be replaced before it goes.
  void setMessageService(MessageService* messages) { messages_ = messages; }

  // Ctrl+F: asks for a text and selects its next occurrence.
  void find();
  // F3: the next occurrence of the last text; asks for one when there is none yet.
  void findNext();
  // Ctrl+G: asks for a line number and puts the cursor at the start of that line.
  void goToLine();

  int lineNumberAreaWidth() const;
  ScriptHighlighter* highlighter() const { return highlighter_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class LineNumberArea;
  void paintLineNumbers(QPaintEvent* event);
  void updateLineNumberAreaWidth();
  void updateLineNumberArea(const QRect& rect, int dy);
  void highlightCurrentLine();
  MessageService& messages();

  QWidget* lineNumberArea_ = nullptr;
  ScriptHighlighter* highlighter_ = nullptr;
  MessageService* messages_ = nullptr;
  std::unique_ptr<MessageService> ownMessages_;
  QString lastFind_;
};

}  // namespace quorvex::ui
