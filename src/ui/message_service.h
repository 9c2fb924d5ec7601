#pragma once
// Modal message boxes of the window go through this interface, so that tests can answer them
// without a dialog blocking the event loop.

#include <QString>
#include <optional>

class QWidget;

namespace quorvex::ui {

enum class Answer { Yes, No, Cancel };

class MessageService {
 public:
  virtual ~MessageService() = default;
  // A message with an OK button: a prompt or a notice (the information icon).
  virtual void inform(const QString& title, const QString& prompt) = 0;
  // A failure or a refusal with an OK button (the warning icon). Shown as a notice by services
  // that make no difference.
  virtual void warn(const QString& title, const QString& prompt) { inform(title, prompt); }
  // A question with Yes and No; true for Yes.
  virtual bool askYesNo(const QString& title, const QString& prompt) = 0;
  // A question with Yes, No and Cancel; closing the box is Cancel.
  virtual Answer askYesNoCancel(const QString& title, const QString& prompt) = 0;
  // A one-line text, proposed as `initial`; absent when cancelled.
  virtual std::optional<QString> askText(const QString& title, const QString& prompt,
                                         const QString& initial) = 0;
};

// The real dialogs, modal to the given window.
class DialogMessageService : public MessageService {
 public:
  explicit DialogMessageService(QWidget* parent) : parent_(parent) {}
  void inform(const QString& title, const QString& prompt) override;
  void warn(const QString& title, const QString& prompt) override;
  bool askYesNo(const QString& title, const QString& prompt) override;
  Answer askYesNoCancel(const QString& title, const QString& prompt) override;
  std::optional<QString> askText(const QString& title, const QString& prompt,
                                 const QString& initial) override;

 private:
  QWidget* parent_;
};

}  // namespace quorvex::ui
