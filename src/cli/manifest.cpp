#include "cli/manifest.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

namespace quorvex::cli {
namespace {

using ordered_json = nlohmann::ordered_json;

Error Invalid(const std::string& why) {
  return MakeError(ErrorKind::Invalid, std::string(kManifestName) +
                                           " is not a valid export manifest: " + why +
                                           ". Nothing was written.");
}

bool IsDigest(std::string& text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                          [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// A file name that stays inside the export folder: no separator, no drive, not "." or "..".
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

// The name in lower case (ASCII letters), as a case-insensitive file system compares it.
std::string Folded(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return name;
}

}  // namespace

std::string ManifestJson(const Manifest& manifest) {
  ordered_json j;
  j["scene"] = manifest.scene;
  j["sceneLength"] = manifest.sceneLength;
  j["sceneSha256"] = manifest.sceneSha256;
  j["scripts"] = ordered_json::array();
  for (const auto& s : manifest.scripts) {
    ordered_json entry;
    entry["row"] = s.row;
    entry["name"] = s.name;
    entry["standalone"] = s.standalone;
    entry["file"] = s.file;
    entry["length"] = s.length;
    entry["sha256"] = s.sha256;
    j["scripts"].push_back(std::move(entry));
  }
  return j.dump(2) + "\n";
}

Result<Manifest> ParseManifest(const std::string& text) {
  const auto j = ordered_json::parse(text, nullptr, false);
  if (j.is_discarded()) return Invalid("it is not JSON");
  if (!j.is_object()) return Invalid("it is not a JSON object");
  Manifest manifest;
  try {
    if (!j.at("sceneLength").is_number_integer()) return Invalid("\"sceneLength\" is no integer");
    if (!j.at("scripts").is_array()) return Invalid("\"scripts\" is no list");
    manifest.scene = j.at("scene").get<std::string>();
    manifest.sceneLength = j.at("sceneLength").get<std::int64_t>();
    manifest.sceneSha256 = j.at("sceneSha256").get<std::string>();
    if (!IsDigest(manifest.sceneSha256)) return Invalid("\"sceneSha256\" is no SHA-256 digest");
    std::set<int> rows;
    std::set<std::string> files;  // in any letter case: one file on Windows
    for (const auto& entry : j.at("scripts")) {
      ManifestScript s;
      if (!entry.at("row").is_number_integer() || !entry.at("length").is_number_integer()) {
        return Invalid("a script's \"row\" or \"length\" is no integer");
      }
      const auto row = entry.at("row").get<std::int64_t>();
      if (row < 0 || row > std::numeric_limits<int>::max()) {
        return Invalid("row " + std::to_string(row) + " is out of range");
      }
      s.row = static_cast<int>(row);
      s.name = entry.at("name").get<std::string>();
      s.standalone = entry.at("standalone").get<bool>();
      s.file = entry.at("file").get<std::string>();
      s.length = entry.at("length").get<std::int64_t>();
      s.sha256 = entry.at("sha256").get<std::string>();
      if (!rows.insert(s.row).second)
        return Invalid("row " + std::to_string(s.row) + " is listed twice");
      if (!IsPlainFileName(s.file))
        return Invalid("\"" + s.file + "\" is not a file name in the folder");
      if (Folded(s.file) == kManifestName)
        return Invalid("row " + std::to_string(s.row) + " names the manifest as its script file");
      if (!files.insert(Folded(s.file)).second)
        return Invalid("\"" + s.file + "\" is listed twice");
      if (!IsDigest(s.sha256))
        return Invalid("the \"sha256\" of \"" + s.file + "\" is no SHA-256 digest");
      manifest.scripts.push_back(std::move(s));
    }
  } catch (const nlohmann::json::exception& e) {
    return Invalid(std::string("a field is missing or of the wrong type (") + e.what() + ")");
  }
  return manifest;
}

}  // namespace quorvex::cli
