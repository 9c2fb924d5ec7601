// Saving the edited script back into the scene.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "scene/loaded_scene.h"
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
  LoadedScene& scene = state_.Scene;
  if (!scene.shownScript || scene.shownScript->row != r) return;  // no script of the scene shown

  bool orgIsNumber = false;
  const std::int32_t loadedLength = org.toInt(&orgIsNumber);
  if (!orgIsNumber) return;

  const ByteTextEdit::Encoded text = Text1_->encodedBytes();
  if (text.unencodable) {
    warn(QString::fromLatin1(kAppTitle),
         QStringLiteral("The script holds the character \"%1\", which a scene file cannot store. "
                        "Nothing was saved.")
             .arg(*text.unencodable));
    return;
  }

  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  if (!selectedIsLoadedScene()) return;
  Result<ScriptSaveTarget> target = ScriptSaveTargetFor(scene.catalogue, r);
  if (!target) {
    reportFailure(target.error());
    return;
  }
  target->loadedLength = loadedLength;
  target->sceneLength = scene.length;
  // The file must still hold the text as it was loaded: another program's edit is not overwritten.
  target->loadedText = scene.shownScript->text;
  Result<WriteMode> saved = SaveScript(scene.path, *target, text.bytes);
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
  } else {
    scene.shownScript->text = text.bytes;  // what the file holds there now
  }
  setStatus(QStringLiteral(" **** Saved ****"), QColor(0, 128, 0));

  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  if (Option2_->isChecked() && Check1_->isChecked()) Command1_Click();
}

}  // namespace quorvex::ui
