// The writing commands of quorvex-cli: save-script, insert and modify. Each scans the scene inside
// the write lock, on the content that is about to be changed, so every position written is one
// found in the current file.

#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/script_input.h"
#include "objects/categories.h"
#include "objects/insert_object.h"
#include "objects/insert_validation.h"
#include "objects/modify_object.h"
#include "objects/rotation.h"
#include "scene/catalogue.h"
#include "scene/chunk_check.h"
#include "scene/object_params.h"
#include "scene/result_check.h"
#include "scene/scene_file.h"
#include "scene/scene_io.h"
#include "scene/text_codec.h"
#include "script/script_save.h"

namespace quorvex::cli {
namespace {

constexpr const char* kSaved = " **** Saved ****";

int Usage(const std::string& message) {
  std::cerr << "quorvex-cli: " << message << "\n";
  return kExitUsage;
}

int Finish(const Result<WriteMode>& result) {
  if (!result) return Failed(result.error().message);
  std::cout << kSaved << "\n";
  if (*result == WriteMode::ReplacedNotFlushed) WarnNotFlushed();
  return kExitOk;
}

std::string FailureText(const InsertCheckFailure& failure) {
  if (!failure.title || failure.title->empty()) return failure.prompt;
  return failure.prompt + " (" + *failure.title + ")";
}

std::vector<ByteString> RowNames(const quorvex::Catalogue& catalogue) {
  std::vector<ByteString> names;
  names.reserve(catalogue.rows.size());
  for (const auto& row : catalogue.rows) names.push_back(row.name);
  return names;
}

// "X,Y,Z" into its three texts; absent unless there are exactly three.
std::optional<std::array<std::string, 3>> SplitTriple(const std::string& text) {
  std::array<std::string, 3> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const auto comma = text.find(',', start);
    if ((comma == std::string::npos) != (i == 2)) return std::nullopt;
    parts[i] = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma + 1;
  }
  return parts;
}

// An optional whole number of degrees within the slider's range.
std::optional<int> ParseDegrees(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < kSliderMin || value > kSliderMax) return std::nullopt;
  return value;
}

Error NoSuchRow(long long row, const quorvex::Catalogue& catalogue) {
  const auto count = catalogue.rows.size();
  std::string message = "no such row " + std::to_string(row) + " (the catalogue has " +
                        std::to_string(count) + " rows";
  if (count > 0) message += ", 0 to " + std::to_string(count - 1);
  return MakeError(ErrorKind::NoSuchRow, message + "). Nothing was written.");
}

int RowIndex(long long row) {
  // Anything outside the catalogue's range becomes -1, which no catalogue has.
  return row < 0 || row > std::numeric_limits<int>::max() ? -1 : static_cast<int>(row);
}

// The catalogue of the content about to change; NoSuchRow when it has no row `index`.
Result<quorvex::Catalogue> CatalogueWithRow(const SceneImage& image, long long row, int index) {
  auto catalogue = ScanCatalogue(image);
  if (!catalogue) return WithDamageFinding(image, catalogue.error());
  if (index < 0 || static_cast<std::size_t>(index) >= catalogue->rows.size()) {
    return NoSuchRow(row, *catalogue);
  }
  return catalogue;
}

// The longest text row `row` of the scene can take: what keeps the scene within the 32-bit
// lengths. Read before the text, so that an endless source is cut off there.
Result<std::uint64_t> RoomForScript(platform::FileSystem& files, const std::filesystem::path& path,
                                    long long row, int index) {
  auto opened = files.openScene(path);
  if (!opened) return opened.error();
  const SceneImage image(**opened);
  auto catalogue = CatalogueWithRow(image, row, index);
  if (!catalogue) return catalogue.error();
  auto target = ScriptSaveTargetFor(*catalogue, index);
  if (!target) return target.error();
  return kMaxSceneLength - static_cast<std::uint64_t>(image.length()) +
         static_cast<std::uint64_t>(target->loadedLength);
}

}  // namespace

int SaveScript(const std::string& scene, long long row, const std::optional<std::string>& file,
               platform::FileSystem& files) {
  const auto path = PathFromUtf8(scene);
  const int index = RowIndex(row);
  const auto room = RoomForScript(files, path, row, index);
  if (!room) return Failed(room.error().message);
  const auto text = ReadScriptText(file, *room);
  if (!text) return Failed(text.error().message);

  // The catalogue the planner scans is also the one the result is compared with.
  std::optional<quorvex::Catalogue> before;
  std::optional<ScriptSaveTarget> target;
  return Finish(WriteScene(
      files, path,
      [&](const SceneImage& image) -> Result<EditPlan> {
        auto catalogue = CatalogueWithRow(image, row, index);
        if (!catalogue) return catalogue.error();
        before = std::move(*catalogue);
        auto found = ScriptSaveTargetFor(*before, index);
        if (!found) return found.error();
        target = *found;
        return PlanScriptSave(image, *target, *text);
      },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckPlannedResult(current, plan, result,
                                  ScriptSaveIntent(*target, *text, &*before));
      }));
}

