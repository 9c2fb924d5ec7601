// quorvex-cli: a thin command-line front end on the core library. Its commands, outputs and exit
// statuses are a fixed contract that scripts rely on.

#include <CLI/CLI.hpp>

#include <charconv>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/console.h"

namespace {

// A whole number as scripts must write it: decimal digits without a sign, blanks or a leading zero
// ("0" itself excepted), with a leading "-" only where negative numbers make sense. Anything else
// ("010", "0x8", "", " 3", "+3") is refused rather than read as something the user did not mean.
std::optional<long long> ParseDecimal(const std::string& text, bool allowNegative) {
  std::string_view digits = text;
  if (allowNegative && !digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  if (digits.empty() || (digits.size() > 1 && digits.front() == '0')) return std::nullopt;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

static int Run(int argc, char** argv) {
  using namespace quorvex::cli;
  CLI::App app{"quorvex-cli: list, read and edit the scripts and objects of a scene2.bin"};
  app.set_version_flag("--version", std::string("quorvex-cli ") + QUORVEX_VERSION);
  app.require_subcommand(1);
  // The same options on every platform: on Windows a path such as "/missions/scene2.bin" is a
  // scene, not a "/missions" option.
  app.allow_windows_style_options(false);

  std::string scene;
  std::string rowText;  // checked by ParseDecimal below, not by the option parser
  std::string file;

  auto* catalogue = app.add_subcommand("catalogue", "Print the script catalogue as JSON");
  catalogue->add_option("SCENE", scene, "scene file")->required();

  auto* script = app.add_subcommand("script", "Print the raw script text of a row");
  script->add_option("SCENE", scene, "scene file")->required();
  script->add_option("ROW", rowText, "catalogue row (0-based)")->required();

  auto* objects = app.add_subcommand("objects", "Print the parameters of matched objects as JSON");
  objects->add_option("SCENE", scene, "scene file")->required();

  auto* overview = app.add_subcommand("overview", "Print every script under its header line");
  overview->add_option("SCENE", scene, "scene file")->required();

  auto* models = app.add_subcommand("models", "List the model file names (*.i3d) of the scene");
  models->add_option("SCENE", scene, "scene file")->required();

  auto* save = app.add_subcommand("save-script", "Replace a row's script with FILE (or stdin)");
  save->add_option("SCENE", scene, "scene file")->required();
  save->add_option("ROW", rowText, "catalogue row (0-based)")->required();
  auto* fileOpt =
      save->add_option("FILE", file, "file with the new text; '-' or absent reads stdin");

  InsertArgs insertArgs;
  std::string category, rotation, model;
  auto* insert = app.add_subcommand("insert", "Insert a new object");
  insert->add_option("SCENE", scene, "scene file")->required();
  insert->add_option("--name", insertArgs.name, "object name")->required();
  auto* categoryOpt = insert->add_option(
      "--category", category, "female, male, policeman, car, truck, policecar, things or others");
  insert->add_option("--translation", insertArgs.translation, "X,Y,Z")->required();
  insert->add_option("--size", insertArgs.size, "X,Y,Z")->required();
  auto* insertRotationOpt = insert->add_option("--rotation", rotation, "degrees, -90..90");
  auto* modelOpt = insert->add_option("--model", model, "model file name");

  ModifyArgs modifyArgs;
  std::string modifyRotation;
  auto* modify = app.add_subcommand("modify", "Rewrite an object's translation, rotation, size");
  modify->add_option("SCENE", scene, "scene file")->required();
  modify->add_option("ROW", rowText, "catalogue row (0-based)")->required();
  modify->add_option("--translation", modifyArgs.translation, "X,Y,Z")->required();
  modify->add_option("--size", modifyArgs.size, "X,Y,Z")->required();
  auto* modifyRotationOpt = modify->add_option("--rotation", modifyRotation, "degrees, -90..90");

  std::string folder;
  bool force = false;
  auto* check = app.add_subcommand("check", "Walk the chunk tree by its lengths");
  check->add_option("SCENE", scene, "scene file")->required();
  auto* exportScripts = app.add_subcommand("export", "Write every script to DIR as a file");
  exportScripts->add_option("SCENE", scene, "scene file")->required();
  exportScripts->add_option("DIR", folder, "folder for the scripts and manifest.json")->required();
  exportScripts->add_flag("--force", force, "write into a folder that already holds files");
  auto* importScripts = app.add_subcommand("import", "Write the edited scripts of DIR back");
  importScripts->add_option("SCENE", scene, "scene file")->required();
  importScripts->add_option("DIR", folder, "folder of an export")->required();

  UseBinaryStdio();
  Utf8Arguments args(argc, argv);
  try {
    app.parse(args.argc(), args.argv());
  } catch (const CLI::Success& e) {
    app.exit(e);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  // An empty argument is most often an unset variable in the user's script: reading standard
  // input instead, or writing into the current folder, would be a guess.
  if (*save && fileOpt->count() > 0 && file.empty()) {
    std::cerr << "quorvex-cli: FILE is empty; name a file, or give '-' (or nothing) to read "
                 "standard input\n";
    return kExitUsage;
  }
  if ((*exportScripts || *importScripts) && folder.empty()) {
    std::cerr << "quorvex-cli: DIR is empty; name the folder of the export\n";
    return kExitUsage;
  }

  long long row = 0;
  if (*script || *save || *modify) {
    const auto parsed = ParseDecimal(rowText, false);
    if (!parsed) {
      std::cerr << "quorvex-cli: ROW must be a row number in plain decimal digits, not \""
                << rowText << "\"\n";
      return kExitUsage;
    }
    row = *parsed;
  }
  for (const auto* degrees : {&rotation, &modifyRotation}) {
    if (!degrees->empty() && !ParseDecimal(*degrees, true)) {
      std::cerr << "quorvex-cli: --rotation takes a whole number of degrees from -90 to 90 in "
                   "plain decimal digits\n";
      return kExitUsage;
    }
  }

  if (*catalogue) return Catalogue(scene);
  if (*script) return Script(scene, row);
  if (*objects) return Objects(scene);
  if (*overview) return Overview(scene);
  if (*models) return Models(scene);
  if (*check) return Check(scene);
  if (*exportScripts) return Export(scene, folder, force);
  if (*importScripts) return Import(scene, folder);
  if (*save) {
    std::optional<std::string> source;
    if (!file.empty() && file != "-") source = file;
    return SaveScript(scene, row, source);
  }
  if (*insert) {
    if (*categoryOpt) insertArgs.category = category;
    if (*insertRotationOpt) insertArgs.rotation = rotation;
    if (*modelOpt) insertArgs.model = model;
    return Insert(scene, insertArgs);
  }
  if (*modify) {
    if (*modifyRotationOpt) modifyArgs.rotation = modifyRotation;
    return Modify(scene, row, modifyArgs);
  }
  return kExitUsage;
}

int main(int argc, char** argv) {
  // The commands report every failure they foresee as a message; should anything else be thrown
  // (memory running out in a library), it ends here as a message too, never as an abort.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "quorvex-cli: not enough memory; the command was stopped\n";
  } catch (const std::exception& e) {
    std::cerr << "quorvex-cli: the command was stopped: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "quorvex-cli: the command was stopped by an unexpected error\n";
  }
  return quorvex::cli::kExitFailed;
}
