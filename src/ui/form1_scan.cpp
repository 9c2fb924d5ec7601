// Loading a scene: "Start", the deferred catalogue scan and the object parameters.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "scene/catalogue.h"
#include "scene/chunk_check.h"
#include "scene/loaded_scene.h"
#include "scene/object_params.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/overview_view.h"
#include "ui/scene_text.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {

void Form1::Command2_Click() {
  if (state_.Busy) return;
  if (!confirmDiscardOrSave()) return;
  const QString name = File1FileName();
  if (name.isEmpty() || PathFromUtf8(joinFile1(name).toUtf8().toStdString()) != state_.Scene.path) {
    // Another scene: the object fields of the insert panel no longer describe it.
    for (int number = 4; number <= 11; ++number) Text_[static_cast<std::size_t>(number)]->clear();
    DrawRotationDial(0.0);
  }
  // Nothing is loaded until the scan has read the file again: the positions of the old catalogue
  // must not be used meanwhile (a save or an insertion has just moved them).
  overviewTimer_->stop();
  state_.takeScene(LoadedScene{});
  Text1_->clearBytes();
  List2_->clear();
  setStatus(Text2_[2]->text(), palette().color(QPalette::WindowText));
  Text2_[0]->clear();
  Text2_[1]->clear();
  if (Option1_->isChecked() && Check1_->isChecked()) RichTextBox1_->clearBytes();
  Text2_[2]->setText(QStringLiteral("**** Working **** "));
  Timer1_->start();
}

void Form1::Timer1_Timer() {
  if (state_.Busy) {
    // A model listing or an object-parameter scan is handing out events: a scan started inside it
    // would replace the scene under it. Scan once it has finished.
    Timer1_->start();
    return;
  }
  state_.Busy = true;
  Timer1_->stop();
  ScanScene();
}

void Form1::reloadNow() {
  const bool held = eventsHeld_;
  eventsHeld_ = true;
  Timer1_Timer();
  eventsHeld_ = held;
}

void Form1::ShowScanProgress() {
  if (state_.ProgressCount < 30) {
    ProgressBar1_->setValue(state_.ProgressCount);
  } else {
    Text2_[1]->setText(QString::number(state_.ProgressCount));
  }
}

