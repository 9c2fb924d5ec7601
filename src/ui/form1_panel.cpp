// The insert panel: opening and closing it ("Insert Model"), reading the parameters of the scene's
// objects once per scene, and showing a row's object in the panel's boxes, locked or editable by
// the kind of row.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "objects/rotation.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/overview_view.h"
#include "ui/scene_text.h"

namespace quorvex::ui {

void Form1::Check2_Click() {
  if (Check2_->isChecked()) {
    Option2_->setChecked(false);
    RichTextBox1_->hide();
    Command3_->hide();
    Command4_->hide();
    Text3_->hide();
    ProgressBar2_->hide();
    Command1_->hide();
    Frame1_->show();
    for (int number = 4; number <= 7; ++number) Text_[static_cast<std::size_t>(number)]->show();
    for (const char* label : {"Label9", "Label10"}) {
      if (auto* caption = Frame1_->findChild<QLabel*>(QString::fromLatin1(label))) caption->show();
    }
    Command5_->show();
    Option_[3]->show();
    Option_[4]->show();
    loadObjectParametersOnce();
    return;
  }
  // The boxes and captions not listed here stay shown inside the hidden frame and reappear with it.
  Frame1_->hide();
  Command5_->hide();
  Option_[3]->hide();
  Option_[4]->hide();
  if (Option1_->isChecked()) {
    Option1_->setChecked(true);
  } else {
    Option1_Click();  // selecting it from code does what a click does
  }
  Option2_->setChecked(false);
  applyOverviewMode();
}

void Form1::loadObjectParametersOnce() {
  if (state_.ObjectParamsLoaded || !state_.Scene.loaded()) return;
  if (state_.Busy) {
    // A scan or a model listing is handing out events; load once it has finished.
    QTimer::singleShot(200, this, [this] {
      if (Check2_->isChecked()) loadObjectParametersOnce();
    });
    return;
  }
  // The scan yields to the window at every object. Busy keeps "Start", "Save", a second opening
  // of the panel and "Insert/Modify" from running on a half-read scene in the meantime.
  state_.Busy = true;
  ScanObjectParameters();
  state_.Busy = false;
  // The row on show was shown before its object was read: show what the scene holds for it, so
  // that "Insert/Modify" does not write back the stale values.
  const int row = List2_->currentRow();
  if (state_.ObjectParamsLoaded && Text_[4]->isReadOnly() && row >= 0) showObjectParameters(row);
  closeIfPending();
}

// The parameter part of the script view for `row`, as a show of the row fills it.
void Form1::showObjectParameters(int row) {
  if (!state_.Scene.hasRow(row)) return;
  const auto slot = static_cast<std::size_t>(row);
  clearCategoryOptions();
  Text_[4]->setText(FromSceneBytes(state_.EntryObjectName[slot]));
  Text_[11]->setText(FromSceneBytes(state_.EntryModelName[slot]));
  Text_[5]->setText(FormatSingle(state_.EntryTranslationX[slot]));
  Text_[6]->setText(FormatSingle(state_.EntryTranslationY[slot]));
  Text_[7]->setText(FormatSingle(state_.EntryTranslationZ[slot]));
  DrawRotationDial(DialAngleForStoredA(state_.EntryRotationA[slot]));
  Text_[8]->setText(FormatSingle(state_.EntrySizeX[slot]));
  Text_[9]->setText(FormatSingle(state_.EntrySizeY[slot]));
  Text_[10]->setText(FormatSingle(state_.EntrySizeZ[slot]));
  setBoxLocked(Text_[4], true);
  setBoxLocked(Text_[11], true);
  setParameterFieldsLocked(state_.FirstStandaloneScriptRow <= row);
}

void Form1::setBoxLocked(QLineEdit* box, bool locked) {
  box->setReadOnly(locked);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, locked ? QApplication::palette().color(QPalette::Button)
                                          : QApplication::palette().color(QPalette::Base));
  box->setPalette(palette);
}

void Form1::setParameterFieldsLocked(bool locked) {
  for (int number = 5; number <= 10; ++number) {
    setBoxLocked(Text_[static_cast<std::size_t>(number)], locked);
  }
  Slider1_->setEnabled(!locked);
}

}  // namespace quorvex::ui
