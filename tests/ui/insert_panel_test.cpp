// The insert panel driven through its widgets: opening and closing it, the model categories, the
// rotation dial, and inserting or modifying objects in scenes made by the test scene builder.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cstring>
#include <memory>

#include "scene/scene_image.h"
#include "support/scene_builder.h"
#include "ui/byte_text_edit.h"
#include "ui/dial_canvas.h"
#include "ui/form1.h"
#include "ui/insert_numbers.h"
#include "window_session.h"

using quorvex::Bytes;
using quorvex::ByteString;
using quorvex::testing::SceneSpec;
using quorvex::ui::Answer;
using quorvex::ui::ByteTextEdit;
using quorvex::ui::DialFigure;
using quorvex::ui::Form1;
using quorvex::ui::testing::kSaved;
using quorvex::ui::testing::Session;

namespace {

float FloatAt(const Bytes& bytes, qint64 pos) {  // 1-based, as the scene's positions
  float value = 0;
  std::memcpy(&value, bytes.data() + pos - 1, 4);
  return value;
}

quint32 Uint32At(const Bytes& bytes, qint64 pos) {
  quint32 value = 0;
  std::memcpy(&value, bytes.data() + pos - 1, 4);
  return value;
}

struct LineEnd {
  int x, y;
};

// The moving end of a dial line: end 1 of Line7, end 2 of Line11 and Line12.
LineEnd MovingEnd(const Session& s, const char* name) {
  const auto* line = s.get<DialFigure>(QString::fromLatin1(name));
  if (QByteArray(name) == "Line7") return {line->x1(), line->y1()};
  return {line->x2(), line->y2()};
}

}  // namespace

class InsertPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QLocale::setDefault(QLocale::c()); }

  void openingAndClosingFollowTheTable();
  void tickingTwiceScansOnce();
  void openingAfterLoadShowsTheSelectedObjectsValues();
  void categoriesFillTheModelBox();
  void othersKeepsTheModelBoxAsItIs();
  void validationMessagesComeInOrder();
  void insertGrowsTheFileAndSelectsTheNewRow_data();
  void insertGrowsTheFileAndSelectsTheNewRow();
  void insertWithoutCategoryWritesOnlyTheObject();
  void insertSelectsTheNewRowWithoutStandaloneScripts();
  void insertTakesTheLocalesNotationAndC();
  void insertIsRefusedWithoutTheSelectedScenesList();
  void failedInsertSaysSoAndWritesNothing();
  void insertAsksAboutAnUnsavedScriptFirst();
  void userNumbers();
  void modifyNoWritesNothing();
  void modifyRewritesExactlyTheTenValues();
  void modifyRefusesWithoutARecordedObject();
  void dialEndPoints();
  void drawRotationDialRoundsTheSliderOnly();
  void sliderClickStoresForRowAndAsCurrent();
  void sliderClickWithoutRowStoresOnlyCurrent();
};

void InsertPanelTest::openingAndClosingFollowTheTable() {
  Session s;
  QVERIFY(s.selected);
  auto shown = [&](const char* name) {
    return !s.get<QWidget>(QString::fromLatin1(name))->isHidden();
  };
  // Start in models mode, so that closing has to run the overview button's click.
  s.get<QRadioButton>(QStringLiteral("Option2"))->click();
  QVERIFY(shown("Command1"));

  s.setPanel(true);  // no scene chosen yet: nothing is loaded
  QVERIFY(!s.form->state().ObjectParamsLoaded);
  QVERIFY(!s.get<QRadioButton>(QStringLiteral("Option2"))->isChecked());
  for (const char* hidden :
       {"RichTextBox1", "Command3", "Command4", "Text3", "ProgressBar2", "Command1"}) {
    QVERIFY2(!shown(hidden), hidden);
  }
  for (const char* visible : {"Frame1", "Text4", "Text5", "Text6", "Text7", "Label9", "Label10",
                              "Command5", "Option3", "Option4"}) {
    QVERIFY2(shown(visible), visible);
  }

  s.setPanel(false);
  for (const char* hidden :
       {"Frame1", "Command5", "Option3", "Option4", "ProgressBar2", "Command1"}) {
    QVERIFY2(!shown(hidden), hidden);
  }
  // These stay shown inside the hidden frame and reappear with it.
  for (const char* kept : {"Text4", "Text5", "Text6", "Text7", "Label9", "Label10"}) {
    QVERIFY2(shown(kept), kept);
  }
  for (const char* visible : {"RichTextBox1", "Command3", "Command4", "Text3"}) {
    QVERIFY2(shown(visible), visible);
  }
  QVERIFY(s.get<QRadioButton>(QStringLiteral("Option1"))->isChecked());
  QVERIFY(!s.get<QRadioButton>(QStringLiteral("Option2"))->isChecked());

  s.setPanel(true);
  QVERIFY(shown("Command5") && shown("Option3") && shown("Option4") && shown("Frame1"));
}

