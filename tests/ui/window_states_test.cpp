// What the window shows after loads and writes, and which file it reads and writes: the loaded
// scene, and nothing else.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "ui/byte_text_edit.h"
#include "ui/overview_view.h"
#include "window_session.h"

using quorvex::Bytes;
using quorvex::testing::SceneSpec;
using quorvex::ui::ByteTextEdit;
using quorvex::ui::OverviewView;
using quorvex::ui::testing::kSaved;
using quorvex::ui::testing::Session;

namespace {

// Ten watch posts, each an object with a definition (the first without a script) and a model,
// then two standalone scripts. Post i stands at x = 10 + i.
SceneSpec WatchSpec() {
  SceneSpec spec;
  spec.headerChunks = quorvex::testing::DefaultHeaderChunks();
  for (int i = 0; i < 10; ++i) {
    quorvex::testing::SceneObject post;
    post.name = "Watch" + std::to_string(i);
    post.translation[0] = 10.0f + static_cast<float>(i);
    post.model = "watch" + std::to_string(i) + ".i3d";
    spec.objects.push_back(post);
    quorvex::testing::Definition definition;
    definition.name = post.name;
    if (i > 0) definition.script = "wait " + std::to_string(i) + "00\r\nend\r\n";
    spec.definitions.push_back(definition);
  }
  spec.scripts = {{"opening", "setflt 0, 1\r\nend\r\n"}, {"closing", "end\r\n"}};
  return spec;
}

bool ShowActive(Session& s) {
  s.form->show();
  s.form->activateWindow();
  return QTest::qWaitForWindowActive(s.form.get());
}

}  // namespace

class WindowStatesTest : public QObject {
  Q_OBJECT

 private slots:
  void everySuccessfulWriteEndsSaved();
  void aFailedLoadLeavesNeitherWorkingNorACount();
  void writesAndReadsGoOnlyToTheLoadedScene();
  void theInsertPanelShowsTheLoadedScenesObjects();
  void theNewRowIsInViewAndNoRowIsCovered();
  void nothingShowsThroughTheInsertPanel();
  void rowsShowBeforeTheOverviewIsBuilt();
  void theScanWaitsForARunningListing();
  void theScanHandsOutEventsWhileNothingCanActOnTheScene();
};

void WindowStatesTest::everySuccessfulWriteEndsSaved() {
  // Row 0 has no script: a reload shows it on its way to the row that was written.
  const struct {
    const char* name;
    std::function<void(Session&)> write;
  } cases[] = {
      {"insert of an object with a script, clicked",
       [](Session& s) {
         s.setPanel(true);
         s.option(3)->click();
         s.fill(QStringLiteral("Kestrel"), {"1", "2", "3", "1", "1", "1"});
         QTest::mouseClick(s.get<QPushButton>(QStringLiteral("Command5")), Qt::LeftButton);
         s.form->Timer1_Timer();
       }},
      {"longer save",
       [](Session& s) {
         s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Watch1")));
         s.typeAtEnd(QStringLiteral("end\r\n"));
         s.get<QPushButton>(QStringLiteral("Save"))->click();
         s.form->Timer1_Timer();
       }},
      {"modify",
       [](Session& s) {
         s.setPanel(true);
         s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Watch1")));
         s.text(5)->setText(QStringLiteral("20"));
         s.log.answers = {true};
         s.pressInsertModify();
       }},
  };
  for (const auto& c : cases) {
    Session s(WatchSpec());
    QVERIFY(ShowActive(s));
    s.load();
    c.write(s);
    for (const auto& shown : s.log.shown) QVERIFY2(!shown.warning, qPrintable(shown.prompt));
    QVERIFY2(s.status()->text() == kSaved, c.name);
    QVERIFY2(s.status()->palette().color(QPalette::Text) == QColor(0, 128, 0), c.name);
  }
}

