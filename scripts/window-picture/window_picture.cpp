// quorvex-window-picture: the pictures of the window for the documentation and the Windows
// package's check. Not shipped: it drives the window library the way a user would and saves what
// the window shows.
//
//   quorvex-window-picture OUT.png SCENE
//       selects SCENE, presses "Start", shows its second row once the scan has listed the rows,
//       saves a picture of the window as OUT.png and exits (0, or 2 when the picture could not be
//       written).
#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "ui/form1.h"

namespace {

// Presses "Start", waits for the deferred scan, shows a row, then grabs the window and quits.
void TakePicture(quorvex::ui::Form1& window, const QString& target) {
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
  const QStringList args = QApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: quorvex-window-picture OUT.png SCENE\n");
    return 1;
  }
  quorvex::ui::Form1 window;
  if (!window.selectScene(args.at(2))) {
    std::fprintf(stderr,
                 "quorvex-window-picture: %s is not a \"*.bin\" file that can be selected\n",
                 qPrintable(args.at(2)));
    return 1;
  }
  window.show();
  TakePicture(window, args.at(1));
  return QApplication::exec();
}
