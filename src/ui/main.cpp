// quorvex: the window. An optional argument names a scene file to select in the file browser; the
// user still presses "Start" to load it.
//
//   quorvex [scene2.bin]
//   quorvex --demo-screenshot OUT.png scene2.bin
//       loads the scene, shows its second row and saves a picture of the window (documentation).
//   quorvex --help, quorvex --version
//       answered before the window toolkit starts, so without a display (the manual page is made
//       from them at build time).
#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "ui/form1.h"

namespace {

constexpr const char* kUsage =
    "Usage: quorvex [OPTION]... [SCENE]\n"
    "Open the Quorvex window: list, view, edit and save the scripts of a mission scene file\n"
    "(scene2.bin), search them, list its model files, and insert or move its objects.\n"
    "\n"
    "SCENE, when given, is selected in the window's file browser; press \"Start\" to load it.\n"
    "Every save rewrites the scene in place; the scene on disk is always either the old or the\n"
    "complete new content.\n"
    "\n"
    "Options:\n"
    "  -h, --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "      --demo-screenshot OUT.png SCENE  load SCENE, show its second row,\n"
    "                                       save a picture of the window as\n"
    "                                       OUT.png and exit\n"
    "\n"
    "The window also takes the options of its toolkit, such as -platform and -style.\n"
    "quorvex-cli does the same work from the command line.\n";

// Presses "Start", waits for the deferred scan, shows a row, then grabs the window and quits.
void TakeDemoScreenshot(quorvex::ui::Form1& window, const QString& target) {
  window.Command2_Click();
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, target] {
    auto* list = window.findChild<QListWidget*>(QStringLiteral("List2"));
    if (window.state().Busy || list->count() == 0) return;
    poll->stop();
    list->setCurrentRow(list->count() > 1 ? 1 : 0);
    QTimer::singleShot(300, &window, [&window, target] {
      const bool saved = window.grab().save(target);
      std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                   qPrintable(target));
      QApplication::exit(saved ? 0 : 2);
    });
  });
  poll->start(100);
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("quorvex %s\n", QUORVEX_VERSION);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvex"));

  QStringList args = QApplication::arguments();
  args.removeFirst();
  QString screenshot;
  if (args.size() >= 2 && args.first() == QLatin1String("--demo-screenshot")) {
    screenshot = args.at(1);
    args.remove(0, 2);
  }

  quorvex::ui::Form1 window;
  if (!args.isEmpty() && !window.selectScene(args.first())) {
    std::fprintf(stderr, "quorvex: %s is not a \"*.bin\" file that can be selected\n",
                 qPrintable(args.first()));
  }
  window.show();
  if (!screenshot.isEmpty()) {
    if (args.isEmpty()) {
      std::fprintf(stderr, "quorvex: --demo-screenshot needs a scene file\n");
      return 1;
    }
    TakeDemoScreenshot(window, screenshot);
  }
  return QApplication::exec();
}
