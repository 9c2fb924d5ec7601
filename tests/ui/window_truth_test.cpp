// After every action the window agrees with the file and with what the user chose: its own writes
// (also those that replace the file) leave the next action working and match quorvex-cli byte for
// byte, another program's edit is refused, and the unsaved-edit question keeps the user's intent.
#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "scene/object_params.h"
#include "support/cli_runner.h"
#include "support/failing_file_system.h"
#include "ui/byte_text_edit.h"
#include "ui/script_edit.h"
#include "window_session.h"

using quorvex::Bytes;
using quorvex::testing::SceneSpec;
using quorvex::ui::ByteTextEdit;
using quorvex::ui::ScriptEdit;
using quorvex::ui::testing::kSaved;
using quorvex::ui::testing::Session;

namespace {

// Ten posts with definitions, eight standalone scripts of 8000 bytes (more than a page each) and a
// filler header chunk that puts the ten values of "Post3" across a 4 KiB page boundary.
SceneSpec LargeSpec(std::size_t filler) {
  SceneSpec spec;
  spec.headerChunks = quorvex::testing::DefaultHeaderChunks();
  spec.headerChunks.push_back(quorvex::testing::Chunk(0x1111, Bytes(filler, 'x')));
  for (int i = 0; i < 10; ++i) {
    quorvex::testing::SceneObject post;
    post.name = "Post" + std::to_string(i);
    post.model = "post.i3d";
    spec.objects.push_back(post);
    spec.definitions.emplace_back().name = post.name;
    spec.definitions.back().script = "wait " + std::to_string(i) + "\r\nend\r\n";
  }
  for (int i = 0; i < 8; ++i) {
    std::string text;
    while (text.size() < 8000) text += "setflt " + std::to_string(text.size()) + ", 1\r\n";
    text.resize(8000);
    spec.scripts.push_back({"long" + std::to_string(i), text});
  }
  return spec;
}

SceneSpec StraddlingSpec() {
  const auto post3 = [](const SceneSpec& spec) {
    const Bytes bytes = quorvex::testing::BuildScene(spec);
    return quorvex::ScanObjectParameters(quorvex::SceneImage(bytes), {"Post3"})
        ->matches.at(0)
        .translationPos;
  };
  const quorvex::Pos p = post3(LargeSpec(0));
  const auto filler = static_cast<std::size_t>((4096 - 20 - (p - 1) % 4096 + 4096) % 4096);
  SceneSpec spec = LargeSpec(filler);
  if ((post3(spec) - 1) % 4096 != 4096 - 20) qFatal("the filler does not move Post3");
  return spec;
}

// Shows the row and edits its script: the first character replaced, or "//" put before it.
void EditRow(Session& s, const char* row, bool sameLength) {
  s.list2()->setCurrentRow(s.rowOf(QString::fromLatin1(row)));
  s.editScript(0, sameLength ? 1 : 0, sameLength ? QStringLiteral("Z") : QStringLiteral("//"));
}

bool Warned(const Session& s) {
  return std::any_of(s.log.shown.begin(), s.log.shown.end(),
                     [](const auto& m) { return m.warning; });
}

}  // namespace

class WindowTruthTest : public QObject {
  Q_OBJECT

 private slots:
  void ownWritesInARowMatchTheCommandLine();
  void anotherProgramsEditIsRefused();
  void yesOnInsertSavesAndInserts();
  void aSaveInModelsModeLeavesNothingUnsaved();
  void cancelKeepsTheListOnTheEditedRow_data();
  void cancelKeepsTheListOnTheEditedRow();
  void theScriptBoxShowsAndCopiesTheScriptAsItIs();
  void aReplacementThePowerCouldUndoIsSaid();
};