int Insert(const std::string& scene, const InsertArgs& args) {
  std::optional<Category> category;
  if (args.category) {
    category = CategoryNamed(*args.category);
    if (!category) {
      return Usage("Unknown category \"" + *args.category +
                   "\": use female, male, policeman, car, truck, policecar, things or others.");
    }
  }
  const auto translation = SplitTriple(args.translation);
  const auto size = SplitTriple(args.size);
  if (!translation || !size) return Usage("--translation and --size take three numbers: X,Y,Z");
  std::optional<int> degrees = 0;
  if (args.rotation) degrees = ParseDegrees(*args.rotation);
  if (!degrees) return Usage("--rotation takes a whole number of degrees from -90 to 90");

  for (const auto* text : {&args.name, args.model ? &*args.model : nullptr}) {
    if (text != nullptr && !IsUtf8(*text)) {
      return Failed("The " + std::string(text == &args.name ? "name" : "model name") +
                    " is not valid UTF-8 text (a broken or overlong byte sequence). Nothing was "
                    "written.");
    }
  }
  const auto name = Utf8ToBytes(args.name);
  if (!name) {
    return Failed("The name cannot be written in the scene's character set (Windows-1252).");
  }
  ByteString model;
  if (args.model) {
    const auto converted = Utf8ToBytes(*args.model);
    if (!converted) {
      return Failed(
          "The model name cannot be written in the scene's character set "
          "(Windows-1252).");
    }
    model = *converted;
  } else if (category && InfoOf(*category).defaultModel) {
    model = ByteString(*InfoOf(*category).defaultModel);
  }

  InsertForm form;
  form.name = *name;
  for (std::size_t i = 0; i < 3; ++i) {
    form.numbers[i] = (*translation)[i];
    form.numbers[i + 3] = (*size)[i];
  }
  // The form's own checks first, so a mistyped number is reported without touching the scene.
  const auto checked = ValidateInsert(form, {}, ParseCNumber);
  if (checked.failure) return Failed(FailureText(*checked.failure));

  InsertRequest request;
  request.name = *name;
  request.model = model;
  request.category = category;
  for (int i = 0; i < 3; ++i) {
    request.translation[i] = checked.values.translation[i];
    request.size[i] = checked.values.size[i];
  }
  const auto rotation = RotationForDegrees(*degrees);
  request.rotationA = rotation.a;
  request.rotationC = rotation.c;

  std::optional<quorvex::Catalogue> before;
  return Finish(WriteScene(
      PathFromUtf8(scene),
      [&](const SceneImage& image) -> Result<EditPlan> {
        auto catalogue = ScanCatalogue(image);
        if (!catalogue) return WithDamageFinding(image, catalogue.error());
        before = std::move(*catalogue);
        const auto known = ValidateInsert(form, RowNames(*before), ParseCNumber);
        if (known.failure) return MakeError(ErrorKind::Invalid, FailureText(*known.failure));
        // A definition adds a catalogue row; a scene already at the limit could not be listed
        // again.
        if (category && before->rows.size() >= static_cast<std::size_t>(kMaxRows)) {
          return MakeError(ErrorKind::Refused, "The scene already lists " +
                                                   std::to_string(kMaxRows) +
                                                   " rows, the most a catalogue can hold. Nothing "
                                                   "was written.");
        }
        return PlanInsert(image, request);
      },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckPlannedResult(current, plan, result, InsertIntent(request, &*before));
      }));
}

int Modify(const std::string& scene, long long row, const ModifyArgs& args) {
  const auto translation = SplitTriple(args.translation);
  const auto size = SplitTriple(args.size);
  if (!translation || !size) return Usage("--translation and --size take three numbers: X,Y,Z");
  std::optional<int> degrees;
  if (args.rotation) {
    degrees = ParseDegrees(*args.rotation);
    if (!degrees) return Usage("--rotation takes a whole number of degrees from -90 to 90");
  }
  // The same checks and messages as a new object's numbers (the name is not asked for here).
  InsertForm form;
  form.name = "-";
  for (std::size_t i = 0; i < 3; ++i) {
    form.numbers[i] = (*translation)[i];
    form.numbers[i + 3] = (*size)[i];
  }
  const auto checked = ValidateInsert(form, {}, ParseCNumber);
  if (checked.failure) return Failed(FailureText(*checked.failure));

  const int index = RowIndex(row);
  std::optional<quorvex::Catalogue> before;
  std::optional<ModifyRequest> planned;
  return Finish(WriteScene(
      PathFromUtf8(scene),
      [&](const SceneImage& image) -> Result<EditPlan> {
        auto catalogue = CatalogueWithRow(image, row, index);
        if (!catalogue) return catalogue.error();
        before = std::move(*catalogue);
        const auto scan = ScanObjectParameters(image, RowNames(*before));
        if (!scan) return scan.error();
        // A row keeps the values of the last object matched to it.
        const ObjectParams* match = nullptr;
        for (const auto& found : scan->matches) {
          if (found.row == index) match = &found;
        }
        if (!match) {
          return MakeError(ErrorKind::NoObject, "No object position was recorded for row " +
                                                    std::to_string(row) +
                                                    " in this scene. Nothing was written.");
        }
        auto request = ModifyRequestFrom(*match, image.length());
        for (int i = 0; i < 3; ++i) {
          request.translation[i] = checked.values.translation[i];
          request.size[i] = checked.values.size[i];
        }
        if (degrees) {
          const auto rotation = RotationForDegrees(*degrees);
          request.rotation[0] = FloatBits(rotation.a);
          request.rotation[2] = FloatBits(rotation.c);
        }
        planned = request;
        return PlanModify(image, request);
      },
      [&](const SceneImage& current, const EditPlan& plan, const SceneImage& result) {
        return CheckModifiedResult(current, plan, result, *planned, &*before);
      }));
}

}  // namespace quorvex::cli
