// The script overview: every script of the loaded scene under a header line. The one place that
// builds the overview and puts it into its view.
#include <QListWidget>
#include <QTimer>

#include "scene/loaded_scene.h"
#include "script/overview.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"

namespace quorvex::ui {

void Form1::Command3_Click() {
  BuildScriptOverview();
}

void Form1::scheduleOverview() {
  // The rows and the row on show reach the screen first; the overview is built in a later turn of
  // the event loop, after the window has handled what was pending.
  List2_->repaint();
  Text1_->repaint();
  overviewTimer_->start();
}

void Form1::BuildScriptOverview() {
  overviewTimer_->stop();  // built now: a scheduled build would only repeat it
  RichTextBox1_->clearBytes();
  const LoadedScene& scene = state_.Scene;
  if (!scene.loaded()) {
    // No rows: no script to show.
    if (!takeScenePath()) reportSelectFile();
    return;
  }
  auto file = ReopenLoadedScene(scene);
  if (!file) {
    reportFailure(file.error());
    return;
  }
  const SceneImage image(**file);
  Result<ByteString> overview = quorvex::BuildScriptOverview(image, scene.catalogue);
  if (!overview) {
    reportFailure(overview.error());
    return;
  }
  RichTextBox1_->setBytes(*overview);
}

}  // namespace quorvex::ui
