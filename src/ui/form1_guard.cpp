// Unsaved work is guarded: before the script box's edit would be lost (another row, "Start",
// another file, folder or drive, "Insert/Modify", closing the window) the window asks whether to
// save it. An edit is unsaved while the box's bytes differ from the bytes it loaded, so an edit
// that was undone again asks nothing.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>

#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/scene_text.h"

namespace quorvex::ui {

bool Form1::scriptEdited() const {
  // While the window loads a scene itself (a scan, or the reload after a save or an insertion)
  // the box is being refilled, not edited.
  if (state_.Busy || state_.ReloadPending) return false;
  return Text1_->differsFromLoaded();
}

Form1::Leave Form1::askBeforeLosingScript() {
  if (!scriptEdited()) return Leave::GoOn;
  const int row = List2_->currentRow();
  const QString name = row >= 0 && row < kRowSlots
                           ? FromSceneBytes(state_.EntryName[static_cast<std::size_t>(row)])
                           : QString();
  switch (messages_->askYesNoCancel(QString::fromLatin1(kAppTitle),
                                    QStringLiteral("Save the changes to %1?").arg(name))) {
    case Answer::Yes:
      if (!saveShownScript()) return Leave::Stay;
      // A save that changed the length reloads the scene; the reload is a "Start" of its own.
      return Timer1_->isActive() ? Leave::Reloading : Leave::GoOn;
    case Answer::No:
      return Leave::GoOn;
    case Answer::Cancel:
      break;
  }
  return Leave::Stay;
}

bool Form1::confirmDiscardOrSave() {
  return askBeforeLosingScript() == Leave::GoOn;
}

bool Form1::leaveRow(int current, int previous) {
  if (previous < 0 || !scriptEdited()) return true;
  {
    // The question and the save concern the row on show: select it again while they run.
    const QSignalBlocker quiet(List2_);
    List2_->setCurrentRow(previous);
  }
  switch (askBeforeLosingScript()) {
    case Leave::Stay:
      // The list stays on the row whose text the box holds. A mouse press selects the row it hit
      // only after making it current, that is after this guard: select the row again once the
      // press (or key) that moved the list has been handled.
      QTimer::singleShot(0, this, [this, previous] {
        if (list2Row_ != previous || previous >= List2_->count()) return;
        const QSignalBlocker quiet(List2_);
        List2_->setCurrentRow(previous);
      });
      return false;
    case Leave::Reloading:
      state_.ReselectRow = current;  // the reload ends on the row that was clicked
      return false;
    case Leave::GoOn:
      break;
  }
  const QSignalBlocker quiet(List2_);
  List2_->setCurrentRow(current);
  return true;
}

bool Form1::leaveScene(const std::function<void()>& restoreBrowser) {
  if (!scriptEdited()) return true;
  // Saving writes the scene the browser shows: show the loaded one again while asking.
  restoreBrowser();
  switch (askBeforeLosingScript()) {
    case Leave::Stay:
      return false;
    case Leave::Reloading:
      // The reload must read the scene that was saved, before the browser moves away from it.
      reloadNow();
      break;
    case Leave::GoOn:
      // No: the edit is discarded; the box shows the script as loaded again.
      if (Text1_->differsFromLoaded()) {
        const ByteString loaded = Text1_->loadedBytes();
        Text1_->setBytes(loaded);
      }
      break;
  }
  return true;
}

void Form1::restoreFile1Selection(QListWidgetItem* item) {
  const QSignalBlocker quiet(File1_);
  if (item == nullptr) {
    File1_->setCurrentRow(-1);
    File1_->clearSelection();
  } else {
    File1_->setCurrentItem(item);
    item->setSelected(true);
  }
}

void Form1::restoreDrive1() {
  const QSignalBlocker quiet(Drive1_);
  for (int i = 0; i < Drive1_->count(); ++i) {
    if (dir1Path_.startsWith(Drive1_->itemText(i), Qt::CaseInsensitive)) {
      Drive1_->setCurrentIndex(i);
    }
  }
}

}  // namespace quorvex::ui
