// The script view: showing the selected row, the fixed check marks and the text-change rule.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <cmath>

#include "scene/loaded_scene.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/scene_text.h"

namespace quorvex::ui {

void Form1::List2_Click() {
  if (state_.Busy) return;
  const int r = List2_->currentRow();
  const LoadedScene& scene = state_.Scene;
  // The row's positions belong to the loaded scene, whatever File1 shows now.
  if (!scene.hasRow(r)) return;

  // The object parameters the scene holds for the row, locked by its kind of row.
  showObjectParameters(r);

  const auto showNoScript = [this] {
    Text1_->setEnabled(false);
    Text1_->clearBytes();
    setStatus(QStringLiteral(" ---- No Script ---- "), palette().color(QPalette::WindowText));
    Text2_[0]->clear();
    Text2_[1]->clear();
  };
  state_.ScriptOnShow.reset();
  if (state_.EntryChecked[static_cast<std::size_t>(r)]) {
    // Only this row's script is read: its length and text at the position the scan recorded, from
    // the loaded file, once it is known to be still that file with that length.
    Result<ByteString> text = ReadRowScript(scene, r);
    if (!text) {
      // Nothing must be edited or saved at a position the file may no longer have.
      showNoScript();
      reportFailure(text.error());
      state_.ReloadPending = false;
      return;
    }
    Text1_->setEnabled(true);
    QFont font = Text1_->font();
    font.setPointSize(8);
    font.setBold(false);
    Text1_->setFont(font);
    const QString length = QString::number(text->size());
    Text2_[0]->setText(length);
    Text2_[1]->setText(length);
    // Kept as loaded: Save hands it to the core, which writes only over this text.
    state_.ScriptOnShow = ShownScript{r, std::move(*text)};
    Text1_->setBytes(state_.ScriptOnShow->text);  // runs Text1_Change
  } else {
    showNoScript();
  }

  if (state_.ReloadPending) {
    const int row = state_.ReselectRow;
    if (row >= 0 && row < List2_->count()) {
      List2_->setCurrentRow(row);  // shows it through this same handler
      List2_->scrollToItem(List2_->currentItem());
    }
    state_.ReloadPending = false;
    // The save or the insertion that asked for the reload was written; its row is on show again.
    // (Without a script the row says " ---- No Script ---- " instead.)
    if (state_.ScriptOnShow && state_.ScriptOnShow->row == List2_->currentRow()) {
      showSaved();
    }
  }
}

void Form1::List2_ItemCheck(int row) {
  // The marks say whether a row has a script, as the scan found it; a click does not change that.
  if (writingList2_ || revertingCheck_ || !state_.Scene.hasRow(row)) return;
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
