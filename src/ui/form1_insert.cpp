// "Insert/Modify" while the name box is editable: a new object from the panel's boxes, checked,
// written into the loaded scene, and the scene read again with the new row selected. The records
// and the file work are the core's; this file reads the boxes, hands them over and shows what comes
// back.
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <array>
#include <string>

#include "objects/insert_object.h"
#include "objects/insert_validation.h"
#include "scene/loaded_scene.h"
#include "ui/form1.h"
#include "ui/insert_numbers.h"
#include "ui/scene_text.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {
namespace {

QString Prompt(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

void Form1::Command5_Click() {
  ObjectInsert();
}

void Form1::ObjectInsert() {
  if (state_.Busy) return;
  if (Text_[4]->isReadOnly()) {
    ObjectModify();
    return;
  }
  // The reload after an insertion refills the script box: an edit in it is saved or dropped first.
  // What the panel holds is taken before the question: a save that changes the script's length
  // reads the scene again at once (the insertion goes into the saved scene), and that reload shows
  // the saved row in the panel's boxes; they then get back what the user typed.
  struct Typed {
    std::array<QString, 12> texts;  // Text4 .. Text11 at their numbers
    bool modelLocked = false, valuesLocked = false;
    int option = 0;  // the category chosen, 0 for none
    int slider = 0;
    float rotationA = 0, rotationC = 0;
  } typed;
  for (int number = 4; number <= 11; ++number) {
    typed.texts[static_cast<std::size_t>(number)] = Text_[static_cast<std::size_t>(number)]->text();
  }
  typed.modelLocked = Text_[11]->isReadOnly();
  typed.valuesLocked = Text_[5]->isReadOnly();
  typed.option = categoryGroup_->checkedId() > 0 ? categoryGroup_->checkedId() : 0;
  typed.slider = Slider1_->value();
  typed.rotationA = state_.CurrentRotationA;
  typed.rotationC = state_.CurrentRotationC;
  switch (askBeforeLosingScript()) {
    case Leave::Stay:
      return;
    case Leave::GoOn:
      break;
    case Leave::Reloading:
      reloadNow();
      clearCategoryOptions();
      if (typed.option > 0) Option_[static_cast<std::size_t>(typed.option)]->setChecked(true);
      for (int number = 4; number <= 11; ++number) {
        Text_[static_cast<std::size_t>(number)]->setText(
            typed.texts[static_cast<std::size_t>(number)]);
      }
      setBoxLocked(Text_[4], false);
      setBoxLocked(Text_[11], typed.modelLocked);
      setParameterFieldsLocked(typed.valuesLocked);
      Slider1_->setValue(typed.slider);
      redrawDial(typed.slider);
      state_.CurrentRotationA = typed.rotationA;
      state_.CurrentRotationC = typed.rotationC;
      if (!state_.Scene.loaded()) return;  // the scan has said why
      break;
  }

  const SceneText name = ToSceneText(Text_[4]->text());
  InsertForm form;
  form.name = name.bytes;
  for (int i = 0; i < 6; ++i) {
    form.numbers[static_cast<std::size_t>(i)] =
        Text_[static_cast<std::size_t>(5 + i)]->text().toUtf8().toStdString();
  }
  form.fileSelected = takeScenePath();
  const LoadedScene& scene = state_.Scene;
  const InsertValidation checked =
      ValidateInsert(form, scene.rowNames(), UserNumberParser(QLocale()));
  if (checked.failure) {
    if (checked.failure->check == InsertCheck::NoFileSelected) {
      reportSelectFile();
    } else {
      messages_->inform(Prompt(checked.failure->title.value_or(std::string())),
                        Prompt(checked.failure->prompt));
    }
    return;
  }

  const SceneText model = ToSceneText(Text_[11]->text());
  for (const auto& [text, title] :
       {std::pair{&name, QStringLiteral("Name")}, std::pair{&model, QStringLiteral("Model")}}) {
    if (text->unencodable) {
      warn(title, QStringLiteral("The character \"%1\" cannot be stored in a scene file. "
                                 "Nothing was written.")
                      .arg(*text->unencodable));
      return;
    }
  }
  // The name was checked against the loaded rows, and the records go into the loaded file only.
  if (!selectedIsLoadedScene()) return;

  const std::optional<Category> category = chosenCategory();
  if (category && scene.rowCount() >= kRowSlots) {
    warn(QString::fromLatin1(kAppTitle),
         QStringLiteral("The scene already lists %1 entries, the most the script list can hold. "
                        "Nothing was written.")
             .arg(kRowSlots));
    return;
  }

  InsertRequest request;
  request.name = name.bytes;
  request.model = model.bytes;
  request.category = category;
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = checked.values.translation[i];
    request.size[i] = checked.values.size[i];
  }
  request.rotationA = state_.CurrentRotationA;
  request.rotationC = state_.CurrentRotationC;
  request.sceneLength = scene.length;
  Result<WriteMode> written = [&] {
    WaitCursor hourglass;
    return InsertObject(scene.path, request, *files_);
  }();
  if (!written) {
    reportFailure(written.error());  // the scene is unchanged
    return;
  }

  // The new definition closes the definition section, so once the scene is read again its row
  // follows the definition rows listed now. (Counting them, rather than taking
  // FirstStandaloneScriptRow, also finds it in a scene without standalone scripts, where that
  // boundary is 0.) Without a category no row is added, and the row on show stays selected. The
  // reload reads the new object's name, model and values from the file.
  int newRow = std::max(List2_->currentRow(), 0);
  if (category) {
    newRow =
        static_cast<int>(std::count_if(scene.catalogue.rows.begin(), scene.catalogue.rows.end(),
                                       [](const CatalogueRow& row) { return !row.standalone; }));
  }
  state_.ReselectRow = newRow;
  state_.ReloadPending = true;
  state_.ScriptSectionSeen = true;
  state_.DefSectionSeen = true;
  Command2_Click();
  showSaved();
  warnIfNotFlushed(*written);

  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  if (Option2_->isChecked() && Check1_->isChecked()) Command1_Click();
}

}  // namespace quorvex::ui