void WindowStatesTest::aFailedLoadLeavesNeitherWorkingNorACount() {
  SceneSpec tooMany;
  tooMany.headerChunks = quorvex::testing::DefaultHeaderChunks();
  for (int i = 0; i <= quorvex::kMaxRows; ++i)
    tooMany.scripts.push_back({"s" + std::to_string(i), "x"});
  SceneSpec many = tooMany;
  many.scripts.resize(300);
  Bytes truncated = quorvex::testing::BuildScene(many);
  truncated.resize(truncated.size() - 3);  // the last script's text runs past the end
  const Bytes garbage = {'G', 'A', 'R', 'B', 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y'};
  // A scene refused as damaged says where its chunk tree goes wrong, as the command line does.
  const struct {
    const char* name;
    Bytes bytes;
    bool damageFinding;
  } cases[] = {{"too many rows", quorvex::testing::BuildScene(tooMany), false},
               {"truncated", truncated, true},
               {"garbage", garbage, true}};
  for (const auto& c : cases) {
    Session s;
    s.load();
    quorvex::testing::WriteFile(s.path.toStdString(), c.bytes);
    s.load();
    QVERIFY2(s.log.shown.size() == 1 && s.lastMessage().warning, c.name);
    QVERIFY2(
        s.lastMessage().prompt.contains(QStringLiteral("Chunk check: damaged")) == c.damageFinding,
        qPrintable(s.lastMessage().prompt));
    QVERIFY2(s.status()->text().isEmpty(), qPrintable(s.status()->text()));
    QVERIFY2(s.form->Text2(1)->text().isEmpty(), qPrintable(s.form->Text2(1)->text()));
    QCOMPARE(s.list2()->count(), 0);
    QVERIFY(!s.form->state().Scene.loaded());
  }
}

void WindowStatesTest::writesAndReadsGoOnlyToTheLoadedScene() {
  for (const bool replaced : {false, true}) {
    Session s(WatchSpec());
    s.load();
    s.setPanel(true);
    s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Watch1")));
    s.typeAtEnd(QStringLiteral("x"));
    s.text(5)->setText(QStringLiteral("20"));
    const Bytes original = s.bytes();
    QString other;
    if (replaced) {
      // Another file with the same content takes the loaded scene's place.
      other = s.path;
      const QString copy = s.path + QStringLiteral(".copy");
      QVERIFY(QFile::copy(s.path, copy));
      std::filesystem::rename(copy.toStdString(), s.path.toStdString());
    } else {
      // An identical backup in another folder is selected.
      QVERIFY(QDir(s.dir.path()).mkpath(QStringLiteral("backup")));
      other = s.dir.filePath(QStringLiteral("backup/scene2.bin"));
      QVERIFY(QFile::copy(s.path, other));
      s.log.choices = {
          quorvex::ui::Answer::No};  // the unsaved edit is dropped, the other file stays selected
      QVERIFY(s.form->selectScene(other));
    }
    const auto warnings = [&] {
      return std::count_if(s.log.shown.begin(), s.log.shown.end(),
                           [](const quorvex::ui::testing::Shown& shown) { return shown.warning; });
    };
    const auto refused = [&](const char* what, const std::function<void()>& press) {
      const auto before = warnings();
      s.log.answers = {true};
      s.log.choices = {
          quorvex::ui::Answer::No};  // a step that asks about the unsaved edit drops it
      press();
      QVERIFY2(warnings() == before + 1 && s.lastMessage().warning, what);
      QVERIFY2(s.lastMessage().prompt.contains(replaced ? QStringLiteral("changed on disk")
                                                        : QDir::toNativeSeparators(s.path)),
               qPrintable(s.lastMessage().prompt));
    };
    refused("save", [&] { s.get<QPushButton>(QStringLiteral("Save"))->click(); });
    refused("modify", [&] { s.pressInsertModify(); });
    refused("insert", [&] {
      s.option(5)->click();
      s.fill(QStringLiteral("Kestrel"), {"1", "2", "3", "1", "1", "1"});
      s.pressInsertModify();
    });
    QVERIFY(s.bytes() == original);
    QVERIFY(quorvex::testing::ReadFile(other.toStdString()) == original);
    QVERIFY(s.status()->text() != kSaved);
    if (replaced) {
      refused("row click", [&] { s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Watch2"))); });
      QVERIFY(s.form->Text2(0)->text().isEmpty());
    }
  }
}

void WindowStatesTest::theInsertPanelShowsTheLoadedScenesObjects() {
  Session s(WatchSpec());
  SceneSpec other = WatchSpec();
  for (auto& object : other.objects) object.translation[0] += 100;
  const QString otherPath = s.dir.filePath(QStringLiteral("other.bin"));
  quorvex::testing::WriteFile(otherPath.toStdString(), quorvex::testing::BuildScene(other));
  s.load();
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Watch1")));
  QVERIFY(s.form->selectScene(otherPath));  // the browser moves on; the loaded scene stays
  s.setPanel(true);
  QCOMPARE(s.text(5)->text(), QStringLiteral("11"));

  // "others" writes no model: its row shows none, not the model of the category chosen before.
  QVERIFY(s.form->selectScene(s.path));
  s.option(5)->click();
  QVERIFY(!s.text(11)->text().isEmpty());
  s.option(10)->click();
  s.fill(QStringLiteral("Kestrel"), {"1", "2", "3", "1", "1", "1"});
  s.pressInsertModify();
  s.form->Timer1_Timer();
  QCOMPARE(s.list2()->currentItem()->text(), QStringLiteral("Kestrel"));
  QCOMPARE(s.text(11)->text(), QString());
}

void WindowStatesTest::theNewRowIsInViewAndNoRowIsCovered() {
  Session s(WatchSpec());
  QVERIFY(ShowActive(s));
  s.load();
  QListWidget* list = s.list2();
  const QWidget* script = s.get<QWidget>(QStringLiteral("Text1"));
  QVERIFY(list->geometry().bottom() < script->geometry().top());
  QCOMPARE(list->viewport()->height() % list->sizeHintForRow(0), 0);  // whole rows only

  s.setPanel(true);
  s.option(5)->click();
  s.fill(QStringLiteral("Kestrel"), {"1", "2", "3", "1", "1", "1"});
  QTest::mouseClick(s.get<QPushButton>(QStringLiteral("Command5")), Qt::LeftButton);
  s.form->Timer1_Timer();
  QCOMPARE(list->currentItem()->text(), QStringLiteral("Kestrel"));
  QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->currentItem())));
}

