// The script text box keeps scene text byte for byte, counts what saving writes, and gives typed
// or pasted lines sensible line ends.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextCursor>
#include <string>

#include "ui/byte_text_edit.h"

using quorvex::ui::ByteTextEdit;

class ByteTextEditTest : public QObject {
  Q_OBJECT

 private:
  static std::string AllBytesWithMixedBreaks() {
    std::string text = "line1\r\nline2\rline3\nline4\r\n\r\r\n\n\tend";
    for (int b = 0; b < 256; ++b) text.push_back(static_cast<char>(b));
    text += "\r\n\r";  // ends with a line end, then a lone CR
    return text;
  }

 private slots:
  void keepsEveryByteAndCountsThem() {
    ByteTextEdit edit;
    const std::string text = AllBytesWithMixedBreaks();
    int changes = 0;
    connect(&edit, &ByteTextEdit::textChanged, [&] { ++changes; });
    edit.setBytes(text);
    QCOMPARE(changes, 1);
    const auto encoded = edit.encodedBytes();
    QVERIFY(!encoded.unencodable);
    QCOMPARE(encoded.bytes, text);
    QCOMPARE(edit.byteCount(), static_cast<std::int64_t>(text.size()));

    edit.setBytes("");
    QCOMPARE(edit.encodedBytes().bytes, std::string());
    QCOMPARE(edit.byteCount(), 0);
  }

  void enterKeepsTheLineEndOfTheEditedLine() {
    ByteTextEdit edit;
    edit.setBytes("ab\rcd\r\nef");  // one CR, one CR LF: new lines take CR LF
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);  // a|b
    edit.setTextCursor(cursor);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.encodedBytes().bytes, std::string("a\r\nb\rcd\r\nef"));
    QCOMPARE(edit.byteCount(), 11);

    // Shift+Enter gives the same line end.
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(edit.encodedBytes().bytes, std::string("a\r\n\r\nb\rcd\r\nef"));
    QCOMPARE(edit.byteCount(), 13);
  }

  void newLinesTakeTheTextsMostCommonLineEnd() {
    ByteTextEdit edit;
    edit.setBytes("a\nb\nc\r\nd");
    QCOMPARE(edit.defaultBreak(), quorvex::ui::LineBreak::Lf);
    QTextCursor cursor = edit.textCursor();
    cursor.movePosition(QTextCursor::End);
    edit.setTextCursor(cursor);
    QTest::keyClick(&edit, Qt::Key_Enter);
    QTest::keyClicks(&edit, "e");
    QCOMPARE(edit.encodedBytes().bytes, std::string("a\nb\nc\r\nd\ne"));
  }

  void joiningLinesKeepsTheLaterLineEnd() {
    ByteTextEdit edit;
    edit.setBytes("a\r\nb\rc");
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);
    cursor.deleteChar();  // joins "a" and "b"
    QCOMPARE(edit.encodedBytes().bytes, std::string("ab\rc"));
    QCOMPARE(edit.byteCount(), 4);
  }

  void pastedLinesKeepTheClosingLineEnd() {
    ByteTextEdit edit;
    edit.setBytes("xy\rz\r\nw\r\n");  // mostly CR LF
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);
    edit.setTextCursor(cursor);
    QApplication::clipboard()->setText(QStringLiteral("1\n2\r\n3"));
    edit.paste();
    QCOMPARE(edit.encodedBytes().bytes, std::string("x1\r\n2\r\n3y\rz\r\nw\r\n"));
  }

  void charactersOutsideTheCodePageAreReported() {
    ByteTextEdit edit;
    edit.setBytes("ok \x80");  // the euro sign is byte 0x80
    QCOMPARE(edit.toPlainText(), QStringLiteral("ok \u20AC"));
    QTextCursor cursor = edit.textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\u0142"));  // not in the code page
    const auto encoded = edit.encodedBytes();
    QVERIFY(encoded.unencodable);
    QCOMPARE(*encoded.unencodable, QStringLiteral("\u0142"));
  }

  // Undo and redo bring back each line's own line end, whatever the edit did to the lines.
  void undoAndRedoKeepEachLinesLineEnd_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("edited");
    QTest::newRow("enter") << 0 << QByteArray("a\r\nb\rc\nd\r\ne");
    QTest::newRow("join") << 1 << QByteArray("abc\nd\r\ne");
    QTest::newRow("paste") << 2 << QByteArray("a1\r\n2\r\n3b\rc\nd\r\ne");
    QTest::newRow("delete across lines") << 3 << QByteArray("ad\r\ne");
  }
  void undoAndRedoKeepEachLinesLineEnd() {
    QFETCH(int, action);
    QFETCH(QByteArray, edited);
    const std::string loaded = "ab\rc\nd\r\ne";  // one of each; new lines take CR LF
    ByteTextEdit edit;
    edit.setBytes(loaded);
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);
    edit.setTextCursor(cursor);
    switch (action) {
      case 0:
        QTest::keyClick(&edit, Qt::Key_Return);
        break;
      case 1:
        cursor.movePosition(QTextCursor::EndOfLine);
        edit.setTextCursor(cursor);
        QTest::keyClick(&edit, Qt::Key_Delete);
        break;
      case 2:
        QApplication::clipboard()->setText(QStringLiteral("1\n2\n3"));
        edit.paste();
        break;
      default:
        cursor.setPosition(5, QTextCursor::KeepAnchor);  // "b", "c" and two line ends
        edit.setTextCursor(cursor);
        QTest::keyClick(&edit, Qt::Key_Delete);
        break;
    }
    QCOMPARE(edit.encodedBytes().bytes, edited.toStdString());
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.encodedBytes().bytes, loaded);
    QCOMPARE(edit.byteCount(), static_cast<std::int64_t>(loaded.size()));
    edit.redo();
    QCOMPARE(edit.encodedBytes().bytes, edited.toStdString());
    edit.undo();
    QCOMPARE(edit.encodedBytes().bytes, loaded);
  }

  void byteOffsetsMapToCursorPositions() {
    ByteTextEdit edit;
    edit.setBytes("ab\r\ncd\ne");
    QCOMPARE(edit.positionForByteOffset(0), 0);
    QCOMPARE(edit.positionForByteOffset(2), 2);  // at the line end
    QCOMPARE(edit.positionForByteOffset(4), 3);  // "c"
    QCOMPARE(edit.positionForByteOffset(7), 6);  // "e"
    QCOMPARE(edit.positionForByteOffset(8), 7);  // the end
    QCOMPARE(edit.positionForByteOffset(99), 7);
  }
};

QTEST_MAIN(ByteTextEditTest)
#include "byte_text_edit_test.moc"
