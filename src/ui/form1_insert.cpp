// The insert panel: opening and closing it, the model categories, the rotation slider and dial,
// and inserting or modifying an object. The records, the maths and the file work are the core's;
// this file reads the panel's boxes, hands them over and shows what comes back.
#include <QApplication>
#include <QButtonGroup>
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
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "objects/categories.h"
#include "objects/insert_object.h"
#include "objects/insert_validation.h"
#include "objects/modify_object.h"
#include "objects/rotation.h"
#include "scene/loaded_scene.h"
#include "scene/object_params.h"
#include "scene/scene_io.h"
#include "scene/text_codec.h"
#include "scene/write_checks.h"
#include "ui/byte_text_edit.h"
#include "ui/dial_canvas.h"
#include "ui/form1.h"
#include "ui/insert_numbers.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"
#include "ui/scene_text.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {
namespace {

// A box's text as scene bytes (one byte per character in Windows-1252). A character the code page
// cannot hold becomes '?' and is reported, so that the checks can run before it is refused.
struct SceneText {
  ByteString bytes;
  std::optional<QString> unencodable;
};

SceneText ToSceneText(const QString& text) {
  SceneText result;
  for (const char32_t ch : text.toUcs4()) {
    if (const auto byte = UnicodeToCp1252(ch)) {
      result.bytes.push_back(static_cast<char>(*byte));
    } else {
      result.bytes.push_back('?');
      if (!result.unencodable) result.unencodable = QString::fromUcs4(&ch, 1);
    }
  }
  return result;
}

// The option button of each category: its number, which is its index in Option_.
struct CategoryButton {
  Category category;
  int option;
};
constexpr std::array<CategoryButton, 8> kCategoryButtons{{{Category::Female, 3},
                                                          {Category::Things, 4},
                                                          {Category::Male, 5},
                                                          {Category::Policeman, 6},
                                                          {Category::Car, 7},
                                                          {Category::Truck, 8},
                                                          {Category::PoliceCar, 9},
                                                          {Category::Others, 10}}};

constexpr bool EveryCategoryHasOneButton() {
  for (const Category category :
       {Category::Female, Category::Male, Category::Policeman, Category::Car, Category::Truck,
        Category::PoliceCar, Category::Things, Category::Others}) {
    int buttons = 0;
    for (const CategoryButton& button : kCategoryButtons) buttons += button.category == category;
    if (buttons != 1) return false;
  }
  return true;
}
static_assert(EveryCategoryHasOneButton());

int OptionNumberOf(const CategoryInfo& info) {
  for (const CategoryButton& button : kCategoryButtons) {
    if (button.category == info.category) return button.option;
  }
  return 0;  // not reached: every category has a button
}

const CategoryInfo* CategoryOfOption(int option) {
  for (const CategoryButton& button : kCategoryButtons) {
    if (button.option == option) return &InfoOf(button.category);
  }
  return nullptr;
}

QString Prompt(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

// ---- Opening and closing the panel ------------------------------------------------------------

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

// ---- Model categories -------------------------------------------------------------------------

void Form1::Option3_Click() {
  chooseCategory(3);
}
void Form1::Option4_Click() {
  chooseCategory(4);
}
void Form1::Option5_Click() {
  chooseCategory(5);
}
void Form1::Option6_Click() {
  chooseCategory(6);
}
void Form1::Option7_Click() {
  chooseCategory(7);
}
void Form1::Option8_Click() {
  chooseCategory(8);
}
void Form1::Option9_Click() {
  chooseCategory(9);
}
void Form1::Option10_Click() {
  chooseCategory(10);
}

void Form1::chooseCategory(int option) {
  const CategoryInfo* info = CategoryOfOption(option);
  if (info == nullptr) return;
  // "others" has no model of its own: the model box keeps its text and its lock.
  if (info->defaultModel) {
    Text_[11]->setText(QString::fromLatin1(info->defaultModel->data(),
                                           static_cast<qsizetype>(info->defaultModel->size())));
  }
  Text_[4]->clear();
  setBoxLocked(Text_[4], false);
  if (info->defaultModel) setBoxLocked(Text_[11], false);
  setParameterFieldsLocked(false);  // translation, size and the slider
}

void Form1::setBoxLocked(QLineEdit* box, bool locked) {
  box->setReadOnly(locked);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, locked ? QApplication::palette().color(QPalette::Button)
                                          : QApplication::palette().color(QPalette::Base));
  box->setPalette(palette);
}

// ---- Rotation ---------------------------------------------------------------------------------

void Form1::Slider1_Click() {
  const int v = Slider1_->value();
  redrawDial(v);
  const RotationPair rotation = RotationForDegrees(v);
  // Only a row of the list can receive it; without one the rotation is still the new object's.
  const int row = List2_->currentRow();
  if (row < List2_->count() && state_.Scene.hasRow(row)) {
    state_.EntryRotationA[static_cast<std::size_t>(row)] = rotation.a;
    state_.EntryRotationC[static_cast<std::size_t>(row)] = rotation.c;
  }
  state_.CurrentRotationA = rotation.a;
  state_.CurrentRotationC = rotation.c;
}

void Form1::DrawRotationDial(double angle) {
  // Setting the value from code raises no click: nothing is stored.
  Slider1_->setValue(SliderValueFor(angle));
  redrawDial(std::isfinite(angle) ? angle : 0.0);
}

void Form1::redrawDial(double w) {
  dial_->setDrawing(DialFor(w));
}

// ---- Insert or modify -------------------------------------------------------------------------

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

