#pragma once
// A plain text box that holds scene text byte for byte.
//
// Scene scripts are one byte per character (Windows-1252) and may mix CR LF, lone CR and lone LF
// line ends, tabs, NUL and bytes 0x80-0xFF. A text document keeps only "a line ends here", so
// every line remembers the bytes of its own line end with the line separator that closes it (so
// that joining lines, undo and redo keep it right); lines typed or pasted by the user end with the
// break the loaded text uses most (CR LF for a text without one).
// Reading the text back gives exactly the loaded bytes until the user edits them.

#include <QPlainTextEdit>
#include <cstdint>
#include <optional>
#include <string_view>

#include "scene/scene_image.h"

class QTextBlock;
class QTextCursor;

namespace quorvex::ui {

enum class LineBreak : int { CrLf = 0, Lf = 1, Cr = 2 };

class ByteTextEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit ByteTextEdit(QWidget* parent = nullptr);

  // Replaces the content with the given bytes; emits textChanged once, after the line ends are
  // in place. An empty view emits it as well.
  void setBytes(std::string_view bytes);
  void clearBytes() { setBytes({}); }

  struct Encoded {
    ByteString bytes;
    // The first character that a scene file cannot hold, when there is one.
    std::optional<QString> unencodable;
  };
  // The bytes that saving the text would write.
  Encoded encodedBytes() const;
  // The bytes last given to setBytes, or last marked as saved: what the scene holds for the text.
  const ByteString& loadedBytes() const { return loaded_; }
  // The text has been written into the scene: it becomes what the box compares edits with.
  void markSaved() { loaded_ = encodedBytes().bytes; }
  // Whether the text differs from the loaded bytes; an edit undone counts as no change.
  bool differsFromLoaded() const;
  // Their number: each character counts 1, a CR LF line end 2, a lone CR or LF 1.
  std::int64_t byteCount() const;

  // The cursor position of a 0-based byte offset of the text (a line end is one position).
  int positionForByteOffset(std::int64_t offset) const;

  LineBreak defaultBreak() const { return defaultBreak_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  // Copy and drag: the selected text with the line ends the box stores for it (a plain text box
  // would give every line end as LF).
  QMimeData* createMimeDataFromSelection() const override;

 private:
  LineBreak breakAfter(const QTextBlock& block) const;
  // Inserts text at the cursor so that the line end that closed the edited line stays at the end
  // of the last inserted line, and the new line ends take the default break.
  void insertKeepingBreaks(QTextCursor& cursor, const QString& text);

  LineBreak defaultBreak_ = LineBreak::CrLf;
  ByteString loaded_;
};

}  // namespace quorvex::ui