// Save (one character of an 8000-byte script: through a replacement), insert, and modify (ten
// values across a page boundary: through a replacement), twice; the overview is rebuilt after
// each save and the object scan reopens the scene, so any stale identity shows as a warning.
void WindowTruthTest::ownWritesInARowMatchTheCommandLine() {
  Session s(StraddlingSpec());
  QVERIFY(s.bytes().size() >= 64 * 1024);
  const QTemporaryDir scratch;
  const std::filesystem::path dir = scratch.path().toStdString();
  const std::string cli = (dir / "cli.bin").string(), text = (dir / "text").string();
  quorvex::testing::WriteFile(cli, s.bytes());
  const auto sameAsCli = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, cli);
    const auto result = quorvex::testing::RunCli(args);
    return s.status()->text() == kSaved && result.status == 0 &&
           s.bytes() == quorvex::testing::ReadFile(cli);
  };
  s.load();
  for (int round = 0; round < 2; ++round) {
    const std::string n = std::to_string(round);
    s.setPanel(false);
    const int script = s.rowOf(QStringLiteral("long%1").arg(round));
    s.list2()->setCurrentRow(script);
    s.editScript(4000, 1, QStringLiteral("Q"));
    quorvex::testing::WriteFile(text, quorvex::testing::ToBytes(s.script()->encodedBytes().bytes));
    s.form->Save_Click();
    QVERIFY(sameAsCli({"save-script", std::to_string(script), text}));

    s.setPanel(true);
    s.option(5)->click();
    s.fill(QStringLiteral("Man%1").arg(round), {"1.5", "0", "-2.25", "1", "1", "1"});
    s.slider()->setValue(30);
    s.form->Slider1_Click();
    s.pressInsertModify();
    s.form->Timer1_Timer();
    QVERIFY(sameAsCli({"insert", "--name", "Man" + n, "--category", "male", "--translation",
                       "1.5,0,-2.25", "--size", "1,1,1", "--rotation", "30", "--model",
                       "Enemy12K.i3d"}));

    const int post = s.rowOf(QStringLiteral("Post3"));
    s.list2()->setCurrentRow(post);
    for (int i = 5; i <= 10; ++i) s.text(i)->setText(QString::number(round + 1));
    s.log.answers.push_back(true);
    s.pressInsertModify();
    const std::string one = std::to_string(round + 1), w = one + "," + one + "," + one;
    QVERIFY(sameAsCli({"modify", std::to_string(post), "--translation", w, "--size", w}));
  }
  QVERIFY2(!Warned(s), qPrintable(s.lastMessage().prompt));
}

