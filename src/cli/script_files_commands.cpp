// quorvex-cli export and import: a scene's scripts as files in a folder, with a manifest that ties
// them to the exact scene they came from, and back into that scene in one write.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

#include "cli/commands.h"
#include "cli/manifest.h"
#include "scene/catalogue.h"
#include "scene/chunk_check.h"
#include "scene/result_check.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "scene/sha256.h"
#include "scene/text_codec.h"
#include "script/script_files.h"

namespace quorvex::cli {
namespace {

namespace fs = std::filesystem;

int Failed(const std::string& message) {
  std::cerr << "quorvex-cli: " << message << "\n";
  return kExitFailed;
}

std::string Utf8Of(const fs::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

Status WriteWholeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) return MakeError(ErrorKind::WriteFailed, "Cannot write " + QuotedPath(path) + ".");
  return OkStatus();
}

// Absent when the file does not exist; an error when it cannot be read.
Result<std::optional<ByteString>> ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return std::optional<ByteString>();
  if (!fs::is_regular_file(path, ec)) {
    return MakeError(ErrorKind::NotReadable, QuotedPath(path) + " is not a file.");
  }
  std::ifstream in(path, std::ios::binary);
  ByteString bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    return MakeError(ErrorKind::NotReadable, "Cannot read " + QuotedPath(path) + ".");
  }
  return std::optional<ByteString>(std::move(bytes));
}

// The export folder, created when missing; refused when it holds anything and `force` is not set.
Status PrepareFolder(const fs::path& dir, bool force) {
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec)) {
      return MakeError(ErrorKind::Refused, QuotedPath(dir) + " is not a folder.");
    }
    if (!force && !fs::is_empty(dir, ec)) {
      return MakeError(ErrorKind::Refused, QuotedPath(dir) +
                                               " already holds files; give --force to write the "
                                               "export into it anyway.");
    }
    if (ec)
      return MakeError(ErrorKind::NotReadable, "Cannot read the folder " + QuotedPath(dir) + ".");
    // An old manifest goes first: should this export fail half-way, no manifest describes files
    // that were partly replaced.
    fs::remove(dir / kManifestName, ec);
    if (ec)
      return MakeError(ErrorKind::WriteFailed,
                       "Cannot remove the old " + QuotedPath(dir / kManifestName) + ".");
    return OkStatus();
  }
  fs::create_directories(dir, ec);
  if (ec) {
    return MakeError(ErrorKind::WriteFailed,
                     "Cannot create the folder " + QuotedPath(dir) + ": " + ec.message() + ".");
  }
  return OkStatus();
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

}  // namespace

int Export(const std::string& scene, const std::string& folder, bool force) {
  const auto scenePath = PathFromUtf8(scene);
  auto file = SceneFile::Open(scenePath);
  if (!file) return Failed(file.error().message);
  const SceneImage image(**file);
  auto catalogue = ScanCatalogue(image);
  if (!catalogue) return Failed(WithDamageFinding(image, catalogue.error()).message);
  auto sha256 = SceneSha256(image);
  if (!sha256) return Failed(sha256.error().message);

  const auto dir = PathFromUtf8(folder);
  if (auto s = PrepareFolder(dir, force); !s) return Failed(s.error().message);

  Manifest manifest;
  manifest.scene = Utf8Of(scenePath.filename());
  manifest.sceneLength = image.length();
  manifest.sceneSha256 = *sha256;
  for (std::size_t i = 0; i < catalogue->rows.size(); ++i) {
    const auto& row = catalogue->rows[i];
    const auto text = ScriptTextOf(image, row);
    if (image.readFailure()) return Failed(image.readFailure()->message);
    if (!text) continue;
    ManifestScript entry;
    entry.row = static_cast<int>(i);
    entry.name = BytesToUtf8(row.name);
    entry.standalone = row.standalone;
    entry.file = ExportFileName(entry.row, row.name);
    entry.length = static_cast<std::int64_t>(text->size());
    entry.sha256 = Sha256Hex(*text);
    if (auto s = WriteWholeFile(dir / entry.file, *text); !s) return Failed(s.error().message);
    manifest.scripts.push_back(std::move(entry));
  }
  if (auto s = WriteWholeFile(dir / kManifestName, ManifestJson(manifest)); !s) {
    return Failed(s.error().message);
  }
  std::cout << "exported " << manifest.scripts.size() << " scripts to " << folder << "\n";
  return kExitOk;
}

int Import(const std::string& scene, const std::string& folder) {
  const auto dir = PathFromUtf8(folder);
  auto manifestText = ReadWholeFile(dir / kManifestName);
  if (!manifestText) return Failed(manifestText.error().message);
  if (!*manifestText) {
    return Failed(QuotedPath(dir / kManifestName) + " is missing: export the scene into " +
                  QuotedPath(dir) + " first. Nothing was written.");
  }
  auto manifest = ParseManifest(**manifestText);
  if (!manifest) return Failed(manifest.error().message);

  // The scripts whose files no longer match the manifest.
  std::vector<ScriptChange> changes;
  for (const auto& entry : manifest->scripts) {
    auto text = ReadWholeFile(dir / entry.file);
    if (!text) return Failed(text.error().message);
    if (!*text) {
      return Failed("The script file " + QuotedPath(dir / entry.file) + " of row " +
                    std::to_string(entry.row) + " is missing. Nothing was written.");
    }
    if (Sha256Hex(**text) != entry.sha256) changes.push_back({entry.row, std::move(**text)});
  }

  if (changes.empty()) {
    auto file = SceneFile::Open(PathFromUtf8(scene));
    if (!file) return Failed(file.error().message);
    if (auto s = CheckExportedScene(SceneImage(**file), *manifest); !s) {
      return Failed(s.error().message);
    }
    std::cout << "no changes\n";
    return kExitOk;
  }

  std::vector<ImportedScript> imported;
  std::vector<ByteString> names;
  std::optional<quorvex::Catalogue> before;
  const auto written = WriteScene(
      PathFromUtf8(scene),
      [&](const SceneImage& image) -> Result<EditPlan> {
        if (auto s = CheckExportedScene(image, *manifest); !s) return s.error();
        auto catalogue = ScanCatalogue(image);
        if (!catalogue) return WithDamageFinding(image, catalogue.error());
        before = std::move(*catalogue);
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
  return kExitOk;
}

}  // namespace quorvex::cli
