// The window driven through its widgets on scenes made by the test scene builder.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <memory>

#include "scene/platform.h"
#include "scene/result.h"
#include "scene/scene_io.h"
#include "support/scene_builder.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"
#include "ui/twips.h"
#include "window_session.h"

using quorvex::Bytes;
using quorvex::ByteString;
using quorvex::testing::SceneSpec;
using quorvex::ui::Answer;
using quorvex::ui::ByteTextEdit;
using quorvex::ui::Form1;
using quorvex::ui::ModelListView;
using quorvex::ui::OverviewView;
using quorvex::ui::testing::kSaved;
using quorvex::ui::testing::Session;
using Prepare = std::function<void(const QDir&)>;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

// Rows: Guard (definition, script), Box (definition, none), Door (definition, script), Init
// (standalone, script), Empty (standalone, length 0). Lamp (kind 6) gets no row.
SceneSpec TestSpec() {
  SceneSpec spec;
  spec.headerChunks = quorvex::testing::DefaultHeaderChunks();
  quorvex::testing::SceneObject guard;
  guard.name = "Guard";
  guard.translation[0] = 1.5f;
  guard.translation[1] = 2.0f;
  guard.translation[2] = -3.0f;
  guard.rotationA = 0.5f;
  guard.rotationC = 0.8660254f;
  guard.size[1] = 2.0f;
  guard.size[2] = 3.0f;
  guard.model = "guard.i3d";
  quorvex::testing::SceneObject box;
  box.name = "Box";
  box.model = "box 1.i3d";
  spec.objects = {guard, box};

  const auto def = [](ByteString name, std::uint32_t kind, std::optional<ByteString> script) {
    quorvex::testing::Definition d;
    d.name = std::move(name);
    d.kind = kind;
    d.script = std::move(script);
    return d;
  };
  spec.definitions = {def("Guard", 27, "lamp_on 1\r\nend\r\n"), def("Box", 35, std::nullopt),
                      def("Lamp", 6, std::nullopt), def("Door", 4, "open\r\n")};
  spec.scripts = {{"Init", "aaaa\r\nline two\r\n"}, {"Empty", ""}};
  return spec;
}

// Beside the test scene: a copy of it, other.bin, and the folder "sub".
void OtherSceneAndFolder(const QDir& dir) {
  quorvex::testing::WriteFile(dir.filePath(QStringLiteral("other.bin")).toStdString(),
                              quorvex::testing::BuildScene(TestSpec()));
  dir.mkdir(QStringLiteral("sub"));
}

