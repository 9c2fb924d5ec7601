// quorvex-window-picture: the pictures of the window for the documentation and the Windows
// package's check. Not shipped: it drives the window library the way a user would and saves what
// the window shows.
//
//   quorvex-window-picture [--grown | --insert-panel] OUT.png SCENE
//       selects SCENE, presses "Start", and once the scan has listed the rows:
//         (no option)     shows the second row and saves the window at its design size;
//         --grown         the same with the window grown to 1200 x 800 pixels;
//         --insert-panel  opens the insert panel, types a new "female" object and turns the
//                         slider to 30, and saves the middle and right columns (the file browser
//                         would only show the folders of the machine).
//       Exits 0, or 2 when the picture could not be written.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "ui/form1.h"

namespace {

enum class Picture { Window, Grown, InsertPanel };

// What the picture shows, set up through the window's controls once the rows are listed; the part
// of the window to save.
QRect Prepare(quorvex::ui::Form1& window, Picture picture) {
  auto* list = window.findChild<QListWidget*>(QStringLiteral("List2"));
  if (picture != Picture::InsertPanel) {
    list->setCurrentRow(list->count() > 1 ? 1 : 0);
    return window.rect();
  }
  window.findChild<QCheckBox*>(QStringLiteral("Check2"))->click();
  window.findChild<QRadioButton*>(QStringLiteral("Option3"))->click();
  const QStringList typed = {"Teodrina", "12.5", "0", "-30", "1", "1", "1"};
  for (int i = 0; i < typed.size(); ++i) {
    window.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(4 + i))->setText(typed.at(i));
  }
  window.findChild<QSlider*>(QStringLiteral("Slider1"))->setValue(30);
  window.Slider1_Click();
  const int left = window.findChild<QGroupBox*>(QStringLiteral("Frame1"))->x() - 8;
  return QRect(left, 0, window.width() - left, window.height());
}

// Presses "Start", waits for the deferred scan, sets the picture up, then saves it and quits.
void TakePicture(quorvex::ui::Form1& window, Picture picture, const QString& target) {
  window.Command2_Click();
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, picture, target] {
    auto* list = window.findChild<QListWidget*>(QStringLiteral("List2"));
    if (window.state().Busy || list->count() == 0) return;
    poll->stop();
    const QRect part = Prepare(window, picture);
    QTimer::singleShot(300, &window, [&window, part, target] {
      const bool saved = window.grab(part).save(target);
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
  Picture picture = Picture::Window;
  if (!args.isEmpty() && args.first() == QLatin1String("--grown")) picture = Picture::Grown;
  if (!args.isEmpty() && args.first() == QLatin1String("--insert-panel")) {
    picture = Picture::InsertPanel;
  }
  if (picture != Picture::Window) args.removeFirst();
  if (args.size() != 2) {
    std::fprintf(stderr,
                 "usage: quorvex-window-picture [--grown | --insert-panel] OUT.png SCENE\n");
    return 1;
  }
  quorvex::ui::Form1 window;
  if (!window.selectScene(args.at(1))) {
    std::fprintf(stderr,
                 "quorvex-window-picture: %s is not a \"*.bin\" file that can be selected\n",
                 qPrintable(args.at(1)));
    return 1;
  }
  if (picture == Picture::Grown) window.resize(1200, 800);
  window.show();
  TakePicture(window, picture, args.at(0));
  return QApplication::exec();
}