void InsertPanelTest::tickingTwiceScansOnce() {
  Session s;
  s.load();
  const int brenna = s.rowOf(QStringLiteral("Brenna"));
  const auto shownX = [&] {
    s.list2()->setCurrentRow(-1);
    s.list2()->setCurrentRow(brenna);
    return s.text(5)->text();
  };
  QCOMPARE(shownX(), QStringLiteral("0"));  // the panel was closed during the load
  s.setPanel(true);
  QCOMPARE(shownX(), QStringLiteral("14"));
  QVERIFY(!s.get<QProgressBar>(QStringLiteral("ProgressBar3"))->isVisibleTo(s.form.get()));

  // Another program changes the value in place: only a second scan would read it.
  Bytes changed = s.bytes();
  const float x = 999.0f;
  std::memcpy(changed.data() + s.form->state().EntryTranslationPos[brenna] - 1, &x, 4);
  quorvex::testing::WriteFile(s.path.toStdString(), changed);
  s.setPanel(false);
  s.setPanel(true);
  QCOMPARE(shownX(), QStringLiteral("14"));

  s.load();  // "Start" with the panel open loads the new scene's parameters in the scan
  QCOMPARE(shownX(), QStringLiteral("999"));
}

void InsertPanelTest::openingAfterLoadShowsTheSelectedObjectsValues() {
  Session s;
  s.load();
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Vel")));
  QCOMPARE(s.text(5)->text(), QStringLiteral("0"));  // not read yet
  s.setPanel(true);
  QCOMPARE(s.text(4)->text(), QStringLiteral("Vel"));
  QCOMPARE(s.text(5)->text(), QStringLiteral("-8.75"));
  QCOMPARE(s.text(11)->text(), QStringLiteral("Vel.i3d"));
}

void InsertPanelTest::categoriesFillTheModelBox() {
  Session s;
  s.load();
  s.setPanel(true);
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Vel")));
  QVERIFY(s.text(4)->isReadOnly() && s.text(11)->isReadOnly());
  const struct {
    int option;
    const char* model;
  } categories[] = {{3, "Sarah2LOW.i3d"}, {5, "Enemy12K.i3d"}, {6, "PoliceMan01.i3d"},
                    {7, "blackha00.i3d"}, {8, "Truck02.i3d"},  {9, "polimTud00.i3d"},
                    {4, "xbarel 2.i3d"}};
  for (const auto& c : categories) {
    s.text(4)->setText(QStringLiteral("typed"));
    s.option(c.option)->click();
    QCOMPARE(s.text(11)->text(), QString::fromLatin1(c.model));
    QCOMPARE(s.text(4)->text(), QString());
    for (int number = 4; number <= 11; ++number) QVERIFY(!s.text(number)->isReadOnly());
    QCOMPARE(s.text(4)->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::Base));
    QVERIFY(s.slider()->isEnabled());
    // Translation and size of the object just viewed stay.
    QCOMPARE(s.text(5)->text(), QStringLiteral("-8.75"));
    QCOMPARE(s.text(7)->text(), QStringLiteral("15"));
    QCOMPARE(s.text(8)->text(), QStringLiteral("1"));
  }
  // One group: choosing one clears the others.
  QVERIFY(s.option(4)->isChecked());
  for (int number : {3, 5, 6, 7, 8, 9, 10}) QVERIFY(!s.option(number)->isChecked());
}

