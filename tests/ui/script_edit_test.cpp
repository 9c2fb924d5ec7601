// The script box's reading aids: colouring, line numbers, the current line, find and go to line.
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <string>

#include "fake_messages.h"
#include "ui/script_edit.h"
#include "ui/script_highlighter.h"

using quorvex::ui::ScriptEdit;
using quorvex::ui::ScriptHighlighter;
using quorvex::ui::testing::FakeMessages;
using quorvex::ui::testing::MessageLog;

class ScriptEditTest : public QObject {
  Q_OBJECT

 private:
  MessageLog log_;
  FakeMessages messages_{&log_};

  // The colouring of a line as one letter per character: C comment, S string, N number, '.'
  // plain.
  static QString Colouring(const ScriptEdit& edit, const QTextBlock& block) {
    QString marks(block.length() - 1, QLatin1Char('.'));
    const auto letter = [&](const QTextCharFormat& format) {
      using Kind = ScriptHighlighter::Kind;
      for (const auto& [kind, mark] : {std::pair{Kind::Comment, 'C'}, std::pair{Kind::String, 'S'},
                                       std::pair{Kind::Number, 'N'}}) {
        if (format == edit.highlighter()->format(kind)) return QLatin1Char(mark);
      }
      return QLatin1Char('?');
    };
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
      for (int i = range.start; i < range.start + range.length; ++i)
        marks[i] = letter(range.format);
    }
    return marks;
  }

  void select(ScriptEdit& edit, int from, int to) {
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
  }

 private slots:
  void init() { log_ = MessageLog{}; }

  void readingAidsLeaveTheBytesAlone() {
    std::string script = "// head\r\nsay \"hi // there\" 12\rwait -3.5\n\tend";
    for (int b = 0x80; b < 256; ++b) script.push_back(static_cast<char>(b));
    script += "\r\n";
    ScriptEdit edit;
    edit.resize(400, 300);
    edit.show();
    int changes = 0;
    connect(&edit, &ScriptEdit::textChanged, [&] { ++changes; });
    edit.setBytes(script);
    QCoreApplication::processEvents();
    QVERIFY(!edit.highlighter()->document()->firstBlock().layout()->formats().isEmpty());
    QTest::keyClick(&edit, Qt::Key_Down);  // moves the highlighted current line
    QTest::keyClick(&edit, Qt::Key_Down);
    QVERIFY(!edit.extraSelections().isEmpty());
    QVERIFY(!edit.grab().isNull());  // paints the line numbers

    QCOMPARE(changes, 1);
    QVERIFY(!edit.document()->isUndoAvailable());
    QVERIFY(!edit.document()->isModified());
    QCOMPARE(edit.encodedBytes().bytes, script);
    QCOMPARE(edit.byteCount(), static_cast<std::int64_t>(script.size()));
    QVERIFY(edit.lineNumberAreaWidth() > 0);
    QCOMPARE(edit.viewport()->x(), edit.frameWidth() + edit.lineNumberAreaWidth());
  }

  void coloursCommentsStringsAndNumbers_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("marks");
    QTest::newRow("comment") << "lamp_on 1 // wait 2"
                             << "........N.CCCCCCCCC";
    QTest::newRow("slashes in a string") << "say \"a // b\" 3"
                                         << "....SSSSSSSS.N";
    QTest::newRow("quote in a comment") << "x //\"y\""
                                        << "..CCCCC";
    QTest::newRow("open string") << "say \"abc"
                                 << "....SSSS";
    QTest::newRow("numbers stand alone") << "Enemy12K 2x -3.5 7"
                                         << ".........."
                                            "..NNNN.N";
  }
  void coloursCommentsStringsAndNumbers() {
    QFETCH(QString, line);
    QFETCH(QString, marks);
    ScriptEdit edit;
    edit.setBytes(line.toLatin1().toStdString());
    QCoreApplication::processEvents();
    QCOMPARE(Colouring(edit, edit.document()->firstBlock()), marks);
  }

  void findIgnoresLetterCaseAsTheCodePageFoldsIt() {
    ScriptEdit edit;
    edit.setMessageService(&messages_);
    // "über", "ÜBER" and "Über" in Windows-1252, "š" and "Š" as well.
    edit.setBytes(
        "\xFC"
        "ber x\r\n\xDC"
        "BER \x9A\n\x8A y \xDC"
        "ber");
    log_.texts = {QStringLiteral("\u00DCber")};
    QTest::keyClick(&edit, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(edit.textCursor().selectionStart(), 0);
    QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("\u00FCber"));
    QTest::keyClick(&edit, Qt::Key_F3);
    QCOMPARE(edit.textCursor().selectionStart(), 7);
    QTest::keyClick(&edit, Qt::Key_F3);
    QCOMPARE(edit.textCursor().selectionStart(), 18);
    QTest::keyClick(&edit, Qt::Key_F3);  // wraps round to the top
    QCOMPARE(edit.textCursor().selectionStart(), 0);

    log_.texts = {QStringLiteral("\u0160")};
    edit.find();
    QCOMPARE(edit.textCursor().selectionStart(), 12);
    QVERIFY(log_.shown.size() == 2 && log_.shown.back().title == QStringLiteral("Find"));

    // A miss says so and leaves the selection; cancelling asks nothing more.
    log_.texts = {QStringLiteral("missing")};
    edit.find();
    QCOMPARE(log_.shown.size(), 4);
    QVERIFY(log_.shown.back().prompt.contains(QStringLiteral("missing")));
    QCOMPARE(edit.textCursor().selectionStart(), 12);
    edit.find();  // no answer queued: cancelled
    QCOMPARE(log_.shown.size(), 5);
    QCOMPARE(edit.textCursor().selectionStart(), 12);
  }

  void goToLineMovesTheCursor_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("line");
    QTest::newRow("a line") << std::optional<QString>(QStringLiteral(" 3 ")) << 2;
    QTest::newRow("past the end") << std::optional<QString>(QStringLiteral("99")) << 3;
    QTest::newRow("zero") << std::optional<QString>(QStringLiteral("0")) << 0;
    QTest::newRow("not a number") << std::optional<QString>(QStringLiteral("x")) << 1;
    QTest::newRow("cancelled") << std::optional<QString>() << 1;
  }
  void goToLineMovesTheCursor() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, line);
    ScriptEdit edit;
    edit.setMessageService(&messages_);
    edit.setBytes("one\r\ntwo\rthree\nfour");
    select(edit, 5, 5);  // in line 2
    log_.texts = {answer};
    QTest::keyClick(&edit, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(edit.textCursor().blockNumber(), line);
    if (line != 1) QCOMPARE(edit.textCursor().positionInBlock(), 0);
  }
};

QTEST_MAIN(ScriptEditTest)
#include "script_edit_test.moc"
