// Run by hand, in a Release build (not a test): how long the overview view takes to take a 50 MB
// overview and to paint it, and how long the model list takes per block of names.
//   QT_QPA_PLATFORM=offscreen ./quorvex_ui_overview_timing
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "objects/model_listing.h"
#include "ui/line_index.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"

using quorvex::ui::LineIndex;
using quorvex::ui::ModelListView;
using quorvex::ui::OverviewView;

namespace {

// An overview as the core writes it: a header line per script, then script lines of about 65
// bytes with CR LF, a tab now and then and a few bytes above 0x7F.
std::string OverviewText(std::size_t size) {
  std::string text;
  text.reserve(size + 4096);
  int script = 0;
  while (text.size() < size) {
    text += "\r\n\r\n ******************    --  object_" + std::to_string(script++) +
            "  --  ****************** \r\n";
    for (int line = 0; line < 200; ++line) {
      text += (line % 7 == 0) ? "\t" : "  ";
      text += "setpos obj_" + std::to_string(line) + " 12.5 -3.25 " + std::to_string(script) +
              ".75 ; r\xe9glage \x80 note\r\n";
    }
  }
  return text;
}

double Ms(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The best of a few runs: the figure least disturbed by the other jobs on the machine.
template <class F>
double Best(int runs, F&& f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    f();
    best = std::min(best, Ms(timer));
  }
  return best;
}

void OverviewFigures() {
  const std::string text = OverviewText(50'000'000);
  const LineIndex lines(text);
  std::printf("overview text: %zu bytes, %lld lines\n", text.size(),
              static_cast<long long>(lines.lineCount()));

  LineIndex index;
  std::printf("line index alone:            %8.2f ms\n", Best(5, [&] { index.build(text); }));

  OverviewView view;
  view.resize(800, 600);
  view.show();
  (void)QTest::qWaitForWindowExposed(&view);
  double setBytes = 1e300;
  for (int i = 0; i < 5; ++i) {
    std::string copy = text;  // the view takes its text by move; the copy is not timed
    QElapsedTimer timer;
    timer.start();
    view.setBytes(std::move(copy));
    setBytes = std::min(setBytes, Ms(timer));
  }
  std::printf("setBytes:                    %8.2f ms\n", setBytes);
  std::printf("full repaint, top:           %8.2f ms\n",
              Best(20, [&] { view.viewport()->repaint(); }));
  view.verticalScrollBar()->setValue(static_cast<int>(view.lineCount() / 2));
  std::printf("full repaint, middle:        %8.2f ms\n",
              Best(20, [&] { view.viewport()->repaint(); }));
  view.selectAll();
  std::printf("full repaint, all selected:  %8.2f ms\n",
              Best(20, [&] { view.viewport()->repaint(); }));
  std::printf("scroll one page + repaint:   %8.2f ms\n", Best(20, [&] {
                QScrollBar* bar = view.verticalScrollBar();
                bar->setValue(bar->value() + bar->pageStep());
                view.viewport()->repaint();
              }));
  std::printf("selectedText of all 50 MB:   %8.2f ms\n",
              Best(3, [&] { (void)view.selectedText(); }));

  // One line of 10 MB, looked at near its end.
  std::string wide(10'000'000, 'x');
  for (std::size_t i = 0; i < wide.size(); i += 97) wide[i] = '\t';
  view.setBytes(wide);
  view.selectRange(static_cast<std::int64_t>(wide.size()) - 5, 5);
  std::printf("10 MB line, repaint at end:  %8.2f ms\n",
              Best(20, [&] { view.viewport()->repaint(); }));
}

void ModelListFigures() {
  // 20 646 names of 10 to 40 bytes, each after a zero byte.
  std::string scene;
  for (int i = 0; i < 20646; ++i) {
    scene.push_back('\0');
    scene += "models\\set_" + std::string(static_cast<std::size_t>(i % 30), 'k') +
             std::to_string(i) + ".i3d";
  }
  const std::vector<std::uint8_t> bytes(scene.begin(), scene.end());
  const quorvex::SceneImage image(bytes);
  const std::vector<quorvex::ModelName> names = quorvex::ListSceneModels(image).value();

  ModelListView list;
  list.resize(300, 500);
  list.show();
  (void)QTest::qWaitForWindowExposed(&list);
  constexpr std::size_t kBlock = 2048;
  double worstAppend = 0;
  double worstEvents = 0;
  QElapsedTimer total;
  total.start();
  for (std::size_t first = 0; first < names.size(); first += kBlock) {
    QElapsedTimer timer;
    timer.start();
    const std::size_t count = std::min(kBlock, names.size() - first);
    if (!list.names()->appendNames(image, std::span(names).subspan(first, count))) return;
    const double append = Ms(timer);
    QApplication::processEvents();  // the view lays out and paints the new rows here
    worstAppend = std::max(worstAppend, append);
    worstEvents = std::max(worstEvents, Ms(timer) - append);
  }
  std::printf(
      "model list: %zu names in blocks of %zu: %.2f ms in all; worst block: append %.2f ms, "
      "events after it %.2f ms\n",
      names.size(), kBlock, Ms(total), worstAppend, worstEvents);
  std::printf("model list: clear %.2f ms\n", Best(1, [&] {
                list.names()->clear();
                QApplication::processEvents();
              }));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  OverviewFigures();
  ModelListFigures();
  return 0;
}