void WindowStatesTest::nothingShowsThroughTheInsertPanel() {
  Session s;
  s.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
  s.setPanel(true);
  // The model list lies in the same area, under the panel: the panel's background must be the
  // same above and below the list's lower edge (which crossed the model box and its label).
  const QImage picture = s.form->grab().toImage();
  const QRect panel = s.get<QWidget>(QStringLiteral("Frame1"))->geometry();
  const QRect models = s.get<QWidget>(QStringLiteral("List1"))->geometry();
  const int x = panel.left() + 5;
  QVERIFY(models.bottom() + 10 < panel.bottom());
  QCOMPARE(picture.pixelColor(x, models.bottom() - 10),
           picture.pixelColor(x, models.bottom() + 10));
}

void WindowStatesTest::rowsShowBeforeTheOverviewIsBuilt() {
  Session s;
  s.load();
  QVERIFY(s.list2()->count() > 0);
  QVERIFY(!s.get<ByteTextEdit>(QStringLiteral("Text1"))->encodedBytes().bytes.empty());
  QVERIFY(s.overview()->bytes().empty());
  QTRY_VERIFY(!s.overview()->bytes().empty());
}

void WindowStatesTest::theScanWaitsForARunningListing() {
  Session s;
  s.form->Command2_Click();
  s.form->state().Busy = true;  // as while the model listing hands out events
  s.form->Timer1_Timer();
  QCOMPARE(s.list2()->count(), 0);
  QVERIFY(s.form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
  s.form->state().Busy = false;
  s.form->Timer1_Timer();
  QVERIFY(s.list2()->count() > 0);
}

void WindowStatesTest::theScanHandsOutEventsWhileNothingCanActOnTheScene() {
  Session s;
  s.form->Command2_Click();
  // Due at once: handled while the scan runs, before its rows are written.
  bool handled = false;
  QTimer::singleShot(0, s.form.get(), [&] {
    handled = true;
    QVERIFY(s.form->state().Busy);
    QVERIFY(!s.form->state().Scene.loaded());
    s.form->Command2_Click();  // refused: it would empty the window under the scan
    s.form->Command1_Click();  // refused: no listing of a scene being read
    QVERIFY(!s.form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
  });
  s.form->Timer1_Timer();
  QVERIFY(handled);
  QVERIFY(!s.form->state().Busy);
  QCOMPARE(s.list2()->count(), s.form->state().EntryCount.value());
  QVERIFY(s.list2()->count() > 0);
}

QTEST_MAIN(WindowStatesTest)
#include "window_states_test.moc"