void InsertPanelTest::othersKeepsTheModelBoxAsItIs() {
  {
    Session s;  // at start: an empty, editable model box
    s.setPanel(true);
    s.option(10)->click();
    QCOMPARE(s.text(11)->text(), QString());
    QVERIFY(!s.text(11)->isReadOnly());
  }
  Session s;
  s.load();
  s.setPanel(true);
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Cop01")));
  s.option(10)->click();
  QCOMPARE(s.text(11)->text(), QStringLiteral("PoliceMan01.i3d"));
  QVERIFY(s.text(11)->isReadOnly());
  QCOMPARE(s.text(4)->text(), QString());
  QVERIFY(!s.text(4)->isReadOnly());
  QVERIFY(!s.text(5)->isReadOnly() && s.slider()->isEnabled());
}

void InsertPanelTest::validationMessagesComeInOrder() {
  Session s;
  s.load();
  s.setPanel(true);
  s.option(3)->click();
  const Bytes before = s.bytes();
  const auto expect = [&](const QString& title, const QString& prompt) {
    const int count = s.log.shown.size();
    s.pressInsertModify();
    QCOMPARE(s.log.shown.size(), count + 1);
    QCOMPARE(s.lastMessage().title, title);
    QCOMPARE(s.lastMessage().prompt, prompt);
    QVERIFY(!s.lastMessage().warning);  // a prompt to the user, not a failure
    QVERIFY(s.bytes() == before);
    QVERIFY(s.status()->text() != kSaved);
  };
  const QString numeric = QStringLiteral("Put numeric");

  s.fill(QString(), {"1", "2", "3", "1", "1", "1"});
  expect(QStringLiteral("Name"), QStringLiteral("Put Name"));
  s.fill(QStringLiteral("Ilse"), {"1", "2", "3", "1", "", "1"});
  expect(QString(), QStringLiteral("Fill all fields"));
  const QStringList good = {"1", "2", "3", "1", "1", "1"};
  for (int i = 0; i < 6; ++i) {  // each box in turn, the earlier ones numeric
    QStringList numbers = good;
    numbers[i] = QStringLiteral("1x");
    if (i + 1 < 6) numbers[i + 1] = QStringLiteral("nope");  // a later failure must not win
    s.fill(QStringLiteral("Ilse"), numbers);
    expect(i < 3 ? QStringLiteral("Translation") : QStringLiteral("Size"), numeric);
  }
  s.fill(QStringLiteral("oskar"), good);
  s.get<QListWidget>(QStringLiteral("File1"))->clearSelection();
  expect(QString(), QStringLiteral("****** Select File ******"));
  QCOMPARE(s.status()->text(), QString());

  QVERIFY(s.form->selectScene(s.path));
  expect(QStringLiteral("Name already known"), QStringLiteral("Put another!"));
}

void InsertPanelTest::insertGrowsTheFileAndSelectsTheNewRow_data() {
  QTest::addColumn<int>("option");
  QTest::addColumn<int>("growth");  // for the name "Neo" (N = 3) and the category's model
  // ObjectRecord 133 + N + M ("others": 156 + N), DefinitionRecord 13 + N + T.
  QTest::newRow("female") << 3 << (133 + 3 + 13) + (128 + 3);
  QTest::newRow("male") << 5 << (133 + 3 + 12) + (128 + 3);
  QTest::newRow("policeman") << 6 << (133 + 3 + 15) + (128 + 3);
  QTest::newRow("car") << 7 << (133 + 3 + 13) + (2675 + 3);
  QTest::newRow("truck") << 8 << (133 + 3 + 11) + (2390 + 3);
  QTest::newRow("policecar") << 9 << (133 + 3 + 14) + (1657 + 3);
  QTest::newRow("things") << 4 << (133 + 3 + 12) + (60 + 3);
  QTest::newRow("others") << 10 << (156 + 3) + (53 + 3);
}

