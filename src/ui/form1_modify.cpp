// "Insert/Modify" on an object of the loaded scene: its translation, rotation and size rewritten in
// place, after the question. The checks before the write and the write itself are the core's.
#include <QLineEdit>
#include <QListWidget>
#include <bit>
#include <cmath>
#include <limits>

#include "objects/modify_object.h"
#include "objects/rotation.h"
#include "scene/loaded_scene.h"
#include "ui/form1.h"
#include "ui/insert_numbers.h"
#include "ui/scene_text.h"

namespace quorvex::ui {

void Form1::ObjectModify() {
  const QString changing = QStringLiteral("Changing");
  const int r = List2_->currentRow();
  const LoadedScene& scene = state_.Scene;
  if (r >= List2_->count() || !scene.hasRow(r)) {
    messages_->inform(changing, QStringLiteral("Select an object"));
    return;
  }
  // Only an object that the parameter scan found in the loaded scene has a place to write to.
  const RowObject& object = scene.objects[static_cast<std::size_t>(r)];
  if (r == state_.FirstStandaloneScriptRow || !scene.objectsRead || !object) {
    messages_->inform(changing, QStringLiteral("No object to change"));
    return;
  }

  // The six boxes, checked as insertion checks them. A box that still shows the stored value
  // keeps that value exactly: the text shows only 7 significant digits.
  const float stored[6] = {object->translation[0], object->translation[1], object->translation[2],
                           object->size[0],        object->size[1],        object->size[2]};
  float values[6] = {};
  for (int i = 0; i < 6; ++i) {
    const QString text = Text_[static_cast<std::size_t>(5 + i)]->text();
    if (text.isEmpty()) {
      messages_->inform(QString(), QStringLiteral("Fill all fields"));
      return;
    }
  }
  for (int i = 0; i < 6; ++i) {
    const QString text = Text_[static_cast<std::size_t>(5 + i)]->text();
    if (text == FormatSingle(stored[i])) {
      values[i] = stored[i];
      continue;
    }
    const std::optional<double> number = ParseUserNumber(text, QLocale());
    if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) {
      messages_->inform(i < 3 ? QStringLiteral("Translation") : QStringLiteral("Size"),
                        QStringLiteral("Put numeric"));
      return;
    }
    values[i] = static_cast<float>(*number);
  }
  if (!takeScenePath()) {
    reportSelectFile();
    return;
  }
  if (!selectedIsLoadedScene()) return;

  if (!messages_->askYesNo(changing, QStringLiteral("Want to change parameter?"))) return;

  // Everything as stored, B and D included; then what the user set: the boxes, and the rotation
  // when the dial was set for the row.
  ModifyRequest request = ModifyRequestFrom(*object, scene.length);
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = values[i];
    request.size[i] = values[3 + i];
  }
  if (const std::optional<RotationPair> dial = state_.dialRotation(r)) {
    request.rotation[0] = std::bit_cast<std::uint32_t>(dial->a);
    request.rotation[2] = std::bit_cast<std::uint32_t>(dial->c);
  }
  Result<WriteMode> written = ModifyObject(scene.path, request, *files_);
  if (!written) {
    reportFailure(written.error());  // the scene and what the dial set are unchanged
    return;
  }
  ObjectParams onDisk = *object;
  for (int i = 0; i < 3; ++i) {
    onDisk.translation[i] = request.translation[i];
    onDisk.size[i] = request.size[i];
  }
  for (int i = 0; i < 4; ++i) onDisk.rotation[i] = request.rotation[i];
  // Ten values that straddle a page went through a replacement: take the file as written.
  state_.takeOwnWrite({onDisk});
  showSaved();
  warnIfNotFlushed(*written);
}

}  // namespace quorvex::ui