std::string OverviewBlock(const std::string& name, const std::string& script) {
  return "\r\n\r\n ****************** " + std::string("   --  ") + name + "  -- " +
         " ****************** \r\n" + script;
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Session> s_;
  Form1* form_ = nullptr;         // the session's window
  QTemporaryDir* dir_ = nullptr;  // the session's folder

  QString scenePath(const QString& name = QStringLiteral("scene2.bin")) const {
    return dir_->filePath(name);
  }
  // The window on `spec` (see Session); false when the scene cannot be selected.
  bool open(const SceneSpec& spec = TestSpec(), const Prepare& prepare = {}) {
    s_ = std::make_unique<Session>(spec, prepare);
    form_ = s_->form.get();
    dir_ = &s_->dir;
    return s_->selected;
  }
  Bytes readScene(const QString& name = QStringLiteral("scene2.bin")) const {
    return s_->bytes(name);
  }
  template <class W>
  W* w(const char* name) const {
    return form_->findChild<W*>(QString::fromLatin1(name));
  }
  QListWidget* list2() const { return w<QListWidget>("List2"); }
  ByteTextEdit* text1() const { return w<ByteTextEdit>("Text1"); }
  OverviewView* overview() const { return w<OverviewView>("RichTextBox1"); }
  QString status() const { return form_->Text2(2)->text(); }
  QColor statusColour() const { return form_->Text2(2)->palette().color(QPalette::Text); }
  QTimer* timer1() const { return form_->findChild<QTimer*>(QStringLiteral("Timer1")); }

  // Presses "Start", lets the scan timer fire at once, and then the window handle what the scan
  // left for later (the overview is built once the rows are shown).
  bool startAndScan() {
    const bool loaded = s_->load();
    QCoreApplication::processEvents();
    return loaded;
  }
  // Opens the test scene and scans it.
  bool openTestScene(bool withObjects = false, const Prepare& prepare = {}) {
    if (!open(TestSpec(), prepare)) return false;
    w<QCheckBox>("Check2")->setChecked(withObjects);
    return startAndScan();
  }
  void typeAtEnd(const QString& text) { s_->typeAtEnd(text); }
  // Replaces the first character of the script box: an edit that keeps the length.
  void replaceFirst(const QString& text) { s_->editScript(0, 1, text); }

 private slots:
  void cleanup() { s_.reset(); }

  void startUpState() {
    QVERIFY(open());
    Form1& form = *form_;
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvex 3.0      by Tamsel"));
    QVERIFY(form.width() <= 1366 && form.height() <= 768);
    const char* inventory[] = {
        "Drive1",       "Dir1",         "File1",    "Text2_6",  "Label3",       "Check2",
        "Label7",       "Option1",      "Label5",   "Option2",  "Label6",       "Check1",
        "Label8",       "Text2_4",      "Text2_2",  "Command2", "RichTextBox1", "List1",
        "Frame1",       "ProgressBar2", "Command3", "Command4", "Text3",        "Command1",
        "ProgressBar1", "List2",        "Text1",    "Text2_8",  "Text2_3",      "Text2_0",
        "Text2_7",      "Text2_1",      "Save",     "Timer1",   "Label14",      "Option3",
        "Option5",      "Option6",      "Label15",  "Option7",  "Option8",      "Option9",
        "Option4",      "Option10",     "Label9",   "Text4",    "Label10",      "Label17",
        "Label18",      "Label19",      "Text5",    "Text6",    "Text7",        "Label11",
        "Label20",      "Label21",      "Label22",  "Text8",    "Text9",        "Text10",
        "Label13",      "Slider1",      "Shape1",   "Line7",    "Line9",        "Line10",
        "Line11",       "Line12",       "Label12",  "Text11",   "ProgressBar3", "Command5"};
    for (const char* name : inventory) {
      QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);
    }
    QCOMPARE(form.Text2(6)->text(), QStringLiteral("Choice:"));
    QCOMPARE(form.Text2(3)->text(), QStringLiteral("org:"));
    QCOMPARE(form.Text2(7)->text(), QStringLiteral("act:"));
    QVERIFY(form.Text2(5) == nullptr);

    QVERIFY(w<QCheckBox>("Check1")->isChecked());
    QVERIFY(w<QRadioButton>("Option1")->isChecked());
    QVERIFY(!w<QRadioButton>("Option2")->isChecked());
    QVERIFY(!w<QCheckBox>("Check2")->isChecked());
    for (const char* shown : {"RichTextBox1", "Command3", "Command4", "Text3", "List2", "Text1"}) {
      QVERIFY2(!w<QWidget>(shown)->isHidden(), shown);
    }
    for (const char* hidden : {"Command1", "ProgressBar2", "Frame1"}) {
      QVERIFY2(w<QWidget>(hidden)->isHidden(), hidden);
    }
    QVERIFY(!timer1()->isActive());
    QCOMPARE(timer1()->interval(), 500);
    QCOMPARE(w<QSlider>("Slider1")->minimum(), -90);
    QCOMPARE(w<QSlider>("Slider1")->maximum(), 90);
    QCOMPARE(w<QProgressBar>("ProgressBar1")->maximum(), 30);
    QVERIFY(!form.state().ObjectParamsLoaded);
  }

  void theWindowGrowsAndReturnsToTheFormsLayout() {
    QVERIFY(open());
    Form1& form = *form_;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const quorvex::ui::Twips twips(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    QCOMPARE(form.size(), QSize(twips.px(11430), twips.px(8265)));
    struct Placed {
      const char* name;
      QRect twips;
    };
    const Placed stretching[] = {
        {"Dir1", {120, 840, 2175, 5265}},           {"File1", {120, 6240, 2175, 1260}},
        {"RichTextBox1", {2520, 1920, 4335, 5655}}, {"List1", {2520, 1920, 4335, 5130}},
        {"Frame1", {2520, 1680, 4335, 6375}},       {"Text1", {6960, 1800, 4095, 5775}}};
    for (const Placed& c : stretching) {
      const QRect& t = c.twips;
      QVERIFY2(w<QWidget>(c.name)->geometry() == twips.rect(t.x(), t.y(), t.width(), t.height()),
               c.name);
    }
    // The script list shows whole rows only and ends above the script box.
    const QRect list2 = w<QWidget>("List2")->geometry();
    const QRect list2Design = twips.rect(6960, 240, 4335, 1635);
    QCOMPARE(list2.topLeft(), list2Design.topLeft());
    QCOMPARE(list2.width(), list2Design.width());
    QVERIFY(list2.height() > 0 && list2.bottom() < w<QWidget>("Text1")->geometry().top());
    QHash<QWidget*, QRect> design;
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      design.insert(child, child->geometry());
    }

    const QSize large = form.size() * 3 / 2;
    form.resize(large);
    QTRY_COMPARE(form.size(), large);
    for (const Placed& c : stretching) {
      const QRect now = w<QWidget>(c.name)->geometry();
      QVERIFY2(now.width() > design[w<QWidget>(c.name)].width(), c.name);
      QVERIFY2(now.height() > design[w<QWidget>(c.name)].height(), c.name);
    }
    // The three columns stay apart, and nothing leaves the window.
    const QList<QStringList> columns = {
        {"Drive1", "Dir1", "File1", "Label3"},
        {"Check2", "Text2_2", "Command2", "RichTextBox1", "List1", "Frame1", "Text3",
         "ProgressBar2"},
        {"ProgressBar1", "List2", "Text1", "Text2_8", "Text2_0", "Text2_1", "Save"}};
    const auto span = [&](const QStringList& names) {
      int left = form.width(), right = 0;
      for (const QString& name : names) {
        const QRect r = w<QWidget>(name.toLatin1().constData())->geometry();
        left = std::min(left, r.left());
        right = std::max(right, r.right());
      }
      return std::pair{left, right};
    };
    QVERIFY(span(columns[0]).second < span(columns[1]).first);
    QVERIFY(span(columns[1]).second < span(columns[2]).first);
    for (QWidget* child : design.keys()) {
      QVERIFY2(form.rect().contains(child->geometry()), qPrintable(child->objectName()));
    }
    // The bottom row keeps its distance to the bottom edge, "Save" to the right edge as well.
    const QSize designed = form.designSize();
    for (const char* bottom : {"Save", "Text2_1", "Text3", "Label3"}) {
      QWidget* control = w<QWidget>(bottom);
      QVERIFY2(form.height() - control->geometry().bottom() ==
                   designed.height() - design.value(control).bottom(),
               bottom);
    }
    QCOMPARE(form.width() - w<QWidget>("Save")->geometry().right(),
             designed.width() - design.value(w<QWidget>("Save")).right());

    form.resize(form.designSize());
    QTRY_COMPARE(form.size(), form.designSize());
    for (auto it = design.cbegin(); it != design.cend(); ++it) {
      QVERIFY2(it.key()->geometry() == it.value(), qPrintable(it.key()->objectName()));
    }
  }

  void startScansRowsMarksStatusAndOverview() {
    QVERIFY(openTestScene());
    QListWidget* list = list2();
    const QStringList names = {"Guard", "Box", "Door", "Init", "Empty"};
    const QList<bool> marks = {true, false, true, true, false};
    QCOMPARE(list->count(), names.size());
    for (int i = 0; i < list->count(); ++i) {
      QCOMPARE(list->item(i)->text(), names[i]);
      QCOMPARE(list->item(i)->checkState() == Qt::Checked, marks[i]);
    }
    // Row 0 is shown; loading its text marks the scene as not saved.
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(text1()->encodedBytes().bytes, std::string("lamp_on 1\r\nend\r\n"));
    QCOMPARE(status(), QStringLiteral("--- Not Saved! ---"));
    QCOMPARE(statusColour(), kRed);
    QCOMPARE(overview()->bytes(), OverviewBlock("Guard", "lamp_on 1\r\nend\r\n") +
                                      OverviewBlock("Door", "open\r\n") +
                                      OverviewBlock("Init", "aaaa\r\nline two\r\n"));
    QVERIFY(s_->log.shown.isEmpty());

    // The real timer defers the scan by half a second.
    w<QPushButton>("Command2")->click();
    QCOMPARE(status(), QStringLiteral("**** Working **** "));
    QCOMPARE(list->count(), 0);
    QTRY_COMPARE(list->count(), 5);
    QVERIFY(!form_->state().Busy);
  }

  void sceneWithoutScriptsShowsNoScript() {
    SceneSpec spec = TestSpec();
    spec.definitions.clear();
    spec.scripts.clear();
    QVERIFY(open(spec) && startAndScan());
    QCOMPARE(list2()->count(), 0);
    QCOMPARE(status(), QStringLiteral(" ---- No Script ---- "));
    QCOMPARE(overview()->bytes(), std::string());
  }

  void pickingAnotherFileClearsTheObjectFields() {
    QVERIFY(openTestScene(true, OtherSceneAndFolder));
    QLineEdit* name = w<QLineEdit>("Text4");
    QCOMPARE(name->text(), QStringLiteral("Guard"));
    QVERIFY(w<QSlider>("Slider1")->value() != 0);

    w<QPushButton>("Command2")->click();  // the same file again keeps them
    QCOMPARE(name->text(), QStringLiteral("Guard"));
    form_->Timer1_Timer();

    QListWidget* files = w<QListWidget>("File1");
    const auto other = files->findItems(QStringLiteral("other.bin"), Qt::MatchExactly);
    QCOMPARE(other.size(), 1);
    files->setCurrentItem(other.first());
    w<QPushButton>("Command2")->click();
    for (const char* field :
         {"Text4", "Text5", "Text6", "Text7", "Text8", "Text9", "Text10", "Text11"}) {
      QVERIFY2(w<QLineEdit>(field)->text().isEmpty(), field);
    }
    QCOMPARE(w<QSlider>("Slider1")->value(), 0);
    form_->Timer1_Timer();
    QCOMPARE(form_->state().SceneFileName, std::string("other.bin"));
  }

  void selectingRowsShowsTextLengthsAndParameterLocks() {
    QVERIFY(openTestScene(true));
    QListWidget* list = list2();

    // Row 0: an object definition before the first standalone script: editable.
    QCOMPARE(w<QLineEdit>("Text4")->text(), QStringLiteral("Guard"));
    QCOMPARE(w<QLineEdit>("Text5")->text(), QStringLiteral("1.5"));
    QCOMPARE(w<QLineEdit>("Text6")->text(), QStringLiteral("2"));
    QCOMPARE(w<QLineEdit>("Text7")->text(), QStringLiteral("-3"));
    QCOMPARE(w<QLineEdit>("Text10")->text(), QStringLiteral("3"));
    QCOMPARE(w<QLineEdit>("Text11")->text(), QStringLiteral("guard.i3d"));
    QVERIFY(w<QLineEdit>("Text4")->isReadOnly());
    QVERIFY(w<QLineEdit>("Text11")->isReadOnly());
    QVERIFY(!w<QLineEdit>("Text5")->isReadOnly());
    QVERIFY(w<QSlider>("Slider1")->isEnabled());
    QCOMPARE(w<QSlider>("Slider1")->value(), 30);  // A = sin 30°
    QCOMPARE(form_->Text2(0)->text(), QStringLiteral("16"));
    QCOMPARE(form_->Text2(1)->text(), QStringLiteral("16"));
    QVERIFY(text1()->isEnabled());

    // Row 1: no script.
    list->setCurrentRow(1);
    QCOMPARE(status(), QStringLiteral(" ---- No Script ---- "));
    QVERIFY(!text1()->isEnabled());
    QVERIFY(text1()->encodedBytes().bytes.empty());
    QVERIFY(form_->Text2(0)->text().isEmpty());
    QVERIFY(form_->Text2(1)->text().isEmpty());
    QCOMPARE(w<QLineEdit>("Text11")->text(), QStringLiteral("box 1.i3d"));

    // Row 3: a standalone script: the parameter fields are locked.
    list->setCurrentRow(3);
    QCOMPARE(text1()->encodedBytes().bytes, std::string("aaaa\r\nline two\r\n"));
    QCOMPARE(form_->Text2(0)->text(), QStringLiteral("16"));
    QCOMPARE(form_->Text2(1)->text(), QStringLiteral("16"));
    QVERIFY(w<QLineEdit>("Text5")->isReadOnly());
    QVERIFY(!w<QSlider>("Slider1")->isEnabled());
    QCOMPARE(w<QLineEdit>("Text5")->text(), QStringLiteral("0"));

    // Typing updates "act:" and the status.
    typeAtEnd(QStringLiteral("x"));
    QCOMPARE(form_->Text2(1)->text(), QStringLiteral("17"));
    QCOMPARE(status(), QStringLiteral("--- Not Saved! ---"));
  }

  void everyRowIsLockedWithoutADefinitionBeforeTheScripts() {
    SceneSpec spec = TestSpec();
    spec.definitions.clear();
    QVERIFY(open(spec) && startAndScan());
    QVERIFY(w<QLineEdit>("Text5")->isReadOnly());
    QVERIFY(!w<QSlider>("Slider1")->isEnabled());
  }

  void checkMarkClicksAreUndone() {
    QVERIFY(openTestScene());
    QListWidgetItem* withScript = list2()->item(0);
    QListWidgetItem* without = list2()->item(1);
    withScript->setCheckState(Qt::Unchecked);
    without->setCheckState(Qt::Checked);
    QCOMPARE(withScript->checkState(), Qt::Checked);
    QCOMPARE(without->checkState(), Qt::Unchecked);
  }

  void sameLengthSavePatchesInPlace() {
    QVERIFY(openTestScene());
    const Bytes before = readScene();
    list2()->setCurrentRow(3);
    replaceFirst(QStringLiteral("b"));
    QCOMPARE(status(), QStringLiteral("--- Not Saved! ---"));
    w<QPushButton>("Save")->click();
    QCOMPARE(status(), kSaved);
    QCOMPARE(statusColour(), kGreen);
    QVERIFY(!timer1()->isActive());  // no reload
    QCOMPARE(list2()->count(), 5);

    SceneSpec expected = TestSpec();
    expected.scripts[0].text = "baaa\r\nline two\r\n";
    const Bytes after = readScene();
    QCOMPARE(after.size(), before.size());
    QVERIFY(after == quorvex::testing::BuildScene(expected));
    QVERIFY(s_->log.shown.isEmpty());
  }

  void longerSaveFixesEveryLengthAndReselectsTheRow() {
    QVERIFY(openTestScene());
    list2()->setCurrentRow(2);               // Door, an object definition
    typeAtEnd(QStringLiteral("close\r\n"));  // one line end in the box: CR LF
    QCOMPARE(form_->Text2(1)->text(), QStringLiteral("13"));
    w<QPushButton>("Save")->click();
    QCOMPARE(status(), kSaved);
    QVERIFY(timer1()->isActive());
    form_->Timer1_Timer();
    QCoreApplication::processEvents();

    SceneSpec expected = TestSpec();
    expected.definitions[3].script = "open\r\nclose\r\n";
    QVERIFY(readScene() == quorvex::testing::BuildScene(expected));
    QCOMPARE(list2()->currentRow(), 2);
    QCOMPARE(form_->Text2(0)->text(), QStringLiteral("13"));
    QCOMPARE(text1()->encodedBytes().bytes, std::string("open\r\nclose\r\n"));
    QCOMPARE(status(), kSaved);
    // The overview was rebuilt by the scan after the reload.
    QVERIFY(overview()->bytes().find("close") != std::string::npos);
  }

  void shorterSaveCutsTheFileThroughATemporaryFile() {
    QVERIFY(openTestScene());
    list2()->setCurrentRow(3);         // Init, a standalone script
    s_->editScript(-1, 9, QString());  // "line two" and its line end
    w<QPushButton>("Save")->click();
    QVERIFY(timer1()->isActive());
    form_->Timer1_Timer();

    SceneSpec expected = TestSpec();
    expected.scripts[0].text = "aaaa\r\n";
    QVERIFY(readScene() == quorvex::testing::BuildScene(expected));
    QVERIFY(!QFile::exists(scenePath() + QStringLiteral(".save")));
    QCOMPARE(list2()->currentRow(), 3);
    QCOMPARE(form_->Text2(0)->text(), QStringLiteral("6"));
    QCOMPARE(status(), kSaved);
  }

  void loadThenSaveKeepsEveryByte() {
    std::string script = "mixed\r\nends\rhere\nand\ttabs\r\n";
    for (int b = 0; b < 256; ++b) script.push_back(static_cast<char>(b));
    script += "\r\r\n\n";
    SceneSpec spec = TestSpec();
    spec.scripts[0].text = script;
    QVERIFY(open(spec) && startAndScan());
    list2()->setCurrentRow(3);
    QCOMPARE(text1()->encodedBytes().bytes, script);
    QCOMPARE(form_->Text2(0)->text(), QString::number(script.size()));
    QCOMPARE(form_->Text2(1)->text(), form_->Text2(0)->text());

    const Bytes before = readScene();
    w<QPushButton>("Save")->click();
    QCOMPARE(status(), kSaved);
    QVERIFY(readScene() == before);
  }

  void searchFindsHitsAfterTheWholePreviousHit() {
    QVERIFY(openTestScene());
    const std::string text = overview()->bytes();
    const auto k = static_cast<std::int64_t>(text.find("aaaa"));
    QLineEdit* search = w<QLineEdit>("Text3");
    search->setText(QStringLiteral("AA"));  // letter case is ignored

    using Range = OverviewView::ByteRange;
    w<QPushButton>("Command4")->click();
    QCOMPARE(overview()->selectedRange(), (Range{k, 2}));
    QCOMPARE(overview()->selectedText(), QStringLiteral("aa"));
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(overview()->selectedRange(), (Range{k + 2, 2}));
    QVERIFY(s_->log.shown.isEmpty());

    // No further hit: "end of Scripts!"; No ends the step, the next press starts at the top.
    QTest::keyClick(search, Qt::Key_F3);
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].title, QStringLiteral("end of Scripts!"));
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral("Start search again?"));
    w<QPushButton>("Command4")->click();
    QCOMPARE(overview()->selectedRange(), (Range{k, 2}));

    // Changing the text searches from the top; Yes searches again, as long as it is answered.
    search->setText(QStringLiteral("aA"));
    w<QPushButton>("Command4")->click();
    QCOMPARE(overview()->selectedRange(), (Range{k, 2}));
    search->setText(QStringLiteral("nowhere"));
    s_->log.shown.clear();
    s_->log.answers = {true, true, false};
    w<QPushButton>("Command4")->click();
    QCOMPARE(s_->log.shown.size(), 3);
  }

  void modelsModeListsTheScenesModels() {
    QVERIFY(openTestScene());
    w<QRadioButton>("Option2")->click();
    QVERIFY(w<QRadioButton>("Option2")->isChecked());
    QVERIFY(!w<QRadioButton>("Option1")->isChecked());
    QVERIFY(w<QWidget>("RichTextBox1")->isHidden());
    QVERIFY(!w<QWidget>("Command1")->isHidden());
    QVERIFY(!w<QWidget>("ProgressBar2")->isHidden());

    w<QPushButton>("Command1")->click();
    ModelListView* models = w<ModelListView>("List1");
    QCOMPARE(models->count(), 2);
    QCOMPARE(models->text(0), QStringLiteral("guard.i3d"));
    QCOMPARE(models->text(1), QStringLiteral("box 1.i3d"));
    QCOMPARE(status(), QStringLiteral("     ***** Ready ***** "));
    QCOMPARE(statusColour(), kGreen);

    // Back to the overview.
    w<QRadioButton>("Option1")->click();
    QVERIFY(!w<QWidget>("RichTextBox1")->isHidden());
    QVERIFY(w<QWidget>("Command1")->isHidden());
  }

  void sceneWithoutModelsSaysSo() {
    SceneSpec spec = TestSpec();
    for (auto& object : spec.objects) object.model.reset();
    QVERIFY(open(spec));
    w<QRadioButton>("Option2")->click();
    w<QPushButton>("Command1")->click();
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral(" There are no Models (*.i3d) found"));
    ModelListView* models = w<ModelListView>("List1");
    QCOMPARE(models->count(), 1);
    QCOMPARE(models->text(0), QString());
  }

  void modeSwitchIsRefusedWhileTheInsertPanelIsOpen() {
    QVERIFY(open());
    w<QCheckBox>("Check2")->setChecked(true);
    w<QRadioButton>("Option2")->click();
    QVERIFY(!w<QRadioButton>("Option2")->isChecked());
    QVERIFY(w<QRadioButton>("Option1")->isChecked());
  }

  void startWithoutAFileAsksForOne() {
    QVERIFY(open());
    w<QListWidget>("File1")->clearSelection();
    QVERIFY(startAndScan());
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral("****** Select File ******"));
    QCOMPARE(s_->log.shown[0].title, QString());  // no failure so far
    QVERIFY(status().isEmpty());

    s_->log.shown.clear();
    w<QPushButton>("Command3")->click();  // the overview asks the same
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral("****** Select File ******"));

    s_->log.shown.clear();
    w<QRadioButton>("Option2")->click();
    w<QPushButton>("Command1")->click();
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral(" Please select file!!"));
  }

  void autoRefreshOffLeavesTheMiddlePanelAlone() {
    QVERIFY(open());
    w<QCheckBox>("Check1")->click();
    QVERIFY(!w<QCheckBox>("Check1")->isChecked());
    QVERIFY(startAndScan());
    QVERIFY(overview()->bytes().empty());
    w<QPushButton>("Command3")->click();
    QVERIFY(!overview()->bytes().empty());

    // Models mode: a save does not list the models unless auto refresh is on.
    w<QRadioButton>("Option2")->click();
    ModelListView* models = w<ModelListView>("List1");
    w<QPushButton>("Save")->click();
    QCOMPARE(models->count(), 0);
    w<QCheckBox>("Check1")->click();
    w<QPushButton>("Save")->click();
    QCOMPARE(models->count(), 2);
  }

  void fileBrowserListsOnlySceneFilesAndStaysInStep() {
    QVERIFY(open(TestSpec(), [](const QDir& dir) {
      QFile notes(dir.filePath(QStringLiteral("notes.txt")));
      QVERIFY(notes.open(QIODevice::WriteOnly));
      dir.mkdir(QStringLiteral("sub"));
    }));
    form_->show();
    QCOMPARE(form_->File1Path(), QDir(dir_->path()).absolutePath());

    QListWidget* files = w<QListWidget>("File1");
    QCOMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QStringLiteral("scene2.bin"));
    files->clearSelection();

    // A click selects without touching the "Choice:" label; a double click echoes the name.
    QLabel* choice = w<QLabel>("Label3");
    const QPoint at = files->visualItemRect(files->item(0)).center();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(form_->File1FileName(), QStringLiteral("scene2.bin"));
    QVERIFY(choice->text().isEmpty());
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(choice->text(), QStringLiteral("scene2.bin"));

    // Another folder: the file list follows and the label is emptied.
    QListWidget* folders = w<QListWidget>("Dir1");
    QListWidgetItem* sub = nullptr;
    for (int i = 0; i < folders->count(); ++i) {
      if (folders->item(i)->text().trimmed() == QLatin1String("sub")) sub = folders->item(i);
    }
    QVERIFY(sub != nullptr);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                      folders->visualItemRect(sub).center());
    QCOMPARE(form_->Dir1Path(), QDir(dir_->filePath(QStringLiteral("sub"))).absolutePath());
    QCOMPARE(form_->File1Path(), form_->Dir1Path());
    QCOMPARE(files->count(), 0);
    QVERIFY(form_->File1FileName().isEmpty());
    QVERIFY(choice->text().isEmpty());
  }

  void everyDriveCanBeChosen() {
    QVERIFY(open());
    form_->show();
    QComboBox* drives = w<QComboBox>("Drive1");
    QStringList names;
    for (int i = 0; i < drives->count(); ++i) names << drives->itemText(i);
    qInfo("drives: %s", qPrintable(names.join(QLatin1Char(' '))));
#ifdef Q_OS_WIN
    QVERIFY(names.contains(QStringLiteral("c:")));  // as Windows names drives; Wine adds z:
#endif
    // Each drive that can be read takes the folder list there, and the file list follows.
    for (int i = 0; i < drives->count(); ++i) {
      if (!QFileInfo(names[i]).isReadable()) continue;
      drives->setCurrentIndex(i);
      QVERIFY2(form_->Dir1Path().startsWith(names[i], Qt::CaseInsensitive), qPrintable(names[i]));
      QCOMPARE(form_->File1Path(), form_->Dir1Path());
    }
    QVERIFY(s_->log.shown.empty());
  }

  void nonAsciiFoldersAndScenesLoadAndSave() {
    // Composed as Windows and most tools write names, and decomposed as some tools do: each is
    // listed with exactly its own characters, and its scene loads and saves like any other.
    const QString names[] = {QStringLiteral("Quorvex \u00dcn\u00ef \u4efb\u52a1"),
                             QStringLiteral("Quorvex U\u0308ni\u0308")};
    const QString scene = QStringLiteral("Szene \u00c4rger.bin");
    const Bytes bytes = quorvex::testing::BuildScene(TestSpec());
    QVERIFY(open(TestSpec(), [&](const QDir& dir) {
      for (const QString& name : names) {
        QVERIFY(dir.mkpath(name));
        QFile file(dir.filePath(name + QLatin1Char('/') + scene));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
      }
    }));
    form_->show();
    SceneSpec expected = TestSpec();
    expected.definitions[3].script = "open\r\nclose \xc4\r\n";  // Windows-1252, as on Linux
    const Bytes saved = quorvex::testing::BuildScene(expected);
    for (const QString& name : names) {
      form_->setDir1Path(dir_->path());
      QListWidget* folders = w<QListWidget>("Dir1");
      QListWidgetItem* folder = nullptr;
      for (int i = 0; i < folders->count(); ++i) {
        if (folders->item(i)->text().trimmed() == name) folder = folders->item(i);
      }
      QVERIFY2(folder != nullptr, qPrintable(name));
      QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                        folders->visualItemRect(folder).center());
      QCOMPARE(form_->Dir1Path(), QDir(scenePath(name)).absolutePath());
      QListWidget* files = w<QListWidget>("File1");
      QCOMPARE(files->count(), 1);
      QCOMPARE(files->item(0)->text(), scene);
      files->setCurrentRow(0);
      QVERIFY(startAndScan());
      QCOMPARE(list2()->count(), 5);
      list2()->setCurrentRow(2);  // Door
      typeAtEnd(QStringLiteral("close \u00c4\r\n"));
      w<QPushButton>("Save")->click();
      QCOMPARE(status(), kSaved);
      form_->Timer1_Timer();
      QFile file(scenePath(name + QLatin1Char('/') + scene));
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray now = file.readAll();
      QVERIFY(Bytes(now.begin(), now.end()) == saved);
    }
  }

  // The form's proportions at any screen scale: run again with QT_FONT_DPI=120 or 144, or with
  // QT_SCALE_FACTOR=1.25 or 1.5 (125 % and 150 %), and QUORVEX_EXPECT_SCALE=125 or 150 to make
  // sure the scale took effect. Positions are twips of the screen's DPI and the fonts are in
  // points, so controls and their texts grow by the same factor.
  void theFormKeepsItsProportionsAtTheScreensScale() {
    QVERIFY(open());
    Form1& form = *form_;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const qreal dpi = form.screen()->logicalDotsPerInch();
    const qreal ratio = form.devicePixelRatioF();
    const int percent = qRound(dpi / 96.0 * ratio * 100.0);
    qInfo("screen scale %d %% (logical DPI %.0f, device pixel ratio %.2f)", percent, dpi, ratio);
    if (qEnvironmentVariableIsSet("QUORVEX_EXPECT_SCALE"))
      QCOMPARE(percent, qEnvironmentVariableIntValue("QUORVEX_EXPECT_SCALE"));
    const quorvex::ui::Twips twips(dpi);
    QCOMPARE(form.size(), QSize(twips.px(11430), twips.px(8265)));
    QCOMPARE(w<QWidget>("Command2")->geometry(), twips.rect(4200, 1320, 1815, 375));
    QCOMPARE(w<QWidget>("Save")->geometry().topLeft(), twips.rect(10200, 7680, 0, 0).topLeft());
    // A point is 20 twips: the window's font has the height that DPI gives it.
    const QFont font = form.font();
    const int pixels = QFontInfo(font).pixelSize();
    QVERIFY2(
        std::abs(pixels - font.pointSizeF() * dpi / 72.0) <= 1.0,
        qPrintable(QStringLiteral("%1 pixels for %2 points").arg(pixels).arg(font.pointSizeF())));
    QCOMPARE(form.grab().size(), (QSizeF(form.size()) * ratio).toSize());
  }

  void aFileHeldByAnotherProgramIsReported() {
    QVERIFY(openTestScene());
    typeAtEnd(QStringLiteral("more"));
    const Bytes before = readScene();  // while it can be read: Windows lets no one in once held
    auto held = quorvex::platform::OpenLocked(std::filesystem::path(scenePath().toStdString()));
    QVERIFY(held.ok());

    w<QPushButton>("Save")->click();
    QCOMPARE(s_->log.shown.size(), 1);
    QCOMPARE(s_->log.shown[0].prompt, QString::fromLatin1(quorvex::kFileUsedMessage));
    QVERIFY(s_->log.shown[0].warning);  // a failure, not a notice
    QCOMPARE(status(), QStringLiteral("--- Not Saved! ---"));

    // "Start" first asks about the edit that could not be saved; No lets it go on.
    s_->log.shown.clear();
    s_->log.choices = {Answer::No};
    QVERIFY(startAndScan());
    QCOMPARE(s_->log.shown.size(), 2);
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral("Save the changes to Guard?"));
    QCOMPARE(s_->log.shown[1].prompt, QString::fromLatin1(quorvex::kFileUsedMessage));
    QVERIFY(!form_->state().Busy);
    held.value().reset();  // closes it
    QVERIFY(readScene() == before);
  }

  void saveRefusesWhenAnotherFileIsSelected() {
    QVERIFY(openTestScene(false, OtherSceneAndFolder));
    const Bytes scene = readScene();
    const Bytes other = readScene(QStringLiteral("other.bin"));
    QListWidget* files = w<QListWidget>("File1");
    files->setCurrentItem(files->findItems(QStringLiteral("other.bin"), Qt::MatchExactly).first());
    typeAtEnd(QStringLiteral("more"));  // an edit made after picking another file

    w<QPushButton>("Save")->click();
    QCOMPARE(s_->log.shown.size(), 1);
    QVERIFY(s_->log.shown[0].prompt.contains(QStringLiteral("scene2.bin")));
    QVERIFY(readScene() == scene);
    QVERIFY(readScene(QStringLiteral("other.bin")) == other);
    QCOMPARE(status(), QStringLiteral("--- Not Saved! ---"));
  }

  // An edit that is not in the scene is guarded: each way of leaving it asks "Save the changes to
  // NAME?". Yes saves and goes on, unless the save fails; No goes on without saving; Cancel stays.
  void unsavedEditIsGuarded_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("locked");  // another program holds the scene: the save fails
    const char* triggers[] = {"row", "Start", "file", "folder", "close"};
    for (int trigger = 0; trigger < 5; ++trigger) {
      const QByteArray name = triggers[trigger];
      QTest::newRow(name + " yes") << trigger << Answer::Yes << false;
      QTest::newRow(name + " yes, save fails") << trigger << Answer::Yes << true;
      QTest::newRow(name + " no") << trigger << Answer::No << false;
      QTest::newRow(name + " cancel") << trigger << Answer::Cancel << false;
    }
  }
  void unsavedEditIsGuarded() {
    QFETCH(int, trigger);
    QFETCH(Answer, answer);
    QFETCH(bool, locked);
    enum { kRow, kStart, kFile, kFolder, kClose };
    QVERIFY(openTestScene(false, OtherSceneAndFolder));
    form_->show();
    const QString sub = QDir(dir_->filePath(QStringLiteral("sub"))).absolutePath();
    // Where the window is, as far as the trigger moves it.
    const auto where = [&]() -> QString {
      switch (trigger) {
        case kRow:
          return QString::number(list2()->currentRow());
        case kStart:
          return timer1()->isActive() ? QStringLiteral("started") : QStringLiteral("idle");
        case kFile:
          return form_->File1FileName();
        case kFolder:
          return form_->Dir1Path();
        default:
          return form_->isVisible() ? QStringLiteral("open") : QStringLiteral("closed");
      }
    };
    const QString moved[] = {"2", "started", "other.bin", sub, "closed"};

    replaceFirst(QStringLiteral("L"));
    const std::string edited = "Lamp_on 1\r\nend\r\n";
    SceneSpec savedSpec = TestSpec();
    savedSpec.definitions[0].script = edited;
    const Bytes before = readScene();
    std::unique_ptr<quorvex::platform::LockedFile> held;
    if (locked) {
      auto lock = quorvex::platform::OpenLocked(std::filesystem::path(scenePath().toStdString()));
      QVERIFY(lock.ok());
      held = std::move(*lock);
    }
    const QString start = where();
    s_->log.choices = {answer};

    switch (trigger) {
      case kRow:
        list2()->setCurrentRow(2);
        break;
      case kStart:
        w<QPushButton>("Command2")->click();
        break;
      case kFile: {
        QListWidget* files = w<QListWidget>("File1");
        files->setCurrentItem(
            files->findItems(QStringLiteral("other.bin"), Qt::MatchExactly).first());
        break;
      }
      case kFolder: {
        QListWidget* folders = w<QListWidget>("Dir1");
        for (int i = 0; i < folders->count(); ++i) {
          if (folders->item(i)->data(Qt::UserRole).toString() == sub) {
            emit folders->itemClicked(folders->item(i));
          }
        }
        break;
      }
      default:
        form_->close();
        break;
    }

    QVERIFY(!s_->log.shown.isEmpty());
    QCOMPARE(s_->log.shown[0].title, QStringLiteral("Quorvex"));
    QCOMPARE(s_->log.shown[0].prompt, QStringLiteral("Save the changes to Guard?"));
    const bool saved = answer == Answer::Yes && !locked;
    const bool goesOn = saved || answer == Answer::No;
    QCOMPARE(where(), goesOn ? moved[trigger] : start);
    held.reset();
    QVERIFY(readScene() == (saved ? quorvex::testing::BuildScene(savedSpec) : before));
    if (!goesOn) {
      QCOMPARE(text1()->encodedBytes().bytes, edited);  // the edit is still there
      QCOMPARE(w<QListWidget>("File1")->currentItem()->text(), QStringLiteral("scene2.bin"));
      QCOMPARE(list2()->currentRow(), 0);
      QVERIFY(status() != kSaved);
    }
    if (answer == Answer::No && (trigger == kFile || trigger == kFolder)) {
      // The browser moved on; the box shows the script as it was loaded.
      QCOMPARE(text1()->encodedBytes().bytes, std::string("lamp_on 1\r\nend\r\n"));
    }
  }

  void noQuestionWithoutAnUnsavedEdit() {
    QVERIFY(openTestScene());
    replaceFirst(QStringLiteral("D"));
    QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);  // undone: nothing to save
    list2()->setCurrentRow(2);
    QCOMPARE(list2()->currentRow(), 2);
    replaceFirst(QStringLiteral("O"));
    w<QPushButton>("Save")->click();  // saved: nothing left to save
    QCOMPARE(status(), kSaved);
    list2()->setCurrentRow(3);
    QCOMPARE(list2()->currentRow(), 3);
    QVERIFY(startAndScan());
    QVERIFY(s_->log.shown.isEmpty());
  }

  // Yes to a save that changes the length reads the scene again; the window still ends where the
  // user was going.
  void lengthChangingSaveFromTheQuestionEndsWhereTheUserWasGoing() {
    QVERIFY(openTestScene(false, OtherSceneAndFolder));
    typeAtEnd(QStringLiteral("wait 1\r\n"));
    s_->log.choices = {Answer::Yes};
    list2()->setCurrentRow(2);
    QVERIFY(timer1()->isActive());
    form_->Timer1_Timer();
    QCOMPARE(list2()->currentRow(), 2);
    QCOMPARE(text1()->encodedBytes().bytes, std::string("open\r\n"));

    list2()->setCurrentRow(0);
    QCOMPARE(text1()->encodedBytes().bytes, std::string("lamp_on 1\r\nend\r\nwait 1\r\n"));
    typeAtEnd(QStringLiteral("end\r\n"));
    s_->log.choices = {Answer::Yes};
    QListWidget* files = w<QListWidget>("File1");
    files->setCurrentItem(files->findItems(QStringLiteral("other.bin"), Qt::MatchExactly).first());
    // The scene was read again before the browser moved on.
    QVERIFY(!timer1()->isActive());
    QCOMPARE(form_->File1FileName(), QStringLiteral("other.bin"));
    QCOMPARE(form_->state().SceneFileName, std::string("scene2.bin"));
    QCOMPARE(text1()->encodedBytes().bytes, std::string("lamp_on 1\r\nend\r\nwait 1\r\nend\r\n"));
    SceneSpec expected = TestSpec();
    expected.definitions[0].script = "lamp_on 1\r\nend\r\nwait 1\r\nend\r\n";
    QVERIFY(readScene() == quorvex::testing::BuildScene(expected));
    QCOMPARE(s_->log.shown.size(), 2);
  }

  void aSceneChangedOnDiskIsNotOverwritten() {
    QVERIFY(openTestScene());
    typeAtEnd(QStringLiteral("more"));
    // Another program rewrites the scene meanwhile.
    SceneSpec changed = TestSpec();
    changed.definitions[0].script = "something else entirely\r\n";
    quorvex::testing::WriteFile(scenePath().toStdString(), quorvex::testing::BuildScene(changed));
    const Bytes before = readScene();

    w<QPushButton>("Save")->click();
    QCOMPARE(s_->log.shown.size(), 1);
    QVERIFY(!s_->log.shown[0].prompt.isEmpty());
    QVERIFY(status() != kSaved);
    QVERIFY(readScene() == before);
    QVERIFY(!timer1()->isActive());
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