void InsertPanelTest::insertGrowsTheFileAndSelectsTheNewRow() {
  QFETCH(int, option);
  QFETCH(int, growth);
  Session s;
  s.load();
  s.setPanel(true);
  const int firstScript = s.rowOf(QStringLiteral("init"));  // the first standalone script
  const qsizetype before = static_cast<qsizetype>(s.bytes().size());

  s.option(option)->click();
  s.slider()->setValue(30);
  s.form->Slider1_Click();
  s.fill(QStringLiteral("Neo"), {"1.5", "-2", "3e1", "1", "2", "0.5"});
  s.pressInsertModify();
  QVERIFY2(s.log.shown.isEmpty(), qPrintable(s.lastMessage().prompt));
  QCOMPARE(static_cast<qsizetype>(s.bytes().size()), before + growth);
  QCOMPARE(s.status()->text(), kSaved);
  QCOMPARE(s.status()->palette().color(QPalette::Text), QColor(0, 128, 0));

  s.form->Timer1_Timer();  // the reload "Start" scheduled
  QCOMPARE(s.list2()->currentRow(), firstScript);
  QCOMPARE(s.list2()->currentItem()->text(), QStringLiteral("Neo"));
  // The people's and "others" templates carry a script; showing a row without one says so.
  const bool hasScript = s.list2()->currentItem()->checkState() == Qt::Checked;
  QCOMPARE(hasScript, option == 3 || option == 5 || option == 6 || option == 10);
  QCOMPARE(s.status()->text(), hasScript ? kSaved : QStringLiteral(" ---- No Script ---- "));
  // The panel shows the new object as the scene now holds it.
  QCOMPARE(s.text(4)->text(), QStringLiteral("Neo"));
  QCOMPARE(s.text(5)->text(), QStringLiteral("1.5"));
  QCOMPARE(s.text(7)->text(), QStringLiteral("30"));
  QCOMPARE(s.text(10)->text(), QStringLiteral("0.5"));
  QCOMPARE(s.slider()->value(), 30);
}

void InsertPanelTest::insertWithoutCategoryWritesOnlyTheObject() {
  // A scene that lists no rows leaves the name box editable and no category chosen.
  SceneSpec spec = quorvex::testing::DemoSceneSpec();
  spec.definitions.clear();
  spec.scripts.clear();
  Session s(spec);
  s.load();
  QCOMPARE(s.list2()->count(), 0);
  s.setPanel(true);
  const qsizetype before = static_cast<qsizetype>(s.bytes().size());
  s.text(11)->setText(QStringLiteral("a.i3d"));
  s.fill(QStringLiteral("Solo"), {"0", "0", "0", "1", "1", "1"});
  s.pressInsertModify();
  QVERIFY2(s.log.shown.isEmpty(), qPrintable(s.lastMessage().prompt));
  QCOMPARE(static_cast<qsizetype>(s.bytes().size()), before + 133 + 4 + 5);
}

void InsertPanelTest::insertSelectsTheNewRowWithoutStandaloneScripts() {
  // Without standalone scripts FirstStandaloneScriptRow is 0; the new definition still becomes
  // the row after the listed definitions, and that row is selected after the reload.
  SceneSpec spec = quorvex::testing::DemoSceneSpec();
  spec.scripts.clear();
  Session s(spec);
  s.load();
  QCOMPARE(s.form->state().FirstStandaloneScriptRow, 0);
  const int rows = s.list2()->count();
  QVERIFY(rows > 1);
  s.setPanel(true);
  s.option(5)->click();
  s.fill(QStringLiteral("Ilse"), {"1", "2", "3", "1", "1", "1"});
  s.pressInsertModify();
  QVERIFY2(s.log.shown.isEmpty(), qPrintable(s.lastMessage().prompt));
  s.form->Timer1_Timer();
  QCOMPARE(s.list2()->count(), rows + 1);
  QCOMPARE(s.list2()->currentRow(), rows);
  QCOMPARE(s.list2()->currentItem()->text(), QStringLiteral("Ilse"));
  QCOMPARE(s.text(4)->text(), QStringLiteral("Ilse"));
}

void InsertPanelTest::insertTakesTheLocalesNotationAndC() {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Session s;
  s.load();
  s.setPanel(true);
  s.option(4)->click();
  s.fill(QStringLiteral("Fass"), {"12,5", "-0.25", "3", "1,5", "1", "1"});
  s.pressInsertModify();
  QVERIFY2(s.log.shown.isEmpty(), qPrintable(s.lastMessage().prompt));
  s.form->Timer1_Timer();
  QCOMPARE(s.list2()->currentItem()->text(), QStringLiteral("Fass"));
  QCOMPARE(s.text(5)->text(), QStringLiteral("12.5"));
  QCOMPARE(s.text(6)->text(), QStringLiteral("-0.25"));
  QCOMPARE(s.text(8)->text(), QStringLiteral("1.5"));
}

