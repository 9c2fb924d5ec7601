// The model browser: every "*.i3d" name that the scene holds. The one place that lists them.
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <span>

#include "objects/model_listing.h"
#include "scene/loaded_scene.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "ui/form1.h"
#include "ui/model_list_view.h"
#include "ui/wait_cursor.h"

namespace quorvex::ui {

void Form1::Command1_Click() {
  if (state_.Busy) return;  // a listing or a scan is already running
  state_.Busy = true;
  {
    WaitCursor hourglass;
    ListSceneModels();
  }
  state_.Busy = false;
  closeIfPending();
}

void Form1::ListSceneModels() {
  // The list shows the latest listing only: names of an earlier, longer listing would name
  // models the scene does not hold.
  ModelNameList* rows = List1_->names();
  rows->clear();
  // The loaded scene's models, read from the file that was loaded; before a scene is loaded, the
  // models of the file selected in File1.
  if (!state_.Scene.loaded() && !takeScenePath()) {
    rows->appendName({});
    messages_->inform(QString::fromLatin1(kAppTitle), QStringLiteral(" Please select file!!"));
    return;
  }
  auto loaded = state_.Scene.loaded() ? ReopenLoadedScene(state_.Scene)
                                      : SceneFile::Open(PathFromUtf8(state_.ScenePath));
  if (!loaded) {
    rows->appendName({});
    reportFailure(loaded.error());
    return;
  }
  const SceneImage image(**loaded);
  ProgressBar2_->setValue(1);
  rows->appendName("Processing");
  List1_->repaint();

  ModelListingHooks hooks;
  hooks.progress = [this](int value) { ProgressBar2_->setValue(std::min(value, 100)); };
  hooks.yield = [this] { yieldToEvents(); };
  const Result<std::vector<ModelName>> listed = quorvex::ListSceneModels(image, hooks);

  rows->clear();
  if (!listed) {
    // The names found before the failed read would look like the whole list.
    rows->appendName({});
    reportFailure(listed.error());
    return;
  }
  const std::vector<ModelName>& names = *listed;
  if (names.empty()) {
    rows->appendName({});
    messages_->inform(QString::fromLatin1(kAppTitle),
                      QStringLiteral(" There are no Models (*.i3d) found"));
    return;
  }
  // Added in blocks, handing out events between them: a scene can name tens of thousands.
  constexpr std::size_t kBlock = 4096;
  const std::span<const ModelName> all(names);
  for (std::size_t first = 0; first < all.size(); first += kBlock) {
    const Status added =
        rows->appendNames(image, all.subspan(first, std::min(kBlock, all.size() - first)));
    if (!added) {
      // Names read again after the listing: another program made the file shorter meanwhile.
      rows->clear();
      rows->appendName({});
      reportFailure(added.error());
      return;
    }
    yieldToEvents();
  }
  setStatus(QStringLiteral("     ***** Ready ***** "), QColor(0, 128, 0));
}

}  // namespace quorvex::ui
