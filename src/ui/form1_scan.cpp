// Loading a scene: "Start", the deferred catalogue scan, the object parameters and the overview.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "script/overview.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/scene_text.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {

void Form1::Command2_Click() {
  if (state_.Busy) return;
  if (!confirmDiscardOrSave()) return;
  if (File1FileName().toUtf8().toStdString() != state_.SceneFileName) {
    // Another scene: the object fields of the insert panel no longer describe it.
    for (int number = 4; number <= 11; ++number) Text_[static_cast<std::size_t>(number)]->clear();
    DrawRotationDial(0.0);
  }
  Text1_->clearBytes();
  List2_->clear();
  setStatus(Text2_[2]->text(), palette().color(QPalette::WindowText));
  Text2_[0]->clear();
  Text2_[1]->clear();
  if (Option1_->isChecked() && Check1_->isChecked()) RichTextBox1_->clearBytes();
  Text2_[2]->setText(QStringLiteral("**** Working **** "));
  state_.ObjectParamsLoaded = false;
  Timer1_->start();
}

void Form1::Timer1_Timer() {
  state_.Busy = true;
  Timer1_->stop();
  ScanScene();
}

void Form1::ShowScanProgress() {
  if (state_.ProgressCount < 30) {
    ProgressBar1_->setValue(state_.ProgressCount);
    ProgressBar1_->repaint();  // the scan does not return to the event loop
  } else {
    Text2_[1]->setText(QString::number(state_.ProgressCount));
  }
}