void InsertPanelTest::insertIsRefusedWithoutTheSelectedScenesList() {
  Session s;  // chosen but never loaded: the name cannot be checked
  s.setPanel(true);
  s.option(3)->click();
  s.fill(QStringLiteral("Oskar"), {"1", "1", "1", "1", "1", "1"});
  const Bytes before = s.bytes();
  s.pressInsertModify();
  QCOMPARE(s.log.shown.size(), 1);
  QVERIFY(s.lastMessage().prompt.contains(QStringLiteral("\"Start\"")));
  QVERIFY(s.bytes() == before);
}

void InsertPanelTest::failedInsertSaysSoAndWritesNothing() {
  Session s;
  s.load();
  s.setPanel(true);
  s.option(3)->click();
  s.fill(QStringLiteral("Late"), {"1", "1", "1", "1", "1", "1"});
  // Another program changes the scene after it was read.
  Bytes changed = s.bytes();
  changed.push_back(0);
  quorvex::testing::WriteFile(s.path.toStdString(), changed);
  s.status()->setText(QStringLiteral("before"));
  s.pressInsertModify();
  QCOMPARE(s.log.shown.size(), 1);
  QVERIFY(s.lastMessage().prompt.contains(QStringLiteral("changed on disk")));
  QVERIFY(s.lastMessage().warning);
  QVERIFY(s.bytes() == changed);
  QCOMPARE(s.status()->text(), QStringLiteral("before"));
  QVERIFY(!s.timer1()->isActive());  // no reload

  // A name the code page cannot hold is refused once the checks have passed.
  s.load();
  s.option(3)->click();
  s.fill(QStringLiteral("Ωmega"), {"1", "1", "1", "1", "1", "1"});
  s.pressInsertModify();
  QCOMPARE(s.lastMessage().title, QStringLiteral("Name"));
  QVERIFY(s.bytes() == changed);
}

// The reload after an insertion refills the script box: an unsaved edit is asked about first.
void InsertPanelTest::insertAsksAboutAnUnsavedScriptFirst() {
  for (const Answer answer : {Answer::Cancel, Answer::No}) {
    Session s;
    s.load();
    s.setPanel(true);
    s.typeAtEnd(QStringLiteral("x"));
    ByteTextEdit* script = s.script();
    const std::string edited = script->encodedBytes().bytes;
    const QString row = s.list2()->currentItem()->text();
    const Bytes before = s.bytes();
    s.option(3)->click();
    s.fill(QStringLiteral("Lantern"), {"1", "2", "3", "1", "1", "1"});
    s.log.choices = {answer};
    s.pressInsertModify();
    QVERIFY(!s.log.shown.isEmpty());
    QCOMPARE(s.log.shown[0].prompt, QStringLiteral("Save the changes to %1?").arg(row));
    if (answer == Answer::Cancel) {
      QVERIFY(s.bytes() == before);
      QCOMPARE(script->encodedBytes().bytes, edited);
    } else {
      QVERIFY(s.bytes().size() > before.size());
    }
  }
}

void InsertPanelTest::userNumbers() {
  const QLocale german(QLocale::German, QLocale::Germany);
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  using quorvex::ui::ParseUserNumber;
  QCOMPARE(ParseUserNumber(QStringLiteral("12,5"), german), std::optional<double>(12.5));
  QCOMPARE(ParseUserNumber(QStringLiteral("12.5"), german), std::optional<double>(12.5));
  QCOMPARE(ParseUserNumber(QStringLiteral("12.5"), english), std::optional<double>(12.5));
  QCOMPARE(ParseUserNumber(QStringLiteral(" -7 "), english), std::optional<double>(-7));
  QCOMPARE(ParseUserNumber(QStringLiteral("1e3"), english), std::optional<double>(1000));
  for (const char* bad : {"", " ", "12,5", "1,250", "abc", "1.2.3", "inf", "nan", "0x10", "١٢"}) {
    QVERIFY2(!ParseUserNumber(QString::fromUtf8(bad), english), bad);
  }
  QVERIFY(!ParseUserNumber(QStringLiteral("1.234,5"), german));  // no thousands separators
}

