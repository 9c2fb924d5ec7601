#include "ui/message_service.h"

#include <QMessageBox>

namespace quorvex::ui {

void DialogMessageService::inform(const QString& title, const QString& prompt) {
  QMessageBox::information(parent_, title, prompt, QMessageBox::Ok);
}

void DialogMessageService::warn(const QString& title, const QString& prompt) {
  QMessageBox::warning(parent_, title, prompt, QMessageBox::Ok);
}

bool DialogMessageService::askYesNo(const QString& title, const QString& prompt) {
  return QMessageBox::question(parent_, title, prompt, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

}  // namespace quorvex::ui
