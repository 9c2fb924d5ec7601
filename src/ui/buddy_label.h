#pragma once
// A caption beside an option button or check box that has no text of its own: clicking the
// caption clicks the button, as clicking a button's own text would.

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>

namespace quorvex::ui {

class BuddyLabel : public QLabel {
  Q_OBJECT

 public:
  BuddyLabel(const QString& text, QAbstractButton* button, QWidget* parent)
      : QLabel(text, parent), button_(button) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        button_->isEnabled()) {
      button_->click();
    }
    QLabel::mouseReleaseEvent(event);
  }

 private:
  QAbstractButton* button_;
};

}  // namespace quorvex::ui
