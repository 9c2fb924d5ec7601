// Construction, start-up, the overview/models switch and the helpers shared by the handlers.
#include "ui/form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include "scene/loaded_scene.h"
#include "scene/scene_io.h"
#include "ui/byte_text_edit.h"
#include "ui/dial_canvas.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"
#include "ui/script_edit.h"

namespace quorvex::ui {
namespace {

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

}  // namespace

Form1::Form1(std::unique_ptr<MessageService> messages, QWidget* parent)
    : QWidget(parent), twips_(ScreenDpi()) {
  setMessageService(std::move(messages));
  createControls();
  connectHandlers();
  sinceYield_.start();

  // The browser starts in the process's current folder.
  const QString start = QDir::currentPath();
  for (int i = 0; i < Drive1_->count(); ++i) {
    if (start.startsWith(Drive1_->itemText(i), Qt::CaseInsensitive)) {
      const QSignalBlocker quiet(Drive1_);
      Drive1_->setCurrentIndex(i);
    }
  }
  setDir1Path(start);
  Form_load();
}

Form1::~Form1() = default;

void Form1::setMessageService(std::unique_ptr<MessageService> messages) {
  messages_ = messages ? std::move(messages) : std::make_unique<DialogMessageService>(this);
  if (auto* scriptBox = qobject_cast<ScriptEdit*>(Text1_))
    scriptBox->setMessageService(messages_.get());
}

QLineEdit* Form1::Text2(int index) const {
  if (index < 0 || index >= static_cast<int>(Text2_.size())) return nullptr;
  return Text2_[static_cast<std::size_t>(index)];
}

void Form1::connectHandlers() {
  // Moving the file browser away from the loaded scene is guarded like closing the window.
  connect(Drive1_, &QComboBox::currentIndexChanged, this, [this] {
    const int chosen = Drive1_->currentIndex();
    if (!leaveScene([this] { restoreDrive1(); })) return;
    const QSignalBlocker quiet(Drive1_);
    Drive1_->setCurrentIndex(chosen);
    Drive1_Change();
  });
  const auto openFolder = [this](QListWidgetItem* item) {
    const QString folder = item->data(Qt::UserRole).toString();
    if (!leaveScene([this] { fillDir1(); })) return;
    setDir1Path(folder);
  };
  connect(Dir1_, &QListWidget::itemClicked, this, openFolder);
  connect(Dir1_, &QListWidget::itemActivated, this, openFolder);
  connect(File1_, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* current, QListWidgetItem* previous) {
            // A null current item: the list is being refilled.
            if (current == nullptr || !scriptEdited()) return;
            if (!leaveScene([this, previous] { restoreFile1Selection(previous); })) return;
            restoreFile1Selection(current);
          });
  connect(File1_, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
  connect(file1Watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { fillFile1(); });

  connect(Check2_, &QCheckBox::clicked, this, [this] { Check2_Click(); });
  connect(Option1_, &QRadioButton::clicked, this, [this] { Option1_Click(); });
  connect(Option2_, &QRadioButton::clicked, this, [this] { Option2_Click(); });
  connect(Check1_, &QCheckBox::clicked, this, [this] { Check1_Click(); });
  connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3_, &QPushButton::clicked, this, [this] { Command3_Click(); });
  connect(Command4_, &QPushButton::clicked, this, [this] { Command4_Click(); });
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Text3_, &QLineEdit::textChanged, this, [this] { Text3_change(); });
  Text3_->installEventFilter(this);
  connect(Timer1_, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  connect(overviewTimer_, &QTimer::timeout, this, [this] { BuildScriptOverview(); });

  connect(List2_, &QListWidget::currentRowChanged, this, [this](int current) {
    if (!leaveRow(current, list2Row_)) return;
    list2Row_ = current;
    List2_Click();
  });
  connect(List2_, &QListWidget::itemChanged, this,
          [this](QListWidgetItem* item) { List2_ItemCheck(List2_->row(item)); });
  connect(Text1_, &ByteTextEdit::textChanged, this, [this] { Text1_Change(); });
  connect(Save_, &QPushButton::clicked, this, [this] { Save_Click(); });

  connect(categoryGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    switch (id) {
      case 3:
        Option3_Click();
        break;
      case 4:
        Option4_Click();
        break;
      case 5:
        Option5_Click();
        break;
      case 6:
        Option6_Click();
        break;
      case 7:
        Option7_Click();
        break;
      case 8:
        Option8_Click();
        break;
      case 9:
        Option9_Click();
        break;
      case 10:
        Option10_Click();
        break;
      default:
        break;
    }
  });
  connect(Slider1_, &QSlider::sliderReleased, this, [this] { Slider1_Click(); });
  // While the handle is dragged the dial follows without storing anything.
  connect(Slider1_, &QSlider::sliderMoved, this, [this](int value) { redrawDial(value); });
  connect(Slider1_, &QSlider::actionTriggered, this, [this](int action) {
    // Keyboard, page clicks and the mouse wheel move the value without a release; the value is
    // set after this signal, so the click is handled once the event is done.
    if (action != QAbstractSlider::SliderMove || !Slider1_->isSliderDown()) {
      QTimer::singleShot(0, this, [this] { Slider1_Click(); });
    }
  });
  connect(Command5_, &QPushButton::clicked, this, [this] { Command5_Click(); });
}