// One byte of another row's script changes without a change of length; then Save refuses and asks
// for "Start", and the file keeps the other program's bytes only.
void WindowTruthTest::anotherProgramsEditIsRefused() {
  Session s;
  s.load();
  EditRow(s, "Brenna", true);
  Bytes edited = s.bytes();
  const std::string other = "use_obj";  // in Oskar's script
  *std::search(edited.begin(), edited.end(), other.begin(), other.end()) = 'U';
  quorvex::testing::WriteFile(s.path.toStdString(), edited);
  const std::filesystem::path path = s.path.toStdString();
  std::filesystem::last_write_time(
      path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
  s.form->Save_Click();
  QVERIFY(s.status()->text() != kSaved);
  QVERIFY(s.lastMessage().warning);
  QVERIFY2(s.lastMessage().prompt.contains(QStringLiteral("press \"Start\"")),
           qPrintable(s.lastMessage().prompt));
  QVERIFY(s.bytes() == edited);
}

// A length-changing edit, then a new object, then Yes: the script is saved and the object typed is
// inserted.
void WindowTruthTest::yesOnInsertSavesAndInserts() {
  Session s;
  s.load();
  EditRow(s, "Brenna", false);
  const quorvex::ByteString saved = s.script()->encodedBytes().bytes;
  s.setPanel(true);
  s.option(5)->click();
  s.fill(QStringLiteral("Man79"), {"1", "2", "3", "1", "1", "1"});
  s.log.choices.push_back(quorvex::ui::Answer::Yes);
  s.pressInsertModify();
  s.form->Timer1_Timer();
  QCOMPARE(s.status()->text(), kSaved);
  QVERIFY(s.rowOf(QStringLiteral("Man79")) >= 0);
  QCOMPARE(s.list2()->currentRow(), s.rowOf(QStringLiteral("Man79")));
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Brenna")));
  QVERIFY(s.script()->encodedBytes().bytes == saved);
}

// Models mode with auto refresh: the listing after the save writes "Ready" into the status, yet
// the edit is saved: another row asks nothing, and Yes on closing closes.
void WindowTruthTest::aSaveInModelsModeLeavesNothingUnsaved() {
  Session s;
  s.option(2)->click();
  s.load();
  EditRow(s, "Brenna", true);
  s.get<QPushButton>(QStringLiteral("Save"))->click();
  const int questions = static_cast<int>(s.log.shown.size());
  s.list2()->setCurrentRow(s.rowOf(QStringLiteral("Oskar")));
  QCOMPARE(static_cast<int>(s.log.shown.size()), questions);

  EditRow(s, "Brenna", false);
  s.log.choices.push_back(quorvex::ui::Answer::Yes);
  s.form->show();
  QVERIFY(s.form->close());
}

void WindowTruthTest::cancelKeepsTheListOnTheEditedRow_data() {
  QTest::addColumn<bool>("byMouse");
  QTest::newRow("click") << true;
  QTest::newRow("down arrow") << false;
}

// Cancel after another row was chosen: the list shows the row whose edited text the box holds.
void WindowTruthTest::cancelKeepsTheListOnTheEditedRow() {
  QFETCH(bool, byMouse);
  Session s;
  s.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
  s.load();
  const int row = s.rowOf(QStringLiteral("Brenna"));
  EditRow(s, "Brenna", false);
  if (byMouse) {
    const QRect next = s.list2()->visualItemRect(s.list2()->item(row + 1));
    QTest::mouseClick(s.list2()->viewport(), Qt::LeftButton, {}, next.center());
  } else {
    s.list2()->setFocus();
    QTest::keyClick(s.list2(), Qt::Key_Down);
  }
  QCoreApplication::processEvents();
  QCOMPARE(s.list2()->currentRow(), row);
  QCOMPARE(s.list2()->selectedItems(), QList<QListWidgetItem*>{s.list2()->item(row)});
}

// The gutter follows the number of digits when a longer script is loaded, and a copy keeps the
// script's own line ends.
void WindowTruthTest::theScriptBoxShowsAndCopiesTheScriptAsItIs() {
  ScriptEdit box;
  box.resize(300, 200);
  box.show();
  box.setBytes("a\r\nb\r\n");
  box.setBytes("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\nlast");
  QCOMPARE(box.viewport()->geometry().left(), box.lineNumberAreaWidth() + box.frameWidth());
  box.selectAll();
  box.copy();
  QCOMPARE(QGuiApplication::clipboard()->text(),
           QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\nlast"));
}

QTEST_MAIN(WindowTruthTest)
// A save and an insertion that replace the scene in a folder that cannot be flushed afterwards:
// each is written, said to be saved, and the user is told what a power loss could undo.
void WindowTruthTest::aReplacementThePowerCouldUndoIsSaid() {
  Session s;
  quorvex::testing::FailingFileSystem files;
  files.failFolderFlush();
  s.form->setFileSystem(files);
  s.load();
  const auto saidSavedAndWarned = [&] {
    return s.status()->text() == kSaved && s.lastMessage().warning &&
           s.lastMessage().prompt.contains(QStringLiteral("power loss"));
  };
  EditRow(s, "Brenna", false);
  s.form->Save_Click();
  s.form->Timer1_Timer();
  const Bytes after = s.bytes();
  const std::string edited = "//// Brenna";
  QVERIFY(saidSavedAndWarned() &&
          std::search(after.begin(), after.end(), edited.begin(), edited.end()) != after.end());
  s.log.shown.clear();
  s.setPanel(true);
  s.option(5)->click();
  s.fill(QStringLiteral("Man80"), {"1", "2", "3", "1", "1", "1"});
  s.pressInsertModify();
  s.form->Timer1_Timer();
  QVERIFY(saidSavedAndWarned() && s.rowOf(QStringLiteral("Man80")) >= 0);
}

#include "window_truth_test.moc"
