// The read side of quorvex-cli: catalogue, script, objects, overview, models.
//
// Positions are the 1-based file positions the catalogue records. Names and texts in JSON are the
// scene's bytes decoded as Windows-1252 (JSON is UTF-8); raw outputs are the scene's bytes,
// unchanged, on stdout in binary mode.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console.h"
#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/chunk_check.h"
#include "scene/object_params.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "scene/steady_source.h"
#include "scene/text_codec.h"
#include "script/overview.h"

namespace quorvex::cli {
namespace {

using ordered_json = nlohmann::ordered_json;

int Fail(const std::string& message) {
  return Failed(message);
}

int Fail(const Error& error) {
  return Failed(error.message);
}

// Raw bytes on stdout, unchanged (binary mode on Windows).
int WriteRaw(std::string_view bytes) {
  UseBinaryStdio();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return Fail("cannot write to standard output");
  if (std::fflush(stdout) != 0) return Fail("cannot write to standard output");
  return kExitOk;
}

int WriteText(const std::string& text) {
  return WriteRaw(text);
}

// An open scene (held for reading until the command ends) and its catalogue.
struct Scanned {
  std::unique_ptr<SceneFile> file;
  SceneImage image;
  quorvex::Catalogue catalogue;
};

Result<Scanned> OpenAndScan(const std::string& scene) {
  auto file = SceneFile::Open(PathFromUtf8(scene));
  if (!file.ok()) return file.error();
  Scanned scanned;
  scanned.file = std::move(*file);
  scanned.image = SceneImage(*scanned.file);
  auto catalogue = ScanCatalogue(scanned.image);
  if (!catalogue.ok()) return WithDamageFinding(scanned.image, catalogue.error());
  scanned.catalogue = std::move(*catalogue);
  return scanned;
}

std::string Json(const ordered_json& value) {
  return value.dump();
}

ordered_json OptionalPos(const std::optional<Pos>& pos) {
  return pos ? ordered_json(*pos) : ordered_json(nullptr);
}

// A float32 as a JSON number that parses back to the same float32: the shortest round-trip
// decimal form (std::to_chars), "-0.0" for negative zero (a plain "-0" is read as the integer 0),
// null when not finite.
std::string FloatJson(float value) {
  if (!std::isfinite(value)) return "null";
  if (value == 0.0f && std::signbit(value)) return "-0.0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FloatArray(const float* values, int count) {
  std::string out = "[";
  for (int i = 0; i < count; ++i) {
    if (i) out += ",";
    out += FloatJson(values[i]);
  }
  return out + "]";
}

}  // namespace

int Catalogue(const std::string& scene) {
  auto scanned = OpenAndScan(scene);
  if (!scanned.ok()) return Fail(scanned.error());
  const auto& cat = scanned->catalogue;

  std::string out = "{\n";
  out += "  \"sceneLength\": " + std::to_string(cat.sceneLength) + ",\n";
  out += "  \"entryCount\": " + std::to_string(cat.rows.size()) + ",\n";
  out += "  \"firstStandaloneScriptRow\": " + std::to_string(cat.firstStandaloneScriptRow) + ",\n";
  out +=
      "  \"scriptSectionLengthPos\": " +
      Json(cat.scriptSection ? ordered_json(cat.scriptSection->lengthPos) : ordered_json(nullptr)) +
      ",\n";
  out += "  \"defSectionLengthPos\": " +
         Json(cat.defSection ? ordered_json(cat.defSection->lengthPos) : ordered_json(nullptr)) +
         ",\n";
  out += "  \"rows\": [";
  for (std::size_t i = 0; i < cat.rows.size(); ++i) {
    const auto& row = cat.rows[i];
    ordered_json j;
    j["row"] = i;
    j["name"] = BytesToUtf8(row.name);
    j["standalone"] = row.standalone;
    j["checked"] = row.checked;
    j["entryLengthPos"] = row.entryLengthPos;
    j["scriptLengthPos"] = OptionalPos(row.scriptLengthPos);
    j["scriptChunkLengthPos"] =
        row.standalone ? ordered_json(nullptr) : OptionalPos(row.scriptChunkLengthPos);
    j["scriptLength"] = row.scriptLengthPos && row.scriptLength ? ordered_json(*row.scriptLength)
                                                                : ordered_json(nullptr);
    out += (i ? ",\n    " : "\n    ") + Json(j);
  }
  out += cat.rows.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return WriteText(out);
}

int Script(const std::string& scene, long long row) {
  auto scanned = OpenAndScan(scene);
  if (!scanned.ok()) return Fail(scanned.error());
  const auto& rows = scanned->catalogue.rows;
  if (row < 0 || row >= static_cast<long long>(rows.size())) {
    return Fail("no such row " + std::to_string(row) + " (the catalogue has " +
                std::to_string(rows.size()) + " rows, 0 to " +
                std::to_string(static_cast<long long>(rows.size()) - 1) + ")");
  }
  const auto& entry = rows[static_cast<std::size_t>(row)];
  if (!entry.scriptLengthPos || !entry.scriptLength) return WriteRaw({});  // no script position
  const auto text = scanned->image.bytesAt(*entry.scriptLengthPos + 4, *entry.scriptLength);
  if (scanned->image.readFailure()) return Fail(*scanned->image.readFailure());
  return WriteRaw(text.value_or(ByteString()));
}

int Objects(const std::string& scene) {
  auto scanned = OpenAndScan(scene);
  if (!scanned.ok()) return Fail(scanned.error());
  std::vector<ByteString> names;
  names.reserve(scanned->catalogue.rows.size());
  for (const auto& row : scanned->catalogue.rows) names.push_back(row.name);
  const auto scan = ScanObjectParameters(scanned->image, names);
  if (!scan) return Fail(WithDamageFinding(scanned->image, scan.error()));
  const ObjectScanResult& result = *scan;
  if (result.error) return Fail(WithDamageFinding(scanned->image, *result.error));

  // The per-row values after the scan, as the window keeps them: a later object matching the same
  // row overwrites its values; the model is replaced only by an object that gives one.
  std::map<int, ObjectParams> perRow;
  for (const auto& match : result.matches) {
    auto previousModel = perRow.count(match.row) ? perRow[match.row].model : std::nullopt;
    auto& slot = perRow[match.row];
    slot = match;
    if (!slot.model) slot.model = std::move(previousModel);
  }

  std::string out = "{\n  \"rows\": [";
  bool first = true;
  for (const auto& [row, p] : perRow) {
    std::string line = "{\"row\":" + std::to_string(row);
    line += ",\"name\":" + Json(ordered_json(BytesToUtf8(p.name)));
    line += ",\"translationPos\":" + std::to_string(p.translationPos);
    line += ",\"translation\":" + FloatArray(p.translation, 3);
    line += ",\"size\":" + FloatArray(p.size, 3);
    line += ",\"rotationBits\":[" + std::to_string(p.rotation[0]) + "," +
            std::to_string(p.rotation[1]) + "," + std::to_string(p.rotation[2]) + "," +
            std::to_string(p.rotation[3]) + "]";
    line +=
        ",\"model\":" + (p.model ? Json(ordered_json(BytesToUtf8(*p.model))) : std::string("null"));
    line += "}";
    out += (first ? "\n    " : ",\n    ") + line;
    first = false;
  }
  out += first ? "]\n}\n" : "\n  ]\n}\n";
  return WriteText(out);
}

int Overview(const std::string& scene) {
  auto file = SceneFile::Open(PathFromUtf8(scene));
  if (!file.ok()) return Fail(file.error());
  // One pass: each script goes out as the catalogue scan finds its row. The text is held until
  // it passes a bound, so that a damaged scene gives none (the scan ends with the error); a longer
  // text goes out in pieces of about 1 MiB, and a failure found after that follows the text
  // written so far, with exit status 2.
  constexpr std::size_t kHeld = 4u << 20;
  constexpr std::size_t kPiece = 1u << 20;
  const SteadySource steady(**file, SteadySource::Mode::GuardedBlocks);
  const SceneImage image(steady);
  std::string out;
  // Room for all of it at once: a buffer that grows by copying touches twice the pages.
  out.reserve(kHeld + kPiece);
  bool held = true;
  bool failed = false;
  const auto catalogue = ScanWithOverview(image, steady, [&](std::string_view piece) {
    if (failed) return;
    out.append(piece);
    if (held && out.size() < kHeld) return;
    held = false;
    if (out.size() >= kPiece) {
      failed = WriteRaw(out) != kExitOk;
      out.clear();
    }
  });
  if (!catalogue.ok()) return Fail(WithDamageFinding(image, catalogue.error()));
  if (failed) return kExitFailed;
  return WriteRaw(out);
}

int Models(const std::string& scene) {
  auto file = SceneFile::Open(PathFromUtf8(scene));
  if (!file.ok()) return Fail(file.error());
  const SceneImage image(**file);
  // Each name is copied into the output as it is found, from the block the listing has just
  // searched. Nothing is written before the listing has read the whole file without a failure, so
  // the output is held until then, up to a bound: names may overlap, so their total can exceed the
  // file's size. Beyond the bound the names are read again afterwards and written in pieces.
  constexpr std::size_t kHeld = 8u << 20;
  std::string out;
  bool held = true;
  ModelListingHooks hooks;
  hooks.found = [&](const ModelName& name) {
    if (!held) return;
    image.forEachRun(name.start, name.length, [&](std::span<const std::uint8_t> piece) {
      out.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    });
    out.push_back('\n');
    if (out.size() > kHeld) held = false;
  };
  const auto names = ListSceneModels(image, hooks);
  if (!names) return Fail(names.error());
  if (held) return WriteRaw(out);
  out.clear();
  for (const auto& name : *names) {
    const auto text = ModelNameText(image, name);
    if (!text) return Fail(text.error());
    out += *text;
    out.push_back('\n');
    if (out.size() >= (1u << 20)) {
      if (WriteRaw(out) != kExitOk) return kExitFailed;
      out.clear();
    }
  }
  return WriteRaw(out);
}

}  // namespace quorvex::cli
