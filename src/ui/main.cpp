// quorvex: the window. An optional argument names a scene file to select in the file browser; the
// user still presses "Start" to load it.
//
//   quorvex [scene2.bin]
//   quorvex --help, quorvex --version
//       answered before the window toolkit starts, so without a display (the manual page is made
//       from them at build time).
#include <QApplication>
#include <QStringList>
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
    "\n"
    "The window also takes the options of its toolkit, such as -platform and -style.\n"
    "quorvex-cli does the same work from the command line.\n";

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
  // The toolkit has taken its own options out: anything else that looks like one is not a scene.
  if (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
    std::fprintf(stderr, "quorvex: unknown option %s\nTry 'quorvex --help' for more information.\n",
                 qPrintable(args.first()));
    return 2;
  }
  quorvex::ui::Form1 window;
  if (!args.isEmpty() && !window.selectScene(args.first())) {
    std::fprintf(stderr, "quorvex: %s is not a \"*.bin\" file that can be selected\n",
                 qPrintable(args.first()));
  }
  window.show();
  return QApplication::exec();
}
