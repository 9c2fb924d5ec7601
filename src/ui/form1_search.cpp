// Finding text in the script overview, hit by hit.
#include <QLineEdit>

#include "scene/text_codec.h"
#include "script/search.h"
#include "ui/form1.h"
#include "ui/overview_view.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {
namespace {

// Starting positions searched between two turns of the event loop: well under the 16 ms the
// window may go without handling events, also with the case-folding search on a slow machine.
constexpr std::size_t kSearchSlice = std::size_t{1} << 20;

}  // namespace

void Form1::Command4_Click() {
  // A search that hands out events must not be joined by another one, nor by a scan that would
  // replace the overview under it.
  if (state_.Busy) return;
  state_.Busy = true;
  WaitCursor hourglass;
  for (;;) {
    // The search text is read again at every turn; characters a scene cannot hold match nothing.
    const std::optional<ByteString> needle = Utf8ToBytes(Text3_->text().toUtf8().toStdString());
    const std::optional<std::int64_t> hit =
        state_.SearchPos.next(RichTextBox1_->bytes(), needle ? *needle : ByteString(), kSearchSlice,
                              [this] { yieldToEvents(); });
    if (hit) {
      RichTextBox1_->selectRange(*hit, static_cast<std::int64_t>(needle->size()));
      break;
    }
    if (!messages_->askYesNo(QStringLiteral("end of Scripts!"),
                             QStringLiteral("Start search again?"))) {
      break;
    }
    state_.SearchPos.reset();
  }
  state_.Busy = false;
  closeIfPending();
}

void Form1::Text3_KeyDown(int keyCode) {
  if (keyCode == 13 || keyCode == 114) Command4_Click();  // Enter, F3
}

void Form1::Text3_change() {
  state_.SearchPos.reset();
}

}  // namespace quorvex::ui
