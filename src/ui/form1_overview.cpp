// The script overview: every script of the loaded scene under a header line. The one place that
// builds the overview and puts it into its view.
#include <QListWidget>
#include <QTimer>

#include "scene/chunk_check.h"
#include "scene/loaded_scene.h"
#include "script/overview.h"
#include "ui/byte_text_edit.h"
#include "ui/form1.h"
#include "ui/line_index.h"
#include "ui/overview_view.h"

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
  if (state_.Busy) {
    // A scan, a listing or a search hands out events: a search runs over the overview on show,
    // and a scan is about to replace the scene. Build once it has finished.
    overviewTimer_->start();
    return;
  }
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
  // The text is written straight into the one string the view takes over; events are handed out
  // between scripts, while Busy keeps them from starting a scan or a search.
  state_.Busy = true;
  // Room for the whole text at once: growing it by doubling would copy tens of megabytes in one
  // step, between two turns of the event loop. The text holds at most every byte of the file and a
  // header line per row; pages not written are never touched.
  ByteString overview;
  std::size_t bound = static_cast<std::size_t>(scene.length);
  for (const CatalogueRow& row : scene.catalogue.rows) {
    if (row.checked) bound += row.name.size() + 64;
  }
  overview.reserve(bound);
  // Its lines are indexed piece by piece as it is written, while each piece is fresh in the cache;
  // indexing the whole text once it is done would keep the window from its events for tens of
  // milliseconds.
  LineIndex lines;
  const Status written = WriteScriptOverview(image, scene.catalogue, [&](std::string_view piece) {
    overview.append(piece);
    lines.extend(overview);
    yieldToEvents();
  });
  state_.Busy = false;
  if (!written) {
    reportFailure(WithDamageFinding(image, written.error()));
  } else {
    RichTextBox1_->setBytes(std::move(overview), std::move(lines));
  }
  closeIfPending();
}

}  // namespace quorvex::ui
