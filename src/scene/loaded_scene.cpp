#include "scene/loaded_scene.h"

#include "scene/text_codec.h"
#include "scene/write_checks.h"

namespace quorvex {
namespace {

// A read refused because the file is no longer the one that was loaded.
Error ChangedSinceLoaded(const std::string& detail) {
  return MakeError(ErrorKind::ChangedOnDisk,
                   std::string(kChangedOnDiskMessage) + " (" + detail + ")");
}

}  // namespace

std::vector<ByteString> LoadedScene::rowNames() const {
  std::vector<ByteString> names;
  names.reserve(catalogue.rows.size());
  for (const CatalogueRow& row : catalogue.rows) names.push_back(row.name);
  return names;
}

std::string LoadedScene::fileName() const {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

LoadedScene MakeLoadedScene(const SceneFile& file, Catalogue catalogue) {
  LoadedScene scene;
  scene.path = file.path();
  scene.identity = file.identity();
  scene.length = static_cast<Pos>(file.size());
  scene.written = file.stamp().written;
  scene.objects.resize(catalogue.rows.size());
  scene.catalogue = std::move(catalogue);
  return scene;
}

Result<std::unique_ptr<SceneFile>> ReopenLoadedScene(const LoadedScene& scene) {
  if (!scene.loaded()) return MakeError(ErrorKind::NoFile, kSelectFileMessage);
  auto file = SceneFile::Open(scene.path);
  if (!file) return file;
  if ((*file)->identity() != scene.identity) {
    return ChangedSinceLoaded(QuotedPath(scene.path) + " is another file now");
  }
  if (static_cast<Pos>((*file)->size()) != scene.length) {
    return ChangedSinceLoaded(QuotedPath(scene.path) + " is now " +
                              std::to_string((*file)->size()) + " bytes long, not " +
                              std::to_string(scene.length));
  }
  return file;
}

Status CheckIsLoadedScene(const LoadedScene& scene, const std::filesystem::path& selected) {
  if (!scene.loaded() || selected.lexically_normal() != scene.path.lexically_normal()) {
    return MakeError(ErrorKind::Refused, QuotedPath(selected) + " is not the loaded scene.");
  }
  const Result<FileStamp> stamp = StampOf(selected);
  if (!stamp) return ChangedOnDisk(stamp.error().message);
  if (stamp->identity != scene.identity) {
    return ChangedOnDisk(QuotedPath(selected) + " is another file now");
  }
  if (*stamp != scene.stamp()) {
    return ChangedOnDisk(QuotedPath(selected) +
                         " was written by another program since it was loaded; press \"Start\" "
                         "to load it again.");
  }
  return OkStatus();
}

void TakeOwnWrite(LoadedScene& scene) {
  const Result<FileStamp> now = StampOf(scene.path);
  if (!now) return;
  scene.identity = now->identity;
  scene.length = static_cast<Pos>(now->length);
  scene.written = now->written;
}

namespace {

// The row's script in `image`: its length must still be the one the scan read.
Result<ByteString> ScriptAt(const SceneImage& image, const CatalogueRow& entry) {
  const Pos p = *entry.scriptLengthPos;
  if (image.int32At(p) != entry.scriptLength) {
    return ChangedSinceLoaded("the script of \"" + BytesToUtf8(entry.name) +
                              "\" no longer has its length");
  }
  std::optional<ByteString> text = image.bytesAt(p + 4, *entry.scriptLength);
  if (!text) {
    return ChangedSinceLoaded("the script of \"" + BytesToUtf8(entry.name) +
                              "\" runs past the end");
  }
  return std::move(*text);
}

}  // namespace

Result<ByteString> ReadRowScript(const LoadedScene& scene, int row) {
  if (!scene.hasRow(row)) {
    return MakeError(ErrorKind::NoSuchRow, "There is no row " + std::to_string(row) + ".");
  }
  const CatalogueRow& entry = scene.catalogue.rows[static_cast<std::size_t>(row)];
  if (!entry.scriptLengthPos || !entry.scriptLength) {
    return MakeError(ErrorKind::NoScript, "Row " + std::to_string(row) + " has no script.");
  }
  auto file = ReopenLoadedScene(scene);
  if (!file) return file.error();
  const SceneImage image(**file);
  return CheckedRead(image, ScriptAt(image, entry));
}

void RecordObjectParams(LoadedScene& scene, const std::vector<ObjectParams>& matches) {
  for (const ObjectParams& match : matches) {
    if (match.row < 0 || static_cast<std::size_t>(match.row) >= scene.objects.size()) continue;
    RowObject& row = scene.objects[static_cast<std::size_t>(match.row)];
    ObjectParams recorded = match;
    if (!recorded.model && row) recorded.model = row->model;  // the row keeps its model
    row = std::move(recorded);
  }
}

}  // namespace quorvex