  std::optional<Category> category;
  for (const CategoryInfo& info : Categories()) {  // in the order insertion tests the buttons
    if (Option_[static_cast<std::size_t>(OptionNumberOf(info))]->isChecked()) {
      category = info.category;
      break;
    }
  }
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
    return InsertObject(scene.path, request);
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

  if (Option1_->isChecked() && Check1_->isChecked()) BuildScriptOverview();
  if (Option2_->isChecked() && Check1_->isChecked()) Command1_Click();
}

void Form1::ObjectModify() {
  const QString changing = QStringLiteral("Changing");
  const int r = List2_->currentRow();
  LoadedScene& scene = state_.Scene;
  if (r >= List2_->count() || !scene.hasRow(r)) {
    messages_->inform(changing, QStringLiteral("Select an object"));
    return;
  }
  RowObject& object = scene.objects[static_cast<std::size_t>(r)];
  // Only an object that the parameter scan found in the loaded scene has a place to write to.
  if (r == state_.FirstStandaloneScriptRow || !scene.objectsRead || !object.stored ||
      object.translationPos != object.stored->translationPos ||
      object.name != scene.catalogue.rows[static_cast<std::size_t>(r)].name) {
    messages_->inform(changing, QStringLiteral("No object to change"));
    return;
  }

  // The six boxes, checked as insertion checks them. A box that still shows the stored value
  // keeps that value exactly: the text shows only 7 significant digits.
  const float stored[6] = {object.translationX, object.translationY, object.translationZ,
                           object.sizeX,        object.sizeY,        object.sizeZ};
  float values[6] = {};
  for (int i = 0; i < 6; ++i) {
    const QString text = Text_[static_cast<std::size_t>(5 + i)]->text();
    if (text.isEmpty()) {
      messages_->inform(QString(), QStringLiteral("Fill all fields"));
      return;
    }
  }
  for (int i = 0; i < 6; ++i) {
    const QString text = Text_[static_cast<std::size_t>(5 + i)]->text();
    if (text == FormatSingle(stored[i])) {
      values[i] = stored[i];
      continue;
    }
    const std::optional<double> number = ParseUserNumber(text, QLocale());
    if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) {
      messages_->inform(i < 3 ? QStringLiteral("Translation") : QStringLiteral("Size"),
                        QStringLiteral("Put numeric"));
      return;
    }
    values[i] = static_cast<float>(*number);
  }
  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  if (!selectedIsLoadedScene()) return;

  if (!messages_->askYesNo(changing, QStringLiteral("Want to change parameter?"))) return;

  // Everything as stored, B and D included; then what the user set.
  ModifyRequest request = ModifyRequestFrom(*object.stored, scene.length);
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = values[i];
    request.size[i] = values[3 + i];
  }
  request.rotation[0] = std::bit_cast<std::uint32_t>(object.rotationA);
  request.rotation[2] = std::bit_cast<std::uint32_t>(object.rotationC);
  Result<WriteMode> written = ModifyObject(scene.path, request);
  if (!written) {
    reportFailure(written.error());  // the scene and the row's values are unchanged
    return;
  }
  object.translationX = values[0];
  object.translationY = values[1];
  object.translationZ = values[2];
  object.sizeX = values[3];
  object.sizeY = values[4];
  object.sizeZ = values[5];
  ObjectParams& onDisk = *object.stored;
  for (int i = 0; i < 3; ++i) {
    onDisk.translation[i] = request.translation[i];
    onDisk.size[i] = request.size[i];
  }
  for (int i = 0; i < 4; ++i) onDisk.rotation[i] = request.rotation[i];
  // Ten values that straddle a page went through a replacement: take the file as written.
  TakeOwnWrite(scene);
  showSaved();
}

}  // namespace quorvex::ui
