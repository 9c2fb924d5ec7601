#include "ui/message_service.h"

#include <QInputDialog>
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

Answer DialogMessageService::askYesNoCancel(const QString& title, const QString& prompt) {
  switch (QMessageBox::question(parent_, title, prompt,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Yes)) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<QString> DialogMessageService::askText(const QString& title, const QString& prompt,
                                                     const QString& initial) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace quorvex::ui
