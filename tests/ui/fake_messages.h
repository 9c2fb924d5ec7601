#pragma once
// Answers the window's message boxes in tests: records every message and answers questions from
// queues: Yes/No questions No, Yes/No/Cancel questions Cancel and text questions "cancelled"
// when their queue is empty.

#include <QList>
#include <QString>
#include <deque>
#include <optional>

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
  std::deque<Answer> choices;
  std::deque<std::optional<QString>> texts;
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
    return next(log_->answers, false);
  }
  Answer askYesNoCancel(const QString& title, const QString& prompt) override {
    log_->shown.append({title, prompt});
    return next(log_->choices, Answer::Cancel);
  }
  std::optional<QString> askText(const QString& title, const QString& prompt,
                                 const QString& /*initial*/) override {
    log_->shown.append({title, prompt});
    return next(log_->texts, std::optional<QString>());
  }

 private:
  template <class T>
  static T next(std::deque<T>& queue, T whenEmpty) {
    if (queue.empty()) return whenEmpty;
    T answer = queue.front();
    queue.pop_front();
    return answer;
  }

  MessageLog* log_;
};

}  // namespace quorvex::ui::testing
