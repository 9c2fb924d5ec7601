// quorvex: the window. An optional argument names a scene file to select in the file browser; the
// user still presses "Start" to load it.
//
//   quorvex [scene2.bin]
//   quorvex --demo-screenshot OUT.png scene2.bin
//       loads the scene, shows its second row and saves a picture of the window (documentation).
#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "ui/form1.h"

namespace {

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
