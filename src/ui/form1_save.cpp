// Saving the edited script back into the scene.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "scene/scene_io.h"
#include "script/script_save.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"

namespace quorvex::ui {

void Form1::Save_Click() {
  if (state_.Busy) return;
  List2_->setFocus();
  const QString org = Text2_[0]->text();
  if (org.isEmpty() || org == QLatin1String("0")) return;  // no script shown
  const int r = List2_->currentRow();
  if (r < 0 || r >= kRowSlots) return;
  const auto slot = static_cast<std::size_t>(r);
  if (!state_.ScriptLengthPos[slot]) return;

  bool orgIsNumber = false;
  const std::int32_t loadedLength = org.toInt(&orgIsNumber);
  if (!orgIsNumber) return;

  const ByteTextEdit::Encoded text = Text1_->encodedBytes();
  if (text.unencodable) {
    messages_->inform(QString::fromLatin1(kAppTitle),
                      QStringLiteral("The script holds the character \"%1\", which a scene file "
                                     "cannot store. Nothing was saved.")
                          .arg(*text.unencodable));
    return;
  }

  ScriptSaveTarget target;
  target.standalone = state_.EntryIsStandaloneScript[slot];
  target.entryLengthPos = state_.EntryLengthPos[slot];
  target.scriptLengthPos = *state_.ScriptLengthPos[slot];
  target.scriptChunkLengthPos = state_.ScriptChunkLengthPos[slot];
  const Pos sectionPos =
      target.standalone ? state_.ScriptSectionLengthPos : state_.DefSectionLengthPos;
  if (sectionPos > 0) target.sectionLengthPos = sectionPos;
  target.loadedLength = loadedLength;
  target.sceneLength = catalogueSceneLength_;

  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  if (state_.ScenePath != scannedPath_) {
    // The positions of the row were found in the scene that was loaded; writing them into
    // another file would corrupt it.
    messages_->inform(QString::fromLatin1(kAppTitle),
                      QStringLiteral("The file selected in the file list is not the scene that "
                                     "was loaded. Select %1 again, or press \"Start\" to load "
                                     "the selected one. Nothing was saved.")
                          .arg(QString::fromStdString(state_.SceneFileName)));
    return;
  }
  Result<WriteMode> saved = SaveScript(PathFromUtf8(state_.ScenePath), target, text.bytes);
  if (!saved) {
    // Nothing was written; the text stays in the box, still "--- Not Saved! ---".
    reportFailure(saved.error());
    return;
  }

  const bool lengthChanged = static_cast<std::int64_t>(text.bytes.size()) != loadedLength;
  if (lengthChanged) {
    // The positions after the script have moved: read the scene again and show the same row.
    state_.ReselectRow = r;
    state_.ReloadPending = true;
    state_.ScriptSectionSeen = true;
    state_.DefSectionSeen = true;
    Command2_Click();
  }
  setStatus(QStringLiteral(" **** Saved ****"), QColor(0, 128, 0));

  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  if (Option2_->isChecked() && Check1_->isChecked()) Command1_Click();
}

}  // namespace quorvex::ui