void InsertPanelTest::modifyNoWritesNothing() {
  Session s;
  s.load();
  s.setPanel(true);
  const int brenna = s.rowOf(QStringLiteral("Brenna"));
  s.list2()->setCurrentRow(brenna);
  s.text(5)->setText(QStringLiteral("99"));
  const Bytes before = s.bytes();
  s.log.answers = {false};
  s.pressInsertModify();
  QCOMPARE(s.lastMessage().title, QStringLiteral("Changing"));
  QCOMPARE(s.lastMessage().prompt, QStringLiteral("Want to change parameter?"));
  QVERIFY(s.bytes() == before);
  s.list2()->setCurrentRow(0);
  s.list2()->setCurrentRow(brenna);
  QCOMPARE(s.text(5)->text(), QStringLiteral("14"));
}

void InsertPanelTest::modifyRewritesExactlyTheTenValues() {
  SceneSpec spec = quorvex::testing::DemoSceneSpec();
  spec.objects[1].translation[1] = -1774.3284f;  // more digits than the box shows
  spec.objects[1].rotationB = 0x12345678;
  spec.objects[1].rotationD = 0xCAFEF00D;
  Session s(spec);
  s.load();
  s.setPanel(true);
  const int brenna = s.rowOf(QStringLiteral("Brenna"));
  s.list2()->setCurrentRow(brenna);
  QCOMPARE(s.text(6)->text(), QStringLiteral("-1774.328"));
  const qint64 p = s.form->state().EntryTranslationPos[brenna];
  const Bytes before = s.bytes();

  s.slider()->setValue(-30);
  s.form->Slider1_Click();
  s.text(5)->setText(QStringLiteral("20"));
  s.text(7)->setText(QStringLiteral("0.1"));
  s.text(10)->setText(QStringLiteral("2.5"));
  s.log.answers = {true};
  s.pressInsertModify();
  QCOMPARE(s.log.shown.size(), 1);  // the question only
  const Bytes after = s.bytes();
  QCOMPARE(after.size(), before.size());
  const qint64 fields[] = {p, p + 4, p + 8, p + 18, p + 22, p + 26, p + 30, p + 40, p + 44, p + 48};
  for (qint64 pos = 1; pos <= static_cast<qint64>(before.size()); ++pos) {
    bool inField = false;
    for (qint64 f : fields) inField = inField || (pos >= f && pos < f + 4);
    if (!inField) QVERIFY2(before[pos - 1] == after[pos - 1], qPrintable(QString::number(pos)));
  }
  QCOMPARE(FloatAt(after, p), 20.0f);
  QCOMPARE(Uint32At(after, p + 4), Uint32At(before, p + 4));  // untouched box: exact bits
  QCOMPARE(FloatAt(after, p + 8), 0.1f);
  QCOMPARE(FloatAt(after, p + 18), -0.5f);
  QCOMPARE(Uint32At(after, p + 22), 0x12345678u);
  QCOMPARE(FloatAt(after, p + 26), 0.8660254f);
  QCOMPARE(Uint32At(after, p + 30), 0xCAFEF00Du);
  QCOMPARE(FloatAt(after, p + 40), 1.0f);
  QCOMPARE(FloatAt(after, p + 48), 2.5f);
  s.list2()->setCurrentRow(0);  // the row shown again: as the scene now holds it
  s.list2()->setCurrentRow(brenna);
  QCOMPARE(s.text(5)->text(), QStringLiteral("20"));
  QCOMPARE(s.slider()->value(), -30);
}

void InsertPanelTest::modifyRefusesWithoutARecordedObject() {
  Session s;
  s.load();
  s.setPanel(true);
  const Bytes before = s.bytes();
  const auto refused = [&](const QString& title, const QString& prompt) {
    s.log.answers = {true};
    const int count = s.log.shown.size();
    s.pressInsertModify();
    QCOMPARE(s.log.shown.size(), count + 1);  // no question asked
    QCOMPARE(s.lastMessage().title, title);
    QCOMPARE(s.lastMessage().prompt, prompt);
    QVERIFY(s.bytes() == before);
  };
  const QString changing = QStringLiteral("Changing");

  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("init")));  // the first standalone script
  refused(changing, QStringLiteral("No object to change"));

  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("timer")));  // a script without an object
  refused(changing, QStringLiteral("No object to change"));

  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Oskar")));
  s.text(8)->setText(QStringLiteral("big"));
  refused(QStringLiteral("Size"), QStringLiteral("Put numeric"));
  s.text(8)->clear();
  refused(QString(), QStringLiteral("Fill all fields"));

  s.list2()->setCurrentRow(-1);
  refused(changing, QStringLiteral("Select an object"));
}

