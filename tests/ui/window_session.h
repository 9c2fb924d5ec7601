#pragma once
// One window on a scene file of its own in a temporary folder, driven through its widgets.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <memory>

#include "fake_messages.h"
#include "support/scene_builder.h"
#include "ui/form1.h"

namespace quorvex::ui::testing {

struct Session {
  explicit Session(
      const ::quorvex::testing::SceneSpec& spec = ::quorvex::testing::DemoSceneSpec()) {
    path = dir.filePath(QStringLiteral("scene2.bin"));
    ::quorvex::testing::WriteFile(path.toStdString(), ::quorvex::testing::BuildScene(spec));
    form = std::make_unique<Form1>(std::make_unique<FakeMessages>(&log));
    selected = form->selectScene(path);
  }

  template <class T>
  T* get(const QString& name) const {
    return form->findChild<T*>(name);
  }
  QLineEdit* text(int number) const { return get<QLineEdit>(QStringLiteral("Text%1").arg(number)); }
  QRadioButton* option(int number) const {
    return get<QRadioButton>(QStringLiteral("Option%1").arg(number));
  }
  QListWidget* list2() const { return get<QListWidget>(QStringLiteral("List2")); }
  QSlider* slider() const { return get<QSlider>(QStringLiteral("Slider1")); }
  QLineEdit* status() const { return form->Text2(2); }

  // "Start" and the deferred scan it schedules.
  void load() {
    form->Command2_Click();
    form->Timer1_Timer();
  }
  void setPanel(bool open) {
    auto* box = get<QCheckBox>(QStringLiteral("Check2"));
    if (box->isChecked() != open) box->click();
  }
  int rowOf(const QString& name) const {
    const auto found = list2()->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? -1 : list2()->row(found.first());
  }
  void fill(const QString& name, const QStringList& numbers) {
    text(4)->setText(name);
    for (int i = 0; i < 6; ++i) text(5 + i)->setText(numbers.value(i));
  }
  void pressInsertModify() { get<QPushButton>(QStringLiteral("Command5"))->click(); }
  ::quorvex::Bytes bytes() const { return ::quorvex::testing::ReadFile(path.toStdString()); }
  Shown lastMessage() const { return log.shown.isEmpty() ? Shown{} : log.shown.last(); }

  QTemporaryDir dir;
  QString path;  // the scene file
  MessageLog log;
  std::unique_ptr<Form1> form;
  bool selected = false;
};

}  // namespace quorvex::ui::testing
