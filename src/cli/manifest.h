#pragma once
// manifest.json of an export folder: which scene the scripts were exported from, and for each
// exported script its row, name, file, length and SHA-256, so that an import writes back exactly
// the scripts whose files were edited, and only into the scene they came from.

#include <cstdint>
#include <string>
#include <vector>

#include "scene/result.h"

namespace quorvex::cli {

inline constexpr const char* kManifestName = "manifest.json";

struct ManifestScript {
  int row = 0;
  std::string name;  // the row's name as UTF-8
  bool standalone = false;
  std::string file;  // a plain file name inside the export folder
  std::int64_t length = 0;
  std::string sha256;  // 64 lowercase hex digits
};

struct Manifest {
  std::string scene;  // the scene's file name, UTF-8
  std::int64_t sceneLength = 0;
  std::string sceneSha256;
  std::vector<ManifestScript> scripts;
};

std::string ManifestJson(const Manifest& manifest);

// Fails (Invalid) on anything but a manifest as ManifestJson writes it: missing or mistyped
// fields, a digest that is not 64 hex digits, a file that is not a plain name in the folder (or is
// the manifest itself, or is listed twice), a row listed twice.
Result<Manifest> ParseManifest(const std::string& text);

}  // namespace quorvex::cli