void InsertPanelTest::dialEndPoints() {
  Session s;
  const struct {
    double v;
    LineEnd line7, line11, line12;
  } cases[] = {
      {0, {3380, 4200}, {2380, 4200}, {2880, 4050}},
      {45, {2880, 4700}, {2880, 3700}, {3030, 4200}},
      {10, {3350, 4371}, {2410, 4029}, {2931, 4059}},
      {12.5, {3333, 4411}, {2427, 3989}, {2943, 4064}},
  };
  for (const auto& c : cases) {
    s.form->DrawRotationDial(c.v);
    const auto check = [&](const char* name, LineEnd want) {
      const LineEnd got = MovingEnd(s, name);
      QVERIFY2(
          got.x == want.x && got.y == want.y,
          qPrintable(QStringLiteral("%1 at %2: %3/%4").arg(name).arg(c.v).arg(got.x).arg(got.y)));
    };
    check("Line7", c.line7);
    check("Line11", c.line11);
    check("Line12", c.line12);
    // The fixed ends stay at the centre.
    const auto* line7 = s.get<DialFigure>(QStringLiteral("Line7"));
    QVERIFY(line7->x2() == 2880 && line7->y2() == 4200);
  }
}

void InsertPanelTest::drawRotationDialRoundsTheSliderOnly() {
  Session s;
  s.load();
  const int row = s.list2()->currentRow();
  QVERIFY(row >= 0);
  auto& state = s.form->state();
  state.CurrentRotationA = 0.25f;
  const float rowA = state.EntryRotationA[row];
  const std::initializer_list<std::pair<double, int>> cases = {
      {12.5, 12}, {13.5, 14}, {-0.5, 0}, {200.0, 90}};
  for (const auto& [angle, slider] : cases) {
    s.form->DrawRotationDial(angle);
    QCOMPARE(s.slider()->value(), slider);
  }
  QCOMPARE(state.CurrentRotationA, 0.25f);
  QCOMPARE(state.EntryRotationA[row], rowA);
}

void InsertPanelTest::sliderClickStoresForRowAndAsCurrent() {
  Session s;
  s.load();
  s.setPanel(true);
  const int vel = s.rowOf(QStringLiteral("Vel"));
  s.list2()->setCurrentRow(vel);
  s.slider()->setValue(44);
  s.slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // a key press: 45
  QTRY_COMPARE(s.form->state().CurrentRotationA, 0.70710677f);
  QCOMPARE(s.form->state().CurrentRotationC, 0.70710677f);
  QCOMPARE(MovingEnd(s, "Line12").x, 3030);
  const auto reshown = [&] {  // the row shown again shows what the slider set for it
    s.list2()->setCurrentRow(0);
    s.list2()->setCurrentRow(vel);
    return s.slider()->value();
  };
  QCOMPARE(reshown(), 45);

  s.slider()->setValue(90);
  s.form->Slider1_Click();
  QCOMPARE(reshown(), 90);
  QCOMPARE(s.form->state().EntryRotationC[vel], 6.123234e-17f);
}

void InsertPanelTest::sliderClickWithoutRowStoresOnlyCurrent() {
  Session s;
  s.load();
  s.setPanel(true);
  s.list2()->setCurrentRow(-1);
  QCOMPARE(s.list2()->currentRow(), -1);
  const auto rotationsA = [&] {
    std::vector<float> a;
    for (int row = 0; row < s.list2()->count(); ++row)
      a.push_back(s.form->state().EntryRotationA[row]);
    return a;
  };
  const std::vector<float> untouched = rotationsA();
  s.slider()->setValue(30);
  s.form->Slider1_Click();
  QCOMPARE(s.form->state().CurrentRotationA, 0.5f);
  QCOMPARE(s.form->state().CurrentRotationC, 0.8660254f);
  QVERIFY(rotationsA() == untouched);
  QCOMPARE(MovingEnd(s, "Line12").x, 2880 + 130);
}

QTEST_MAIN(InsertPanelTest)
#include "insert_panel_test.moc"
