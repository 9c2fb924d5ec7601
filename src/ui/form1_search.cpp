// Finding text in the script overview, hit by hit.
#include <QLineEdit>
#include <QTextCursor>

#include "scene/text_codec.h"
#include "script/search.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"

namespace quorvex::ui {

void Form1::Command4_Click() {
  if (state_.SearchPos == -1) state_.SearchPos = 0;
  const ByteString overview = RichTextBox1_->encodedBytes().bytes;
  for (;;) {
    // The search text is read again at every turn; characters a scene cannot hold match nothing.
    const std::optional<ByteString> needle = Utf8ToBytes(Text3_->text().toUtf8().toStdString());
    const std::int64_t hit =
        needle ? FindIgnoringCase(overview, *needle, state_.SearchPos) : std::int64_t{-1};
    if (hit >= 0) {
      const auto end = hit + static_cast<std::int64_t>(needle->size());
      QTextCursor cursor = RichTextBox1_->textCursor();
      cursor.setPosition(RichTextBox1_->positionForByteOffset(hit));
      cursor.setPosition(RichTextBox1_->positionForByteOffset(end), QTextCursor::KeepAnchor);
      RichTextBox1_->setTextCursor(cursor);
      RichTextBox1_->ensureCursorVisible();
      state_.SearchPos = static_cast<std::int32_t>(end);
      return;
    }
    state_.SearchPos = -1;
    if (!messages_->askYesNo(QStringLiteral("end of Scripts!"),
                             QStringLiteral("Start search again?"))) {
      return;
    }
    state_.SearchPos = 0;
  }
}

void Form1::Text3_KeyDown(int keyCode) {
  if (keyCode == 13 || keyCode == 114) Command4_Click();  // Enter, F3
}

void Form1::Text3_change() {
  state_.SearchPos = 0;
}

}  // namespace quorvex::ui
