#pragma once
// Answers the window's message boxes in tests: records every message and answers Yes/No
// questions from a queue (No when the queue is empty).

#include <QList>
#include <QString>
#include <deque>

#include "ui/message_service.h"

namespace quorvex::ui::testing {

struct Shown {
  QString title;
  QString prompt;
  bool warning = false;  // shown with the warning icon (a failure), not the information icon
};

struct MessageLog {
  QList<Shown> shown;
  std::deque<bool> answers;
};

class FakeMessages : public MessageService {
 public:
  explicit FakeMessages(MessageLog* log) : log_(log) {}
  void inform(const QString& title, const QString& prompt) override {
    log_->shown.append({title, prompt});
  }
  void warn(const QString& title, const QString& prompt) override {
    log_->shown.append({title, prompt, true});
  }
  bool askYesNo(const QString& title, const QString& prompt) override {
    log_->shown.append({title, prompt});
    if (log_->answers.empty()) return false;
    const bool answer = log_->answers.front();
    log_->answers.pop_front();
    return answer;
  }

 private:
  MessageLog* log_;
};

}  // namespace quorvex::ui::testing
