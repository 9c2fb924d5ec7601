// The script view: showing the selected row, the fixed check marks and the text-change rule.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <cmath>

#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/scene_text.h"

namespace quorvex::ui {

void Form1::List2_Click() {
  if (state_.Busy) return;
  const int r = List2_->currentRow();
  // The row's positions belong to the scene that was scanned, whatever File1 shows now.
  if (r < 0 || r >= kRowSlots || scannedPath_.empty()) return;
  const auto slot = static_cast<std::size_t>(r);

  // The object parameters the scene holds for the row, locked by its kind of row.
  showObjectParameters(r);

  const auto showNoScript = [this] {
    Text1_->setEnabled(false);
    Text1_->clearBytes();
    setStatus(QStringLiteral(" ---- No Script ---- "), palette().color(QPalette::WindowText));
    Text2_[0]->clear();
    Text2_[1]->clear();
  };
  const bool hasScript = List2_->item(r)->checkState() == Qt::Checked;
  if (hasScript && state_.ScriptLengthPos[slot]) {
    auto loaded = SceneFile::Open(PathFromUtf8(scannedPath_));
    if (!loaded) {
      showNoScript();
      reportFailure(loaded.error());
      state_.ReloadPending = false;
      return;
    }
    const SceneImage image(**loaded);
    state_.SceneLength = image.length();
    const Pos p = *state_.ScriptLengthPos[slot];
    const std::optional<std::int32_t> n = image.int32At(p);
    const std::optional<ByteString> text =
        n && *n >= 0 ? image.bytesAt(p + 4, *n) : std::optional<ByteString>();
    if (!text) {
      // The file no longer holds the script where the scan found it: nothing must be edited or
      // saved at that position.
      showNoScript();
      reportFailure(MakeError(ErrorKind::ChangedOnDisk,
                              "The script of \"" + state_.EntryName[slot] +
                                  "\" is no longer where the scene was read: the file has been "
                                  "changed. Press \"Start\" to read it again."));
      state_.ReloadPending = false;
      return;
    }
    Text1_->setEnabled(true);
    QFont font = Text1_->font();
    font.setPointSize(8);
    font.setBold(false);
    Text1_->setFont(font);
    Text2_[0]->setText(QString::number(*n));
    Text2_[1]->setText(QString::number(*n));
    Text1_->setBytes(*text);  // runs Text1_Change
  } else {
    showNoScript();
  }

  if (state_.ReloadPending) {
    const int row = state_.ReselectRow;
    if (row >= 0 && row < List2_->count()) List2_->setCurrentRow(row);
    state_.ReloadPending = false;
  }
}

void Form1::List2_ItemCheck(int row) {
  // The marks say whether a row has a script, as the scan found it; a click does not change that.
  if (writingList2_ || revertingCheck_ || row < 0 || row >= kRowSlots) return;
  QListWidgetItem* item = List2_->item(row);
  if (item == nullptr) return;
  const Qt::CheckState scanned =
      state_.EntryChecked[static_cast<std::size_t>(row)] ? Qt::Checked : Qt::Unchecked;
  if (item->checkState() == scanned) return;
  revertingCheck_ = true;
  item->setCheckState(scanned);
  revertingCheck_ = false;
}

void Form1::Text1_Change() {
  if (!state_.ReloadPending) setStatus(QStringLiteral("--- Not Saved! ---"), QColor(255, 0, 0));
  Text2_[1]->setText(QString::number(Text1_->byteCount()));
}

}  // namespace quorvex::ui
