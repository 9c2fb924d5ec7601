// quorvex: the window. An optional argument names a scene file to select in the file browser.
#include <QApplication>
#include <QStringList>

#include "ui/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvex"));

  quorvex::ui::Form1 window;
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) window.selectScene(args.at(1));
  window.show();
  return QApplication::exec();
}
