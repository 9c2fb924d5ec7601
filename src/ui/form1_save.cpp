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
  saveShownScript();
}

bool Form1::saveShownScript() {
  if (state_.Busy) return false;
  List2_->setFocus();
  const QString org = Text2_[0]->text();
  if (org.isEmpty() || org == QLatin1String("0")) return false;  // no script shown
  const int r = List2_->currentRow();
  const LoadedScene& scene = state_.Scene;
  std::optional<ShownScript>& shown = state_.ScriptOnShow;
  if (!shown || shown->row != r) return false;  // none of the scene's

  bool orgIsNumber = false;
  const std::int32_t loadedLength = org.toInt(&orgIsNumber);
  if (!orgIsNumber) return false;

  const ByteTextEdit::Encoded text = Text1_->encodedBytes();
  if (text.unencodable) {
    warn(QString::fromLatin1(kAppTitle),
         QStringLiteral("The script holds the character \"%1\", which a scene file cannot store. "
                        "Nothing was saved.")
             .arg(*text.unencodable));
    return false;
  }

  if (!takeScenePath()) {
    reportSelectFile();
    return false;
  }
  if (!selectedIsLoadedScene()) return false;
  Result<ScriptSaveTarget> target = ScriptSaveTargetFor(scene.catalogue, r);
  if (!target) {
    reportFailure(target.error());
    return false;
  }
  target->loadedLength = loadedLength;
  target->sceneLength = scene.length;
  // The file must still hold the text as it was loaded: another program's edit is not overwritten.
  target->loadedText = shown->text;
  Result<WriteMode> saved = SaveScript(scene.path, *target, text.bytes, *files_);
  if (!saved) {
    // Nothing was written; the text stays in the box, still "--- Not Saved! ---".
    reportFailure(saved.error());
    return false;
  }
  // The box holds what the file holds now: the edit is no longer unsaved, whatever the auto
  // refresh below puts into the status line.
  Text1_->markSaved();

  const bool lengthChanged = static_cast<std::int64_t>(text.bytes.size()) != loadedLength;
  if (lengthChanged) {
    // The positions after the script have moved: read the scene again and show the same row.
    state_.ReselectRow = r;
    state_.ReloadPending = true;
    state_.ScriptSectionSeen = true;
    state_.DefSectionSeen = true;
    Command2_Click();
  } else {
    shown->text = text.bytes;  // what the file holds there now
    // A change beyond one page went through a replacement: the scene is a new file now, with a new
    // write time either way. The loaded positions still hold, and the next action must find the
    // file as this save left it.
    state_.takeOwnWrite();
  }
  showSaved();
  warnIfNotFlushed(*saved);

  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  if (Option2_->isChecked() && Check1_->isChecked()) Command1_Click();
  return true;
}

}  // namespace quorvex::ui
