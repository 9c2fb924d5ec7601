// quorvex_window_bench: the window's figures on the 16 MiB and 50 MB scenes (and a row click on
// the 64 MiB one, its memory on the 200 MB one), offscreen.
//
//   quorvex_window_bench --scenes FOLDER [--figures FILE] [--runs N]
//
// - From the scan timer firing to the rows and the first script shown (painted): auto refresh off.
// - From the scan timer firing to the overview shown: overview mode, auto refresh on; the rows are
//   shown first, the overview is built from a zero-time timer after them.
// - A row click: the click handler reading and showing another row's script, painted.
// - The longest stretch without servicing events during the load, the overview, the model
//   listing, a search whose only hit is near the end of the overview, and the object-parameter
//   scan run on its own: a 1 ms watchdog timer records when the window's loop hands out events;
//   the longest gap between those moments (and from the start, and to the end) is the stretch.
//   The progress bar's value changes are counted alongside.
// - The resident memory once the 200 MB scene is loaded and its overview shown, beside the size of
//   the overview text (measured first, in a process that has loaded nothing else).

#include <time.h>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "figures.h"
#include "scene_files.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"

namespace quorvex::bench {
namespace {

struct SceneFigures {
  std::string label;
  std::string fileName;
  bool full = true;  // every figure; otherwise the row click only
};

// Answers every message box at once, and remembers what it was asked.
class SilentMessages : public ui::MessageService {
 public:
  void inform(const QString& title, const QString& prompt) override {
    std::cerr << "message: " << title.toStdString() << ": " << prompt.toStdString() << "\n";
  }
  bool askYesNo(const QString&, const QString&) override { return false; }
  ui::Answer askYesNoCancel(const QString&, const QString&) override { return ui::Answer::No; }
  std::optional<QString> askText(const QString&, const QString&, const QString&) override {
    return std::nullopt;
  }
};

template <class W>
W* Control(ui::Form1& form, const char* name) {
  auto* widget = form.findChild<W*>(QString::fromLatin1(name));
  if (!widget) throw std::runtime_error(std::string("no control ") + name);
  return widget;
}

void SetChecked(QAbstractButton* button, bool checked) {
  if (button->isChecked() != checked) button->click();  // through the window's click handler
}

// CPU time of this thread, or of the whole process (user and system). The machine is shared: on a
// loaded machine the wall-clock time of the window's work is mostly time spent waiting for a core,
// so the figures are judged on CPU time, which is what they take on an idle machine; wall time is
// shown. Stretches without events are this (the window's) thread's; the time of a load is the
// process's, since the catalogue scan runs on a thread of its own.
double CpuSeconds(clockid_t clock) {
  timespec t{};
  ::clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double ThreadSeconds() {
  return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}
double ProcessSeconds() {
  return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

struct Span {
  double wall = 0;
  double cpu = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// From the scan timer firing (its handler called) until the window has painted the result; with
// `overview`, until the overview built after the rows is in it and painted.
Span TimeLoad(ui::Form1& form, const ui::OverviewView* overview = nullptr) {
  form.Command2_Click();  // "Start": empties the window and starts Timer1
  QApplication::processEvents();
  QElapsedTimer clock;
  clock.start();
  const double cpu = ProcessSeconds();
  form.Timer1_Timer();            // what Timer1's timeout runs
  QApplication::processEvents();  // paint what the scan showed
  while (overview && overview->bytes().empty() && clock.elapsed() < 60'000) {
    QApplication::processEvents();
  }
  if (overview) QApplication::processEvents();  // paint the overview
  return Span{static_cast<double>(clock.nsecsElapsed()) * 1e-9, ProcessSeconds() - cpu};
}

// A click on row `row` of List2, until the row's script is painted.
Span TimeRowClick(QListWidget* list2, int row) {
  QElapsedTimer clock;
  clock.start();
  const double cpu = ThreadSeconds();
  list2->setCurrentRow(row);  // through the window's click handler
  QApplication::processEvents();
  return Span{static_cast<double>(clock.nsecsElapsed()) * 1e-9, ThreadSeconds() - cpu};
}

Span MedianSpan(const std::vector<Span>& spans) {
  std::vector<double> wall, cpu;
  for (const auto& s : spans) {
    wall.push_back(s.wall);
    cpu.push_back(s.cpu);
  }
  return Span{Median(wall), Median(cpu)};
}

std::string Show(const Span& s) {
  return Milliseconds(s.cpu) + " CPU (" + Milliseconds(s.wall) + " wall)";
}

struct Stretch {
  double longest = 0;     // seconds, wall clock
  double longestCpu = 0;  // seconds of this thread's CPU time
  double headCpu = -1;    // CPU time before the first serviced tick (-1: none)
  double tailCpu = 0;     // CPU time after the last one
  int serviced = 0;       // watchdog ticks handled during the operation
  int progressChanges = 0;
  int finalProgress = 0;
  double total = 0;
};

// Runs `operation` with a 1 ms watchdog (`bar`, when given, has its moves counted) and measures the
// longest time without events serviced.
template <class F>
Stretch MeasureStretch(QProgressBar* bar, F operation) {
  Stretch s;
  QElapsedTimer clock;
  qint64 last = 0;
  double lastCpu = 0;
  QTimer watchdog;
  watchdog.setTimerType(Qt::PreciseTimer);
  watchdog.setInterval(1);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    const double cpu = ThreadSeconds();
    s.longest = std::max(s.longest, static_cast<double>(now - last) * 1e-9);
    if (s.headCpu < 0) s.headCpu = cpu - lastCpu;
    s.longestCpu = std::max(s.longestCpu, cpu - lastCpu);
    last = now;
    lastCpu = cpu;
    ++s.serviced;
  });
  const auto connection =
      bar ? QObject::connect(bar, &QProgressBar::valueChanged, [&](int) { ++s.progressChanges; })
          : QMetaObject::Connection();
  watchdog.start();
  clock.start();
  lastCpu = ThreadSeconds();
  operation();
  const qint64 end = clock.nsecsElapsed();
  s.longest = std::max(s.longest, static_cast<double>(end - last) * 1e-9);
  s.tailCpu = ThreadSeconds() - lastCpu;
  s.longestCpu = std::max(s.longestCpu, s.tailCpu);
  std::cerr << "stretches: before the first event " << s.headCpu * 1e3 << " ms CPU, after the last "
            << s.tailCpu * 1e3 << " ms CPU, longest " << s.longestCpu * 1e3 << " ms CPU, "
            << s.serviced << " events serviced\n";
  s.total = static_cast<double>(end) * 1e-9;
  watchdog.stop();
  QObject::disconnect(connection);
  if (bar) s.finalProgress = bar->value();
  return s;
}

std::string Stretched(const Stretch& s, const std::string& what) {
  return Milliseconds(s.longestCpu) + " CPU (" + Milliseconds(s.longest) + " wall; " + what + " " +
         Milliseconds(s.total) + " wall)";
}

// A needle whose first hit is near the end: the name in the last script's header line.
std::string LateNeedle(const ByteString& text) {
  const std::size_t open = text.rfind("   --  ");
  if (open == std::string::npos) return {};
  const std::size_t start = open + 7;
  const std::size_t close = text.find("  -- ", start);
  return "--  " + text.substr(start, close - start) + "  --";
}

// A line "Name:   1234 kB" of /proc/self/status, in bytes; 0 when it is missing.
double StatusBytes(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == name + ":") {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024.0;
    }
    status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return 0;
}

std::string Mib(double bytes) {
  return Fixed(bytes / (1024.0 * 1024.0), 1) + " MiB";
}

// The window's resident memory once a scene is loaded and its overview shown (the start-up
// state: overview mode, auto refresh), beside the overview's own bytes. Run first, in a process
// that has loaded nothing else, so that no earlier scene's freed memory is counted.
void MemoryFigures(const QString& folder, const SceneFigures& scene, FigureSink& sink) {
  const double before = StatusBytes("VmRSS");
  {
    ui::Form1 form(std::make_unique<SilentMessages>());
    form.show();
    if (!form.selectScene(folder + "/" + QString::fromStdString(scene.fileName)))
      throw std::runtime_error("the window cannot select " + scene.fileName);
    QApplication::processEvents();
    auto* overview = Control<ui::OverviewView>(form, "RichTextBox1");
    TimeLoad(form, overview);
    const auto text = static_cast<double>(overview->bytes().size());
    const double resident = StatusBytes("VmRSS");
    const double peak = StatusBytes("VmHWM");
    sink.add(Info("window: resident before the window is made", scene.label, Mib(before)));
    sink.add(Figure{"window: resident after load + overview", scene.label,
                    Mib(resident) + " = overview " + Mib(text) + " + " + Mib(resident - text) +
                        " (peak " + Mib(peak) + ")",
                    "<= overview + 40 MiB", text > 0 && resident - text <= 40.0 * 1024 * 1024});
  }
}

void RunScene(const QString& folder, const SceneFigures& scene, int runs, FigureSink& sink) {
  using quorvex::ui::Form1;
  const std::string& at = scene.label;
  Form1 form(std::make_unique<SilentMessages>());
  form.show();
  if (!form.selectScene(folder + "/" + QString::fromStdString(scene.fileName)))
    throw std::runtime_error("the window cannot select " + scene.fileName);
  QApplication::processEvents();
  auto* check1 = Control<QCheckBox>(form, "Check1");
  auto* check2 = Control<QCheckBox>(form, "Check2");
  auto* option1 = Control<QRadioButton>(form, "Option1");
  auto* option2 = Control<QRadioButton>(form, "Option2");
  auto* list2 = Control<QListWidget>(form, "List2");
  auto* text1 = Control<quorvex::ui::ByteTextEdit>(form, "Text1");
  auto* overview = Control<quorvex::ui::OverviewView>(form, "RichTextBox1");

  // Rows and first script: no overview, no insert panel.
  SetChecked(check2, false);
  SetChecked(check1, false);
  std::vector<Span> rows;
  for (int i = 0; i < (scene.full ? runs : 1); ++i) rows.push_back(TimeLoad(form));
  const int rowCount = list2->count();
  const bool shown = rowCount == 5000 && !text1->document()->isEmpty();
  const Span rowsTime = MedianSpan(rows);
  if (scene.full) {
    sink.add(Figure{"window: timer fired -> 5000 rows + first script shown", at,
                    Show(rowsTime) + (shown ? "" : " (rows or script missing)"), "<= 100 ms",
                    shown && rowsTime.cpu <= 0.100});
  }

  // Row clicks: every 97th row with a script, once each.
  std::vector<Span> clicks;
  for (int r = 1; r < rowCount && clicks.size() < 40; r += 97) {
    if (form.state().EntryChecked[static_cast<std::size_t>(r)])
      clicks.push_back(TimeRowClick(list2, r));
  }
  const Span clickTime = clicks.empty() ? Span{} : MedianSpan(clicks);
  sink.add(Figure{"window: a row click, script shown", at,
                  Show(clickTime) + " (median of " + std::to_string(clicks.size()) + ")", "<= 5 ms",
                  !clicks.empty() && clickTime.cpu <= 0.005});
  if (!scene.full) return;

  // The load on its own: the catalogue scan.
  const Stretch load = MeasureStretch(nullptr, [&] { TimeLoad(form); });
  sink.add(Figure{"window: longest stretch without events, load (catalogue scan)", at,
                  Stretched(load, "load"), "<= 16 ms", load.longestCpu <= 0.016});

  // The overview built after the rows.
  SetChecked(option1, true);
  SetChecked(check1, true);
  std::vector<Span> withOverview;
  for (int i = 0; i < runs; ++i) withOverview.push_back(TimeLoad(form, overview));
  const bool built = !overview->bytes().empty();
  const Span overviewTime = MedianSpan(withOverview);
  const double overviewTarget = at == "16 MiB" ? 0.150 : 0.400;
  sink.add(Figure{"window: timer fired -> overview shown", at,
                  Show(overviewTime) + (built ? "" : " (overview empty)") + ", " +
                      Fixed(static_cast<double>(overview->bytes().size()) / 1e6, 1) + " MB text",
                  "<= " + Milliseconds(overviewTarget),
                  built && overviewTime.cpu <= overviewTarget});
  const Stretch building = MeasureStretch(nullptr, [&] { form.BuildScriptOverview(); });
  sink.add(Figure{"window: longest stretch without events, overview", at,
                  Stretched(building, "overview"), "<= 16 ms", building.longestCpu <= 0.016});

  // A search whose only hit is near the end of the overview.
  const std::string needle = LateNeedle(overview->bytes());
  auto* text3 = Control<QLineEdit>(form, "Text3");
  text3->setText(QString::fromLatin1(needle.data(), static_cast<qsizetype>(needle.size())));
  const Stretch search = MeasureStretch(nullptr, [&] { form.Command4_Click(); });
  const auto hit = overview->selectedRange();
  const bool found = hit.length == static_cast<std::int64_t>(needle.size());
  sink.add(Figure{"window: longest stretch without events, search", at,
                  Stretched(search, "search") +
                      (found ? ", hit at " +
                                   Fixed(100.0 * static_cast<double>(hit.offset) /
                                             static_cast<double>(overview->bytes().size()),
                                         1) +
                                   " %"
                             : " (not found)"),
                  "<= 16 ms", found && search.longestCpu <= 0.016});

  // The model listing in models mode.
  SetChecked(check1, false);
  option2->click();
  QApplication::processEvents();
  auto* bar2 = Control<QProgressBar>(form, "ProgressBar2");
  const Stretch listing = MeasureStretch(bar2, [&] { form.Command1_Click(); });
  auto* list1 = Control<quorvex::ui::ModelListView>(form, "List1");
  sink.add(Figure{"window: longest stretch without events, model listing", at,
                  Stretched(listing, "listing") + ", " + std::to_string(list1->count()) + " names",
                  "<= 16 ms", listing.longestCpu <= 0.016});
  sink.add(Figure{"window: ProgressBar2 during the listing", at,
                  std::to_string(listing.progressChanges) + " moves, ends at " +
                      std::to_string(listing.finalProgress),
                  "moves to 100", listing.progressChanges >= 50 && listing.finalProgress == 100});

  // The object-parameter scan on its own (as the insert panel runs it), after a load.
  option1->click();
  SetChecked(check2, false);
  TimeLoad(form);
  auto* bar3 = Control<QProgressBar>(form, "ProgressBar3");
  const Stretch objects = MeasureStretch(bar3, [&] { form.ScanObjectParameters(); });
  const bool loaded = form.state().ObjectParamsLoaded;
  sink.add(Figure{"window: longest stretch without events, object-parameter scan", at,
                  Stretched(objects, "scan") + (loaded ? "" : " (not loaded)"), "<= 16 ms",
                  loaded && objects.longestCpu <= 0.016});
  sink.add(Figure{
      "window: ProgressBar3 during the parameter scan", at,
      std::to_string(objects.progressChanges) + " moves, max " + std::to_string(bar3->maximum()),
      "moves per matched object", objects.progressChanges > 0});
}

}  // namespace
}  // namespace quorvex::bench

int main(int argc, char** argv) {
  using namespace quorvex::bench;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString folder;
  std::string figures;
  int runs = 5;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "--scenes")
      folder = args[++i];
    else if (args[i] == "--figures")
      figures = args[++i].toStdString();
    else if (args[i] == "--runs")
      runs = std::max(1, args[++i].toInt());
  }
  if (folder.isEmpty()) {
    std::cerr << "usage: quorvex_window_bench --scenes FOLDER [--figures FILE] [--runs N]\n";
    return 1;
  }
  try {
    FigureSink sink(figures);
    MemoryFigures(folder, {"200 MB", "scene_200MB.bin", true}, sink);
    RunScene(folder, {"16 MiB", "scene_16MiB.bin", true}, runs, sink);
    RunScene(folder, {"50 MB", "scene_50MB.bin", true}, runs, sink);
    RunScene(folder, {"64 MiB", "scene_64MiB.bin", false}, runs, sink);
  } catch (const std::exception& e) {
    std::cerr << "quorvex_window_bench: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
