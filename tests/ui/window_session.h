#pragma once
// One window on a scene file of its own in a temporary folder, driven through its widgets.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <functional>
#include <memory>

#include "fake_messages.h"
#include "support/scene_builder.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/overview_view.h"

namespace quorvex::ui::testing {

// The status line after a write that succeeded.
inline const QString kSaved = QStringLiteral(" **** Saved ****");

struct Session {
  // `spec` is written as scene2.bin; `prepare` adds to its folder (other scenes, folders) before
  // the window lists it.
  explicit Session(const ::quorvex::testing::SceneSpec& spec = ::quorvex::testing::DemoSceneSpec(),
                   const std::function<void(const QDir&)>& prepare = {}) {
    path = dir.filePath(QStringLiteral("scene2.bin"));
    ::quorvex::testing::WriteFile(path.toStdString(), ::quorvex::testing::BuildScene(spec));
    if (prepare) prepare(QDir(dir.path()));
    form = std::make_unique<Form1>(std::make_unique<FakeMessages>(&log));
    selected = form->selectScene(path);
  }

  template <class T>
  T* get(const QString& name) const {
    return form->findChild<T*>(name);
  }
  template <class T>
  T* get(const char* name) const {
    return get<T>(QString::fromLatin1(name));
  }
  QLineEdit* text(int number) const { return get<QLineEdit>(QStringLiteral("Text%1").arg(number)); }
  QRadioButton* option(int number) const {
    return get<QRadioButton>(QStringLiteral("Option%1").arg(number));
  }
  QListWidget* list2() const { return get<QListWidget>(QStringLiteral("List2")); }
  QSlider* slider() const { return get<QSlider>(QStringLiteral("Slider1")); }
  QLineEdit* status() const { return form->Text2(2); }
  ByteTextEdit* script() const { return get<ByteTextEdit>("Text1"); }
  OverviewView* overview() const { return get<OverviewView>("RichTextBox1"); }
  // Edits the script box as typing does: `count` characters from `at` (from the end when `at` is
  // negative) replaced by `text`.
  void editScript(int at, int count, const QString& text) const {
    QTextCursor cursor = script()->textCursor();
    if (at < 0) {
      cursor.movePosition(QTextCursor::End);
      cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, count);
    } else {
      cursor.setPosition(at);
      cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, count);
    }
    cursor.insertText(text);
  }
  void typeAtEnd(const QString& text) const { editScript(-1, 0, text); }

  // Presses "Start" and runs the scan it defers at once (the overview is built later, once the
  // window handles its events). True when the scan ran and ended.
  bool load() {
    get<QPushButton>("Command2")->click();
    if (!timer1()->isActive()) return false;
    form->Timer1_Timer();
    return !timer1()->isActive() && !form->state().Busy;
  }
  QTimer* timer1() const { return get<QTimer>("Timer1"); }
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
  // The scene's bytes, or those of the file `name` beside it.
  ::quorvex::Bytes bytes(const QString& name = QStringLiteral("scene2.bin")) const {
    return ::quorvex::testing::ReadFile(dir.filePath(name).toStdString());
  }
  Shown lastMessage() const { return log.shown.isEmpty() ? Shown{} : log.shown.last(); }

  QTemporaryDir dir;
  QString path;  // the scene file
  MessageLog log;
  std::unique_ptr<Form1> form;
  bool selected = false;
};

}  // namespace quorvex::ui::testing
