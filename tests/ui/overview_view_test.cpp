// The overview view: its line index and cell arithmetic against plain references, and what a user
// does with it: select with mouse and keys, copy, jump to a search hit, and texts at the extremes.
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QTest>
#include <string>
#include <vector>

#include "ui/line_index.h"
#include "ui/overview_view.h"
#include "ui/scene_text.h"
#include "ui/text_cells.h"

using quorvex::ui::LineIndex;
using quorvex::ui::OverviewView;
using Range = OverviewView::ByteRange;

namespace {

struct ReferenceLine {
  std::int64_t start;
  std::int64_t contentEnd;
};

// The line rule stated plainly, one byte at a time: CR LF is one line end, any other CR or LF is
// one too.
std::vector<ReferenceLine> ReferenceLines(const std::string& text) {
  std::vector<ReferenceLine> lines{{0, 0}};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.back().contentEnd = static_cast<std::int64_t>(i);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back({static_cast<std::int64_t>(i + 1), 0});
  }
  lines.back().contentEnd = static_cast<std::int64_t>(text.size());
  return lines;
}

// `count` lines of up to 15 bytes, each ended by CR LF, CR, LF, CR CR LF or LF CR at random (so
// some lines are empty).
std::string MixedLines(int count, unsigned seed) {
  static const char* const kEnds[] = {"\r\n", "\r", "\n", "\r\r\n", "\n\r"};
  std::string text;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    text.append(static_cast<std::size_t>(seed >> 28), 'x');
    text += kEnds[(seed >> 8) % 5];
  }
  return text;
}

void CompareWithReference(const std::string& text, const LineIndex& index) {
  const std::vector<ReferenceLine> expected = ReferenceLines(text);
  QCOMPARE(index.lineCount(), static_cast<std::int64_t>(expected.size()));
  std::int64_t longest = 0;
  std::int64_t longestNumber = 0;
  for (std::size_t line = 0; line < expected.size(); ++line) {
    const auto l = static_cast<std::int64_t>(line);
    QCOMPARE(index.lineStart(text, l), expected[line].start);
    QCOMPARE(index.contentEnd(text, l), expected[line].contentEnd);
    const std::int64_t next = line + 1 < expected.size() ? expected[line + 1].start
                                                         : static_cast<std::int64_t>(text.size());
    if (next - expected[line].start > longest) {
      longest = next - expected[line].start;
      longestNumber = l;
    }
    // Every byte of the line and of its line end belongs to it.
    for (std::int64_t offset = expected[line].start; offset < next; ++offset) {
      QCOMPARE(index.lineOf(text, offset), l);
    }
  }
  QCOMPARE(index.lineOf(text, static_cast<std::int64_t>(text.size())), index.lineCount() - 1);
  QCOMPARE(index.longestLine(), longest);
  QCOMPARE(index.longestLineNumber(), longestNumber);
}

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

}  // namespace

class OverviewViewTest : public QObject {
  Q_OBJECT

