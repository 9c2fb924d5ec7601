// quorvex-cli export and import: a scene's scripts as files in a folder, with a manifest that ties
// them to the exact scene they came from, and back into that scene in one write.
//
// Both read the scene through a SteadySource: export takes the catalogue, the script texts and the
// scene's digest from what must be one and the same content, and refuses when another program
// rewrote the scene in between. Export writes into a staging folder inside DIR and moves the files
// to their names only when all of them are complete, replacing links rather than following them.
// Import checks the scene against the manifest before it reads a single script file, reads only
// regular files inside DIR, and writes a row only when the scene's row at that number still has
// the manifest's name and its script the manifest's digest.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/manifest.h"
#include "scene/catalogue.h"
#include "scene/chunk_check.h"
#include "scene/result_check.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "scene/sha256.h"
#include "scene/steady_source.h"
#include "scene/text_codec.h"
#include "script/script_files.h"

namespace quorvex::cli {
namespace {

namespace fs = std::filesystem;

// Far more than 5001 rows can need; a larger "manifest" is refused unread.
constexpr std::uint64_t kMaxManifestBytes = 64u << 20;

// `message` as a finished sentence followed by `tail`.
std::string Then(std::string message, const std::string& tail) {
  if (!message.empty() && message.back() != '.') message += '.';
  return message + " " + tail;
}

std::string Utf8Of(const fs::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool Missing(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::not_found;
}

Error ChangedSinceExport(std::int64_t length, const std::string& sha256, const Manifest& manifest) {
  return MakeError(ErrorKind::ChangedOnDisk,
                   "The scene changed since the export: it is " + std::to_string(length) +
                       " bytes long with SHA-256 " + sha256 + ", the export was made from " +
                       std::to_string(manifest.sceneLength) + " bytes with SHA-256 " +
                       manifest.sceneSha256 + ". Nothing was written.");
}

// The scene is the one the manifest was made from.
Status CheckExportedScene(const SceneImage& image, const Manifest& manifest) {
  const auto sha256 = SceneSha256(image);
  if (!sha256) return sha256.error();
  if (image.length() != manifest.sceneLength || *sha256 != manifest.sceneSha256) {
    return ChangedSinceExport(image.length(), *sha256, manifest);
  }
  return OkStatus();
}

std::string RowLabel(const ManifestScript& entry) {
  return "row " + std::to_string(entry.row) + " (" + entry.name + ")";
}

// The scene's row for a manifest entry: it must exist, carry the manifest's name and have a script
// position, or the manifest does not describe this scene's rows.
Result<const CatalogueRow*> RowOf(const quorvex::Catalogue& catalogue,
                                  const ManifestScript& entry) {
  const auto index = static_cast<std::size_t>(entry.row);
  if (index >= catalogue.rows.size()) {
    return MakeError(ErrorKind::ChangedOnDisk,
                     "The manifest lists " + RowLabel(entry) + ", but the scene has " +
                         std::to_string(catalogue.rows.size()) + " rows. Nothing was written.");
  }
  const auto& row = catalogue.rows[index];
  if (BytesToUtf8(row.name) != entry.name) {
    return MakeError(ErrorKind::ChangedOnDisk, "The manifest lists " + RowLabel(entry) +
                                                   ", but row " + std::to_string(entry.row) +
                                                   " of the scene is " + BytesToUtf8(row.name) +
                                                   ". Nothing was written.");
  }
  if (!row.scriptLengthPos || !row.scriptLength) {
    return MakeError(ErrorKind::ChangedOnDisk, "The manifest lists " + RowLabel(entry) +
                                                   ", but that row has no script in the scene. "
                                                   "Nothing was written.");
  }
  return &row;
}

// The row's script in the scene still has the digest the manifest recorded at the export.
Status CheckScriptDigest(const SceneImage& image, const CatalogueRow& row,
                         const ManifestScript& entry) {
  Sha256 digest;
  image.forEachRun(*row.scriptLengthPos + 4, *row.scriptLength,
                   [&](std::span<const std::uint8_t> piece) { digest.update(piece); });
  if (image.readFailure()) return *image.readFailure();
  if (digest.hexDigest() != entry.sha256) {
    return MakeError(ErrorKind::ChangedOnDisk,
                     "The script of " + RowLabel(entry) +
                         " in the scene is not the one the manifest records (its SHA-256 "
                         "differs), so the file cannot be its edited copy. Nothing was written.");
  }
  return OkStatus();
}

// Whether `text` equals the row's script in the scene.
Result<bool> SameAsScript(const SceneImage& image, const CatalogueRow& row,
                          const ByteString& text) {
  if (static_cast<std::int64_t>(text.size()) != *row.scriptLength) return false;
  return CheckedRead(image, Result<bool>(BytesAre(image, *row.scriptLengthPos + 4, text)));
}

// The scripts whose files differ from the scene's scripts, each read only after its row has been
// checked, and refused before it is read when it is longer than the scene could take.
Result<std::vector<ScriptChange>> ChangedScripts(const SceneImage& image,
                                                 const quorvex::Catalogue& catalogue,
                                                 const Manifest& manifest, const fs::path& dir,
                                                 platform::FileSystem& files) {
  std::vector<ScriptChange> changes;
  for (const auto& entry : manifest.scripts) {
    auto row = RowOf(catalogue, entry);
    if (!row) return row.error();
    const auto path = dir / PathFromUtf8(entry.file);
    if (Missing(path)) {
      return MakeError(ErrorKind::NotReadable, "The script file " + QuotedPath(path) + " of row " +
                                                   std::to_string(entry.row) +
                                                   " is missing. Nothing was written.");
    }
    const std::uint64_t room = kMaxSceneLength - static_cast<std::uint64_t>(image.length()) +
                               static_cast<std::uint64_t>(*(*row)->scriptLength);
    auto text = files.readFile(path, room);
    if (!text) {
      return MakeError(text.error().kind, Then("The script file of " + RowLabel(entry) +
                                                   " cannot be taken: " + text.error().message,
                                               "Nothing was written."));
    }
    const auto same = SameAsScript(image, **row, *text);
    if (!same) return same.error();
    if (*same) continue;
    if (auto s = CheckScriptDigest(image, **row, entry); !s) return s.error();
    changes.push_back({entry.row, std::move(*text)});
  }
  return changes;
}

// Under the write lock, the rows about to be written are checked once more.
Status CheckChangedRows(const SceneImage& image, const quorvex::Catalogue& catalogue,
                        const Manifest& manifest, const std::vector<ScriptChange>& changes) {
  for (const auto& entry : manifest.scripts) {
    auto row = RowOf(catalogue, entry);
    if (!row) return row.error();
    const bool changed = std::any_of(changes.begin(), changes.end(),
                                     [&](const ScriptChange& c) { return c.row == entry.row; });
    if (!changed) continue;
    if (auto s = CheckScriptDigest(image, **row, entry); !s) return s;
  }
  return OkStatus();
}

}  // namespace

int Export(const std::string& scene, const std::string& folder, bool force,
           platform::FileSystem& files) {
  const auto scenePath = PathFromUtf8(scene);
  auto file = files.openScene(scenePath);
  if (!file) return Failed(file.error().message);
  // Every byte taken from the scene is compared with the same byte when it is read again (the
  // digest reads them all): the manifest, the files and the digest describe one content.
  const SteadySource steady(**file);
  const SceneImage image(steady);
  auto catalogue = ScanCatalogue(image);
  if (!catalogue) return Failed(WithDamageFinding(image, catalogue.error()).message);

  const auto dir = PathFromUtf8(folder);
  auto staged = files.stageFiles(dir, force);
  if (!staged) return Failed(staged.error().message);
  const auto nothing = [](const Error& error) {
    return Failed(Then(error.message, "Nothing was exported."));
  };

  Manifest manifest;
  manifest.scene = Utf8Of(scenePath.filename());
  manifest.sceneLength = image.length();
  std::vector<std::string> names;
  for (std::size_t i = 0; i < catalogue->rows.size(); ++i) {
    const auto& row = catalogue->rows[i];
    const auto read = ScriptTextOf(image, row);
    if (!read) return nothing(read.error());
    const auto& text = *read;
    if (!text) continue;
    ManifestScript entry;
    entry.row = static_cast<int>(i);
    entry.name = BytesToUtf8(row.name);
    entry.standalone = row.standalone;
    entry.file = ExportFileName(entry.row, row.name);
    entry.length = static_cast<std::int64_t>(text->size());
    entry.sha256 = Sha256Hex(*text);
    if (auto s = (*staged)->write(entry.file, *text); !s) return nothing(s.error());
    names.push_back(entry.file);
    manifest.scripts.push_back(std::move(entry));
  }
  auto sha256 = SceneSha256(SceneImage(steady));
  if (!sha256) return nothing(sha256.error());
  manifest.sceneSha256 = *sha256;
  if (auto s = (*staged)->write(kManifestName, ManifestJson(manifest)); !s) {
    return nothing(s.error());
  }
  names.push_back(kManifestName);  // last: a manifest describes only files already in place

  const auto committed = (*staged)->commit(names, (*file)->identity(), kManifestName);
  if (!committed) return Failed(committed.error().message);
  std::cout << "exported " << manifest.scripts.size() << " scripts to " << folder << "\n";
  if (!*committed) WarnNotFlushed();
  return kExitOk;
}

int Import(const std::string& scene, const std::string& folder, platform::FileSystem& files) {
  const auto dir = PathFromUtf8(folder);
  const auto manifestPath = dir / kManifestName;
  if (Missing(manifestPath)) {
    return Failed(QuotedPath(manifestPath) + " is missing: export the scene into " +
                  QuotedPath(dir) + " first. Nothing was written.");
  }
  auto manifestText = files.readFile(manifestPath, kMaxManifestBytes);
  if (!manifestText) return Failed(Then(manifestText.error().message, "Nothing was written."));
  auto manifest = ParseManifest(*manifestText);
  if (!manifest) return Failed(manifest.error().message);

  // A first look, reading only: the scene must be the exported one before a script file is read.
  const auto scenePath = PathFromUtf8(scene);
  std::vector<ScriptChange> changes;
  {
    auto file = files.openScene(scenePath);
    if (!file) return Failed(file.error().message);
    const SteadySource steady(**file);
    const SceneImage image(steady);
    if (auto s = CheckExportedScene(image, *manifest); !s) return Failed(s.error().message);
    auto catalogue = ScanCatalogue(image);
    if (!catalogue) return Failed(WithDamageFinding(image, catalogue.error()).message);
    auto found = ChangedScripts(image, *catalogue, *manifest, dir, files);
    if (!found) return Failed(found.error().message);
    changes = std::move(*found);
  }
  if (changes.empty()) {
    std::cout << "no changes\n";
    return kExitOk;
  }

  std::vector<ImportedScript> imported;
  std::vector<ByteString> names;
  std::optional<quorvex::Catalogue> before;
  const auto written = WriteScene(
      files, scenePath,
      [&](const SceneImage& image) -> Result<EditPlan> {
        // The scene may have changed since the first look: all of it is checked again.
        if (auto s = CheckExportedScene(image, *manifest); !s) return s.error();
        auto catalogue = ScanCatalogue(image);
        if (!catalogue) return WithDamageFinding(image, catalogue.error());
        before = std::move(*catalogue);
        if (auto s = CheckChangedRows(image, *before, *manifest, changes); !s) return s.error();
        auto import = PlanScriptImport(image, *before, std::move(changes));
        if (!import) return import.error();
        imported = std::move(import->scripts);
        for (const auto& script : imported) {
          names.push_back(before->rows[static_cast<std::size_t>(script.row)].name);
        }
        return std::move(import->plan);
      },
      // Every imported script must read back as its file's bytes, every row stay where it is.
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        WriteIntent intent;
        intent.before = &*before;
        for (const auto& script : imported) {
          const auto& row = before->rows[static_cast<std::size_t>(script.row)];
          intent.scripts.push_back({*row.scriptLengthPos, script.text});
        }
        return CheckPlannedResult(current, plan, result, intent);
      });
  if (!written) return Failed(written.error().message);
  for (std::size_t i = 0; i < imported.size(); ++i) {
    std::cout << "row " << imported[i].row << " " << BytesToUtf8(names[i]) << ": "
              << imported[i].oldLength << " -> " << imported[i].text.size() << " bytes\n";
  }
  if (*written == WriteMode::ReplacedNotFlushed) WarnNotFlushed();
  return kExitOk;
}

}  // namespace quorvex::cli