void Form1::writeList2Row(int row, const QString& text, bool checked) {
  QListWidgetItem* item = nullptr;
  if (List2_->count() == row) {
    item = new QListWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    List2_->addItem(item);
  } else {
    item = List2_->item(row);
    item->setText(text);
  }
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void Form1::ScanScene() {
  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  const auto fail = [this](const Error& error) {
    // The reload hand-over of a save or an insertion ends here too: a later scan must not
    // accept entries without their section headers.
    state_.ReloadPending = false;
    state_.Busy = false;
    state_.ProgressCount = 0;
    ProgressBar1_->setValue(0);
    ProgressBar1_->hide();
    // Nothing is loaded: neither "**** Working ****" nor the scan's progress count stays on show.
    setStatus(QString(), palette().color(QPalette::WindowText));
    Text2_[1]->clear();
    reportFailure(error);
    closeIfPending();
  };

  {
    auto opened = SceneFile::Open(PathFromUtf8(state_.ScenePath));
    if (!opened) {
      fail(opened.error());
      return;
    }
    WaitCursor hourglass;
    const std::unique_ptr<SceneFile> file = std::move(*opened);
    const SceneImage image(*file);

    Catalogue catalogue;
    if (image.length() > 0) {
      SectionFlags flags;
      if (state_.ReloadPending) flags = {state_.ScriptSectionSeen, state_.DefSectionSeen};
      ProgressBar1_->show();
      ProgressBar1_->raise();
      Result<Catalogue> scanned = scanCatalogueAside(image, flags);
      if (!scanned) {
        // A damaged scene: the message says where the chunk tree goes wrong.
        fail(WithDamageFinding(image, scanned.error()));
        return;
      }
      catalogue = std::move(*scanned);
    }
    state_.takeScene(MakeLoadedScene(*file, std::move(catalogue)));
    state_.ScriptSectionSeen = state_.Scene.catalogue.flags.scriptSectionSeen;
    state_.DefSectionSeen = state_.Scene.catalogue.flags.defSectionSeen;

    // The rows go into the list while Busy still keeps the script view from showing them.
    writingList2_ = true;
    for (int i = 0; i < state_.EntryCount; ++i) {
      const CatalogueRow& row = state_.Scene.catalogue.rows[static_cast<std::size_t>(i)];
      writeList2Row(i, FromSceneBytes(row.name), row.checked);
    }
    writingList2_ = false;

    if (image.length() > 0 && Check2_->isChecked()) ScanObjectParameters(&image);
  }  // the file is closed here: the script view reads the row on its own, and writes need it free

  state_.Busy = false;
  ProgressBar1_->setValue(0);
  ProgressBar1_->hide();
  state_.ProgressCount = 0;
  Timer1_->stop();

  if (state_.EntryCount == 0) {
    setStatus(QStringLiteral(" ---- No Script ---- "), palette().color(QPalette::WindowText));
    List2_->clear();
    Text2_[1]->clear();            // the scan's progress count
    state_.ReloadPending = false;  // no row to restore
  } else {
    setStatus(Text2_[2]->text(), QColor(0, 128, 0));
    if (List2_->currentRow() < 0) {
      List2_->setCurrentRow(0);  // shows the row through its click handler
    } else {
      List2_Click();
    }
    // Only now: a list that receives the focus without a current row makes its first row current
    // by itself, which would show a row a second time, after the reload had ended.
    List2_->setFocus();
  }
  if (Option1_->isChecked() && Check1_->isChecked()) scheduleOverview();
  closeIfPending();
}

Result<Catalogue> Form1::scanCatalogueAside(const SceneImage& image, SectionFlags flags) {
  // The scan reads the scene through its own image and fills a catalogue of its own: nothing of
  // the window is touched until it is done, and Busy keeps every handler that could act on the
  // scene from running meanwhile. Each progress step reaches the window as a call queued to this
  // thread; they are all shown, in order, before the rows are.
  CatalogueHooks hooks;
  hooks.initialProgressCount = state_.ProgressCount;
  const QThread* const windowThread = thread();
  hooks.progress = [this, windowThread](int count) {
    const auto show = [this, count] {
      state_.ProgressCount = count;
      ShowScanProgress();
    };
    if (QThread::currentThread() == windowThread) {
      show();
    } else {
      QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
    }
  };
  std::optional<Result<Catalogue>> scanned;
  const auto scan = [&]() noexcept {
    try {
      scanned.emplace(ScanCatalogue(image, flags, hooks));
    } catch (const std::bad_alloc&) {
      scanned.emplace(MakeError(ErrorKind::NotReadable,
                                "There is not enough memory to read the scene's catalogue."));
    } catch (...) {
      scanned.emplace(
          MakeError(ErrorKind::NotReadable, "The scene's catalogue could not be read."));
    }
  };
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread worker;
  if (!eventsHeld_) {
    try {
      worker = std::thread([&] {
        scan();
        const std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
      });
    } catch (const std::system_error&) {
      // No thread to be had: the scan runs here.
    }
  }
  if (!worker.joinable()) {
    scan();
    return std::move(*scanned);
  }
  // The window handles its events while it waits, a few milliseconds at a time. The end of the
  // scan is not an event: an event posted from another thread does not always wake a wait for
  // events (on Windows, a scene without rows left the window waiting for ever).
  ++yieldDepth_;
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::unique_lock lock(mutex);
    if (finished.wait_for(lock, std::chrono::milliseconds(4), [&] { return done; })) break;
  }
  --yieldDepth_;
  worker.join();
  // Every progress step the scan posted is shown before the rows are.
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  sinceYield_.restart();
  return std::move(*scanned);
}

void Form1::ScanObjectParameters(const SceneImage* openImage) {
  const LoadedScene& scene = state_.Scene;
  if (!scene.loaded()) return;  // no rows to match the objects with
  std::unique_ptr<SceneFile> ownFile;
  SceneImage ownImage;
  if (openImage == nullptr) {
    auto reopened = ReopenLoadedScene(scene);
    if (!reopened) {
      // Not silently: the panel would show the rows without their objects' values.
      reportFailure(reopened.error());
      return;
    }
    ownFile = std::move(*reopened);
    ownImage = SceneImage(*ownFile);
    openImage = &ownImage;
  }
  const int rowCount = scene.rowCount();
  state_.ProgressCount = 0;
  ProgressBar3_->setRange(0, rowCount >= 2 ? rowCount - 1 : 20);
  ProgressBar3_->setValue(0);
  ProgressBar3_->show();

  ObjectScanHooks hooks;
  hooks.yield = [this] { yieldToEvents(); };
  hooks.progress = [this](int count) {
    ProgressBar3_->setValue(std::min(count, ProgressBar3_->maximum()));
    state_.ProgressCount = count + 1;
  };
  const Result<ObjectScanResult> scanned =
      quorvex::ScanObjectParameters(*openImage, scene.rowNames(), hooks);
  state_.ProgressCount = 0;
  if (!scanned) {
    // Bytes that could not be read were seen as zeros: no value of this scan can be trusted, and
    // the panel must not show the rows as if their objects had none.
    reportFailure(scanned.error());
    return;
  }
  const ObjectScanResult& result = *scanned;
  state_.takeObjectParams(result.matches, !result.error);
  if (!result.matches.empty()) {
    // A new object gets the rotation of the last object read until the dial is used.
    state_.CurrentRotationA = result.matches.back().rotationA();
    state_.CurrentRotationC = result.matches.back().rotationC();
  }
  if (result.error) return;  // a damaged object: what was read before it stands
  ProgressBar3_->hide();
}

}  // namespace quorvex::ui