 private:
  // The viewport point at the left edge of `cell` (counted from the view's first visible cell)
  // in the middle of visible row `row`.
  static QPoint At(const OverviewView& view, int row, int cell) {
    const qreal width = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('0'));
    const int height = QFontMetrics(view.font()).height();
    return QPoint(qRound(cell * width), row * height + height / 2);
  }
  static bool Shows(const OverviewView& view, std::int64_t line) {
    return line >= view.firstVisibleLine() &&
           line < view.firstVisibleLine() + view.visibleLineCount();
  }

 private slots:
  void lineIndexFollowsTheLineEndRules() {
    const std::vector<std::string> texts = {"",
                                            "a",
                                            "a\r\nb",
                                            "a\rb",
                                            "a\nb",
                                            "\r\r\n",
                                            "\n\r",
                                            "a\r",
                                            "a\r\n",
                                            "\r\n\r\n",
                                            "\r",
                                            "\n",
                                            "ab\n\r\ncd",
                                            "x\r\r\r\ny",
                                            "\r\n\n\r",
                                            std::string("a\0\r\0\n\0", 6),
                                            "\x80\xff\r\n\x81\x8d\ttab\rend",
                                            MixedLines(300, 1),
                                            MixedLines(1000, 2)};
    for (const std::string& text : texts) {
      // Indexed whole, and while it is written in pieces (a CR LF may be cut between two).
      for (const std::size_t piece : {text.size() + 1, std::size_t{1}, std::size_t{7}}) {
        LineIndex index;
        for (std::size_t written = 0; written < text.size();) {
          written = std::min(text.size(), written + piece);
          index.extend(std::string_view(text).substr(0, written));
        }
        CompareWithReference(text, index);
      }
    }
  }

  void tabsRunToTheNextStop() {
    using quorvex::ui::CellOf;
    using quorvex::ui::NearestBoundary;
    const std::string line = "ab\tc\t\tdefgh\te";
    // Bytes start at cells 0 1 | 2 (tab to 4) | 4 | 5 (to 8) | 8 (to 12) | 12..16 | 17 (to 20)
    // | 20.
    const std::vector<std::int64_t> starts = {0, 1, 2, 4, 5, 8, 12, 13, 14, 15, 16, 17, 20, 21};
    for (std::size_t i = 0; i < starts.size(); ++i) {
      QCOMPARE(CellOf(line, static_cast<std::int64_t>(i), 4), starts[i]);
    }
    // A point inside a tab goes to the nearer side of it; past the end, to the end.
    const std::vector<std::pair<std::int64_t, std::int64_t>> nearest = {
        {0, 0},  {2, 2},  {3, 2},   {4, 3},   {6, 4},   {7, 5},
        {10, 5}, {11, 6}, {18, 11}, {19, 12}, {21, 13}, {99, 13}};
    for (const auto& [cell, boundary] : nearest) {
      QCOMPARE(NearestBoundary(line, cell, 4), boundary);
    }
  }

  void selectionCopiesTheSelectedBytes() {
    OverviewView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const std::string text = std::string("ab\tcd\r\n\x80xyz\rlast\0end\n", 21);
    view.setBytes(text);

    // Click before "c" (cell 4, after the tab), Shift+click at cell 2 of the next line.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, At(view, 0, 4));
    QCOMPARE(view.cursorOffset(), 3);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, At(view, 1, 2));
    QCOMPARE(view.selectedRange(), (Range{3, 6}));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("cd\r\n\u20ACx"));

    // Dragging selects too, up to the point of release.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, At(view, 2, 1));
    QTest::mouseMove(view.viewport(), At(view, 2, 4));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, At(view, 2, 4));
    QCOMPARE(view.selectedBytes(), std::string_view("ast"));

    // The caret steps over a CR LF as one position, never between its two bytes.
    view.selectRange(5, 0);  // end of the first line
    QTest::keyClick(&view, Qt::Key_Right);
    QCOMPARE(view.cursorOffset(), 7);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(view.selectedBytes(), std::string_view("\r\n"));
    // Down keeps the cell: from after "ab<tab>" (cell 4) to cell 4 of "\x80xyz".
    view.selectRange(3, 0);
    QTest::keyClick(&view, Qt::Key_Down);
    QCOMPARE(view.cursorOffset(), 11);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.selectedBytes(), std::string_view("\rlast", 5));

    // Everything, NUL and all, copied as one character per byte.
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedBytes(), std::string_view(text));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), quorvex::ui::FromSceneBytes(text));
  }

  void caretStaysOnCharacterBoundaries() {
    // Any sequence of keys and clicks leaves the caret inside the text and never between the CR
    // and the LF of a line end.
    const std::vector<std::string> texts = {"", "\r\n", "a\r\r\nb\n\rc\r\n", "\t\tx\r\n\r\n\ty\r",
                                            Lines(50) + "\tend"};
    const std::vector<int> keys = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
    const std::vector<Qt::KeyboardModifiers> modifiers = {Qt::NoModifier, Qt::ShiftModifier,
                                                          Qt::ControlModifier,
                                                          Qt::ShiftModifier | Qt::ControlModifier};
    OverviewView view;
    view.resize(200, 120);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::size_t bound) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<std::size_t>((seed >> 8) % bound);
    };
    for (const std::string& text : texts) {
      view.setBytes(text);
      for (int step = 0; step < 400; ++step) {
        if (next(5) == 0) {
          const QPoint point(static_cast<int>(next(260)) - 30, static_cast<int>(next(180)) - 30);
          QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers[next(2)], point);
        } else {
          QTest::keyClick(&view, static_cast<Qt::Key>(keys[next(keys.size())]),
                          modifiers[next(modifiers.size())]);
        }
        const std::int64_t at = view.cursorOffset();
        QVERIFY(at >= 0 && at <= static_cast<std::int64_t>(text.size()));
        const auto i = static_cast<std::size_t>(at);
        QVERIFY2(!(i > 0 && i < text.size() && text[i - 1] == '\r' && text[i] == '\n'),
                 qPrintable(QStringLiteral("caret at %1").arg(at)));
        const Range range = view.selectedRange();
        QVERIFY(range.offset >= 0 &&
                range.offset + range.length <= static_cast<std::int64_t>(text.size()));
      }
    }
  }

  void selectRangeBringsTheRangeIntoView() {
    std::string text = Lines(2000);
    const auto wideLine = static_cast<std::int64_t>(text.size());
    text += std::string(3000, 'w') + "\r\n";
    const auto tabLine = static_cast<std::int64_t>(text.size());
    text += std::string(1000, '\t') + "hit\r\n";  // 4000 cells in fewer bytes than the wide line
    text += Lines(100);
    OverviewView view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setBytes(text);
    QCOMPARE(view.lineCount(), 2103);

    const auto lineStart = [&](int line) { return static_cast<std::int64_t>(Lines(line).size()); };
    view.selectRange(lineStart(1500) + 2, 4);
    QVERIFY(Shows(view, 1500));
    QCOMPARE(view.selectedRange(), (Range{lineStart(1500) + 2, 4}));
    QCOMPARE(view.selectedBytes(), std::string_view("ne 1"));
    view.selectRange(lineStart(3), 1);
    QVERIFY(Shows(view, 3));

    // Far to the right: the cells of the hit are scrolled into view.
    view.selectRange(wideLine + 2500, 10);
    QVERIFY(Shows(view, 2000));
    QVERIFY(view.firstVisibleCell() <= 2500);
    QVERIFY(view.firstVisibleCell() + view.visibleCellCount() > 2500);
    // A line made wide by tabs is reachable although the index measured only the longest line.
    view.selectRange(tabLine + 1000, 3);
    QVERIFY(Shows(view, 2001));
    QVERIFY(view.firstVisibleCell() <= 4000);
    QVERIFY(view.firstVisibleCell() + view.visibleCellCount() >= 4003);

    // The keys reach both ends.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.cursorOffset(), static_cast<std::int64_t>(text.size()));
    QVERIFY(Shows(view, view.lineCount() - 1));
    QTest::keyClick(&view, Qt::Key_PageUp);
    QVERIFY(view.firstVisibleLine() < view.lineCount() - view.visibleLineCount());
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view.cursorOffset(), 0);
    QCOMPARE(view.firstVisibleLine(), 0);
  }

  void extremeTextsShowAndSelect() {
    struct Case {
      const char* name;
      std::string text;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"no final line end", "first\r\nlast"},
        {"one line of 10 MB", std::string(10'000'000, 'x') + "\t" + std::string(99, 'y')},
    };
    for (const Case& c : cases) {
      OverviewView view;
      view.resize(300, 200);
      view.show();
      QVERIFY(QTest::qWaitForWindowExposed(&view));
      view.setBytes(c.text);
      QVERIFY2(!view.grab().isNull(), c.name);

      const auto size = static_cast<std::int64_t>(c.text.size());
      QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
      QCOMPARE(view.cursorOffset(), size);
      QVERIFY2(!view.grab().isNull(), c.name);
      QTest::keyClick(&view, Qt::Key_Home, Qt::ShiftModifier);
      QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
      QCOMPARE(view.selectedRange(), (Range{0, size}));
      view.selectRange(size + 5, 10);  // clipped, not past the end
      QCOMPARE(view.selectedRange(), (Range{size, 0}));
    }
    // The 10 MB line: its last cells can be scrolled to.
    OverviewView view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setBytes(cases[2].text);
    view.selectRange(static_cast<std::int64_t>(cases[2].text.size()), 0);
    const std::int64_t lastCell = 10'000'000 + 4 + 99;  // the tab runs from 10 000 000 to the stop
    QVERIFY(view.firstVisibleCell() <= lastCell);
    QVERIFY(view.firstVisibleCell() + view.visibleCellCount() > lastCell);
  }
};

QTEST_MAIN(OverviewViewTest)
#include "overview_view_test.moc"