void Form1::Form_load() {
  state_.takeScene(LoadedScene{});  // ObjectParamsLoaded: no object parameters read yet
  Check1_->setChecked(true);
  Option1_->setChecked(true);
  Option2_->setChecked(false);
  applyOverviewMode();
}

void Form1::Check1_Click() {
  // Read where it matters: after a load, a save or an insertion.
}

void Form1::Option1_Click() {
  if (Check2_->isChecked()) {
    // The insert panel holds the middle area: the switch is refused.
    Option1_->setChecked(false);
    return;
  }
  Option1_->setChecked(true);
  Option2_->setChecked(false);
  applyOverviewMode();
}

void Form1::Option2_Click() {
  if (Check2_->isChecked()) {
    Option2_->setChecked(false);
    return;
  }
  Option2_->setChecked(true);
  Option1_->setChecked(false);
  applyModelsMode();
}

void Form1::applyOverviewMode() {
  RichTextBox1_->show();
  Command3_->show();
  Command4_->show();
  Text3_->show();
  ProgressBar2_->hide();
  Command1_->hide();
}

void Form1::applyModelsMode() {
  RichTextBox1_->hide();
  Command3_->hide();
  Command4_->hide();
  Text3_->hide();
  ProgressBar2_->show();
  Command1_->show();
}

void Form1::setStatus(const QString& text, const QColor& colour) {
  QLineEdit* status = Text2_[2];
  QPalette palette = status->palette();
  palette.setColor(QPalette::Text, colour);
  status->setPalette(palette);
  status->setText(text);
}

void Form1::showSaved() {
  setStatus(QStringLiteral(" **** Saved ****"), QColor(0, 128, 0));
}

void Form1::warnIfNotFlushed(WriteMode written) {
  if (written == WriteMode::ReplacedNotFlushed) {
    warn(QString::fromLatin1(kAppTitle), QString::fromLatin1(kNotFlushedWarning));
  }
}

void Form1::reportSelectFile() {
  setStatus(QString(), palette().color(QPalette::WindowText));
  messages_->inform(lastFailure_, QStringLiteral("****** Select File ******"));
  state_.Busy = false;
  Timer1_->stop();
}

void Form1::reportFailure(const Error& error) {
  lastFailure_ = QString::fromStdString(error.message);
  if (error.kind == ErrorKind::Locked) {
    messages_->warn(lastFailure_, QString::fromLatin1(kFileUsedMessage));
  } else {
    messages_->warn(QString::fromLatin1(kAppTitle), lastFailure_);
  }
}

void Form1::warn(const QString& title, const QString& prompt) {
  messages_->warn(title, prompt);
}

bool Form1::selectedIsLoadedScene() {
  const LoadedScene& scene = state_.Scene;
  if (!scene.loaded()) {
    warn(QString::fromLatin1(kAppTitle),
         QStringLiteral("Load the selected scene with \"Start\" first. Nothing was written."));
    return false;
  }
  const Status same = CheckIsLoadedScene(scene, PathFromUtf8(state_.ScenePath));
  if (same) return true;
  if (same.error().kind == ErrorKind::Refused) {
    // The loaded positions belong to the loaded file; written into another one, even an identical
    // copy in another folder, they would change the wrong file.
    warn(QString::fromLatin1(kAppTitle),
         QStringLiteral("The file selected in the file list is not the loaded scene %1. Select it "
                        "again, or press \"Start\" to load the selected one. Nothing was written.")
             .arg(QString::fromStdString(QuotedPath(scene.path))));
  } else {
    reportFailure(same.error());
  }
  return false;
}

void Form1::yieldToEvents() {
  if (eventsHeld_ || sinceYield_.elapsed() < 10) return;
  ++yieldDepth_;
  QCoreApplication::processEvents();
  --yieldDepth_;
  sinceYield_.restart();
}

void Form1::closeIfPending() {
  if (!closePending_ || yieldDepth_ > 0 || state_.Busy) return;
  closePending_ = false;
  QTimer::singleShot(0, this, &QWidget::close);
}

void Form1::closeEvent(QCloseEvent* event) {
  if (yieldDepth_ > 0 || state_.Busy) {
    // A loop is handing out events from inside a handler: close once it has finished.
    closePending_ = true;
    event->ignore();
    return;
  }
  if (askBeforeLosingScript() == Leave::Stay) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Text3_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Text3_KeyDown(13);
      return true;
    }
    if (key->key() == Qt::Key_F3) {
      Text3_KeyDown(114);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvex::ui