void Form1::writeList2Row(int row, const QString& text, bool checked) {
  QListWidgetItem* item = nullptr;
  if (List2_->count() == row) {
    item = new QListWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    List2_->addItem(item);
  } else {
    item = List2_->item(row);
    item->setText(text);
  }
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void Form1::ScanScene() {
  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  const auto fail = [this](const Error& error) {
    // The reload hand-over of a save or an insertion ends here too: a later scan must not
    // accept entries without their section headers.
    state_.ReloadPending = false;
    state_.Busy = false;
    state_.ProgressCount = 0;
    ProgressBar1_->setValue(0);
    ProgressBar1_->hide();
    reportFailure(error);
    closeIfPending();
  };

  scannedPath_.clear();
  auto loaded = SceneFile::Open(PathFromUtf8(state_.ScenePath));
  if (!loaded) {
    fail(loaded.error());
    return;
  }
  WaitCursor hourglass;
  const SceneImage image(**loaded);
  state_.SceneLength = image.length();
  state_.SceneFileName = File1FileName().toUtf8().toStdString();

  Catalogue catalogue;
  if (image.length() > 0) {
    SectionFlags flags;
    if (state_.ReloadPending) flags = {state_.ScriptSectionSeen, state_.DefSectionSeen};
    CatalogueHooks hooks;
    hooks.initialProgressCount = state_.ProgressCount;
    hooks.progress = [this](int count) {
      state_.ProgressCount = count;
      ShowScanProgress();
    };
    ProgressBar1_->show();
    ProgressBar1_->raise();
    Result<Catalogue> scanned = ScanCatalogue(image, flags, hooks);
    if (!scanned) {
      fail(scanned.error());
      return;
    }
    catalogue = std::move(*scanned);
  }
  catalogueSceneLength_ = catalogue.sceneLength > 0 ? catalogue.sceneLength : image.length();
  scannedPath_ = state_.ScenePath;

  // The catalogue into the window's arrays and the script list, row by row.
  state_.EntryCount = static_cast<int>(catalogue.rows.size());
  state_.FirstStandaloneScriptRow = catalogue.firstStandaloneScriptRow;
  state_.ScriptSectionSeen = catalogue.flags.scriptSectionSeen;
  state_.DefSectionSeen = catalogue.flags.defSectionSeen;
  if (catalogue.scriptSection) {
    state_.ScriptSectionLengthPos = catalogue.scriptSection->lengthPos;
    state_.ScriptSectionLength = catalogue.scriptSection->length;
  }
  if (catalogue.defSection) {
    state_.DefSectionLengthPos = catalogue.defSection->lengthPos;
    state_.DefSectionLength = catalogue.defSection->length;
  }
  writingList2_ = true;
  for (int i = 0; i < state_.EntryCount; ++i) {
    const CatalogueRow& row = catalogue.rows[static_cast<std::size_t>(i)];
    const auto slot = static_cast<std::size_t>(i);
    state_.EntryIsStandaloneScript[slot] = row.standalone;
    state_.EntryLengthPos[slot] = row.entryLengthPos;
    state_.ScriptLengthPos[slot] = row.scriptLengthPos;
    state_.ScriptChunkLengthPos[slot] = row.scriptChunkLengthPos;
    state_.EntryName[slot] = row.name;
    state_.EntryChecked[slot] = row.checked;
    if (row.scriptLength) state_.ScriptLength = *row.scriptLength;
    writeList2Row(i, FromSceneBytes(row.name), row.checked);
  }
  writingList2_ = false;

  if (image.length() > 0 && Check2_->isChecked()) ScanObjectParameters(&image);

  state_.Busy = false;
  ProgressBar1_->setValue(0);
  ProgressBar1_->hide();
  state_.ProgressCount = 0;
  Timer1_->stop();

  if (state_.EntryCount == 0) {
    setStatus(QStringLiteral(" ---- No Script ---- "), palette().color(QPalette::WindowText));
    List2_->clear();
    state_.ReloadPending = false;  // no row to restore
  } else {
    setStatus(Text2_[2]->text(), QColor(0, 128, 0));
    List2_->setFocus();
    if (List2_->currentRow() < 0) {
      List2_->setCurrentRow(0);  // shows the row through its click handler
    } else {
      List2_Click();
    }
  }
  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  closeIfPending();
}

void Form1::Command3_Click() {
  BuildScriptOverview();
}

void Form1::BuildScriptOverview() {
  RichTextBox1_->clearBytes();
  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  auto loaded = SceneFile::Open(PathFromUtf8(state_.ScenePath));
  if (!loaded) {
    reportFailure(loaded.error());
    return;
  }
  const SceneImage image(**loaded);
  state_.SceneLength = image.length();

  // The rows as the list shows them: only ticked rows contribute.
  Catalogue rows;
  rows.sceneLength = image.length();
  for (int i = 0; i < List2_->count() && i < kRowSlots; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    CatalogueRow row;
    row.name = state_.EntryName[slot];
    row.standalone = state_.EntryIsStandaloneScript[slot];
    row.checked = List2_->item(i)->checkState() == Qt::Checked;
    row.entryLengthPos = state_.EntryLengthPos[slot];
    row.scriptLengthPos = state_.ScriptLengthPos[slot];
    rows.rows.push_back(std::move(row));
  }
  Result<ByteString> overview = quorvex::BuildScriptOverview(image, rows);
  if (!overview) {
    reportFailure(overview.error());
    return;
  }
  RichTextBox1_->setBytes(*overview);
}

void Form1::ScanObjectParameters(const SceneImage* openImage) {
  const auto finish = [this] {
    state_.ObjectParamsLoaded = true;
    ProgressBar3_->hide();
  };
  if (!takeScenePath()) {
    reportSelectFile();
    finish();
    return;
  }
  std::unique_ptr<SceneFile> ownFile;
  SceneImage ownImage;
  if (openImage == nullptr) {
    auto loaded = SceneFile::Open(PathFromUtf8(state_.ScenePath));
    if (!loaded) return;  // silently: the next opening of the insert panel tries again
    ownFile = std::move(*loaded);
    ownImage = SceneImage(*ownFile);
    openImage = &ownImage;
  }
  state_.SceneLength = openImage->length();
  const int rowCount = std::min(List2_->count(), kRowSlots);
  state_.ProgressCount = 0;
  ProgressBar3_->setRange(0, rowCount >= 2 ? rowCount - 1 : 20);
  ProgressBar3_->setValue(0);
  ProgressBar3_->show();

  std::vector<ByteString> rowNames;
  rowNames.reserve(static_cast<std::size_t>(rowCount));
  for (int i = 0; i < rowCount; ++i)
    rowNames.push_back(state_.EntryName[static_cast<std::size_t>(i)]);

  ObjectScanHooks hooks;
  hooks.yield = [this] { yieldToEvents(); };
  hooks.progress = [this](int count) {
    ProgressBar3_->setValue(std::min(count, ProgressBar3_->maximum()));
    state_.ProgressCount = count + 1;
  };
  const ObjectScanResult result = quorvex::ScanObjectParameters(*openImage, rowNames, hooks);
  for (const ObjectParams& match : result.matches) {
    if (match.row < 0 || match.row >= kRowSlots) continue;
    const auto r = static_cast<std::size_t>(match.row);
    state_.EntryObjectName[r] = match.name;
    state_.EntryTranslationPos[r] = match.translationPos;
    state_.EntryTranslationX[r] = match.translation[0];
    state_.EntryTranslationY[r] = match.translation[1];
    state_.EntryTranslationZ[r] = match.translation[2];
    state_.EntryRotationA[r] = match.rotationA();
    state_.EntryRotationB[r] = match.rotation[1];
    state_.EntryRotationC[r] = match.rotationC();
    state_.EntryRotationD[r] = match.rotation[3];
    state_.EntrySizeX[r] = match.size[0];
    state_.EntrySizeY[r] = match.size[1];
    state_.EntrySizeZ[r] = match.size[2];
    if (match.model) state_.EntryModelName[r] = *match.model;
    state_.CurrentRotationA = match.rotationA();
    state_.CurrentRotationC = match.rotationC();
  }
  state_.ProgressCount = 0;
  if (result.error) return;  // a damaged object: what was read before it stands
  finish();
}

}  // namespace quorvex::ui
