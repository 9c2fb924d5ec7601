// Model-based soak: thousands of random edits (same-length, longer and shorter script saves,
// inserts of every category and of none, modifications, and writes that must be refused) through
// the real file writers, each mirrored in a plain model of the scene. After every operation the
// file is read back from disk and scanned as a fresh load; it must match the model exactly.
//
// QUORVEX_SOAK_OPERATIONS sets the number of operations (scripts/soak.sh runs 100 000), and
// QUORVEX_SOAK_SEED the random seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "objects/insert_object.h"
#include "objects/modify_object.h"
#include "objects/rotation.h"
#include "reliability/scene_model.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/scene_io.h"
#include "script/script_save.h"
#include "support/load_scene.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"
#include "support/scratch_folder.h"

namespace quorvex::reliability {
namespace {

namespace fs = std::filesystem;
using testing::EnvNumber;

class Soak {
 public:
  explicit Soak(std::uint64_t seed) : rng_(seed) {}

  // One random operation and the check that follows it. False after the first mismatch.
  bool Step() {
    if (operationsOnScene_ == 0 || operationsOnScene_ > 300 || model_.rowCount() > 3000) NewScene();
    ++operationsOnScene_;
    const auto before = testing::ReadFile(path_.string());
    const auto choice = rng_() % 100;
    std::string what;
    if (choice < 45) {
      what = SaveScript();
    } else if (choice < 70) {
      what = Insert();
    } else if (choice < 92) {
      what = Modify();
    } else {
      what = Refused(before);
    }
    ++counts_[what];
    const auto scene = LoadScene(path_);
    if (!scene) return Fail(what, "cannot load: " + scene.error().message);
    if (const auto difference = CompareWithModel(*scene, model_)) return Fail(what, *difference);
    if (fs::exists(TempPathFor(path_))) return Fail(what, "a .save file was left behind");
    return true;
  }

  const std::map<std::string, long>& counts() const { return counts_; }
  const std::string& failure() const { return failure_; }

 private:
  bool Fail(const std::string& what, const std::string& detail) {
    failure_ = what + " [" + last_ + "] (operation " + std::to_string(operationsOnScene_) +
               " on scene " + std::to_string(scenes_) + "): " + detail;
    return false;
  }

  void NewScene() {
    const auto spec = testing::GenerateSceneSpec(testing::MarkerFreeSceneSpec(rng_()));
    model_ = ModelOf(spec);
    testing::WriteFile(path_.string(), testing::BuildScene(spec));
    operationsOnScene_ = 0;
    ++scenes_;
  }

  Catalogue Scan() {
    auto catalogue = ScanCatalogue(SceneImage(*LoadScene(path_)));
    EXPECT_TRUE(catalogue.ok());
    return *catalogue;
  }

  std::string SaveScript() {
    const auto catalogue = Scan();
    std::vector<int> rows;
    for (std::size_t i = 0; i < catalogue.rows.size(); ++i) {
      if (catalogue.rows[i].scriptLengthPos) rows.push_back(static_cast<int>(i));
    }
    if (rows.empty()) return "save: no script";
    const int row = rows[rng_() % rows.size()];
    auto target = ScriptSaveTargetFor(catalogue, row);
    const std::size_t org = static_cast<std::size_t>(target->loadedLength);
    std::size_t length = org;
    std::string what = "save same length";
    if (const auto kind = rng_() % 3; kind == 1 || org == 0) {
      length = org + 1 + rng_() % 200;
      what = "save longer";
    } else if (kind == 2) {
      length = org - 1 - rng_() % org;
      what = "save shorter";
    }
    const auto text = testing::MarkerFreeText(rng_, length);
    const auto saved = quorvex::SaveScript(path_, *target, text);
    auto& mirror = model_.row(static_cast<std::size_t>(row));
    // A definition text starting below 0x0A would no longer be found by the next load: the writer
    // refuses it and the scene keeps the old script.
    if (!mirror.standalone && !DefinitionScript(text)) {
      if (saved || saved.error().kind != ErrorKind::WouldMisread) {
        return what + " NOT REFUSED although it hides the script";
      }
      return "refused: " + what + " would hide the script";
    }
    if (!saved) return what + " FAILED: " + saved.error().message;
    last_ = what + " row " + std::to_string(row);
    mirror.script = text;
    return what;
  }

  std::string Insert() {
    InsertRequest request;
    const auto categories = Categories();
    const auto choice = rng_() % (categories.size() + 1);
    if (choice < categories.size()) request.category = categories[choice].category;
    request.name = FreshName(rng_, model_);
    const ByteString models[] = {"Sarah2LOW.i3d", "xbarel 2.i3d", "", "nomodel", "blackha00.i3d"};
    request.model = models[rng_() % 5];
    if (request.category && request.category != Category::Others && rng_() % 2 == 0) {
      request.model = ByteString(*InfoOf(*request.category).defaultModel);
    }
    std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
    for (int i = 0; i < 3; ++i) {
      request.translation[i] = value(rng_);
      request.size[i] = value(rng_);
    }
    const auto rotation = RotationForDegrees(static_cast<int>(rng_() % 181) - 90);
    request.rotationA = rotation.a;
    request.rotationC = rotation.c;
    request.sceneLength = static_cast<Pos>(fs::file_size(path_));

    const auto inserted = InsertObject(path_, request);
    const std::string what =
        "insert " + (request.category ? std::string(InfoOf(*request.category).caption) : "none");
    if (!inserted) return what + " FAILED: " + inserted.error().message;

    const bool others = request.category == Category::Others;
    ModelObject object;
    object.name = request.name;
    std::copy(std::begin(request.translation), std::end(request.translation),
              object.values.translation);
    std::copy(std::begin(request.size), std::end(request.size), object.values.size);
    object.values.rotation[0] = FloatBits(request.rotationA);
    object.values.rotation[2] = FloatBits(request.rotationC);
    if (!others && request.model.find(".i3d") != ByteString::npos) object.model = request.model;
    model_.objects.push_back(object);
    if (request.category) {
      model_.definitionRows.push_back({request.name, false, TemplateScript(*request.category)});
    }
    return what;
  }

  std::string Modify() {
    const auto catalogue = Scan();
    std::vector<ByteString> names;
    for (const auto& row : catalogue.rows) names.push_back(row.name);
    const auto scan = ScanObjectParameters(SceneImage(*LoadScene(path_)), names).value();
    if (scan.matches.empty()) return "modify: no object";
    const auto& match = scan.matches[rng_() % scan.matches.size()];
    auto request = ModifyRequestFrom(match, catalogue.sceneLength);
    std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
    for (int i = 0; i < 3; ++i) {
      request.translation[i] = value(rng_);
      request.size[i] = value(rng_);
    }
    if (rng_() % 2 == 0) {
      const auto rotation = RotationForDegrees(static_cast<int>(rng_() % 181) - 90);
      request.rotation[0] = FloatBits(rotation.a);
      request.rotation[2] = FloatBits(rotation.c);
    }
    const auto modified = ModifyObject(path_, request);
    if (!modified) return "modify FAILED: " + modified.error().message;
    for (auto& object : model_.objects) {
      if (object.name == match.name) object.values = request;
    }
    return "modify";
  }

  // Writes that must be refused and leave the file exactly as it was.
  std::string Refused(const Bytes& before) {
    auto catalogue = Scan();
    std::optional<ScriptSaveTarget> target;
    for (std::size_t i = 0; i < catalogue.rows.size() && !target; ++i) {
      if (auto t = ScriptSaveTargetFor(catalogue, static_cast<int>(i))) target = *t;
    }
    std::string what;
    const auto kind = target ? rng_() % 3 : 2;
    if (kind == 0) {
      // A leftover temporary file: a length-changing save refuses rather than destroy it.
      const Bytes leftover = {'o', 'l', 'd'};
      testing::WriteFile(TempPathFor(path_).string(), leftover);
      // (A text that starts with a letter: one starting with a control byte would be refused as
      // hiding the script before the temporary file is even looked at.)
      const auto saved = quorvex::SaveScript(
          path_, *target, "x" + testing::MarkerFreeText(rng_, target->loadedLength + 2));
      what = "refused: leftover .save";
      const bool clobbered = testing::ReadFile(TempPathFor(path_).string()) != leftover;
      fs::remove(TempPathFor(path_));
      if (saved || saved.error().kind != ErrorKind::TempExists) return what + " NOT REFUSED";
      if (clobbered) return what + " CLOBBERED";
    } else if (kind == 1) {
      // A save planned on a scan of the file before it changed length.
      target->sceneLength += 1 + static_cast<Pos>(rng_() % 50);
      const auto saved = quorvex::SaveScript(path_, *target, testing::MarkerFreeText(rng_, 3));
      what = "refused: changed on disk";
      if (saved || saved.error().kind != ErrorKind::ChangedOnDisk) return what + " NOT REFUSED";
    } else {
      // A modification at a position the scan never recorded.
      ModifyRequest request;
      request.name = "nobody";
      request.translationPos = 1 + static_cast<Pos>(rng_() % before.size());
      request.sceneLength = static_cast<Pos>(before.size());
      const auto modified = ModifyObject(path_, request);
      what = "refused: unknown object";
      if (modified) return what + " NOT REFUSED";
    }
    if (testing::ReadFile(path_.string()) != before) return what + " CHANGED THE FILE";
    return what;
  }

  testing::Random rng_;
  // In memory where it can be: the soak is about what the writers write, and the crash test
  // covers real disks; flushing every write to disk would only slow it down.
  const testing::ScratchFolder dir_{"quorvex-soak", true};
  const fs::path path_ = dir_ / "scene2.bin";
  SceneModel model_;
  long operationsOnScene_ = 0;
  long scenes_ = 0;
  std::map<std::string, long> counts_;
  std::string failure_;
  std::string last_;
};

TEST(Soak, RandomEditsThroughTheWritersMatchTheModel) {
  const long operations = EnvNumber("QUORVEX_SOAK_OPERATIONS", 1500);
  const auto seed = static_cast<std::uint64_t>(EnvNumber("QUORVEX_SOAK_SEED", 20240611));
  Soak soak(seed);
  long done = 0;
  while (done < operations && soak.Step()) ++done;
  std::string summary;
  for (const auto& [what, count] : soak.counts()) {
    summary += "  " + what + ": " + std::to_string(count) + "\n";
    EXPECT_EQ(what.find("FAILED"), std::string::npos) << what;
    EXPECT_EQ(what.find("NOT REFUSED"), std::string::npos) << what;
    EXPECT_EQ(what.find("CHANGED"), std::string::npos) << what;
    EXPECT_EQ(what.find("CLOBBERED"), std::string::npos) << what;
  }
  std::printf("soak: %ld operations, seed %llu\n%s", done, static_cast<unsigned long long>(seed),
              summary.c_str());
  EXPECT_TRUE(soak.failure().empty()) << soak.failure();
  EXPECT_EQ(done, operations);
}

}  // namespace
}  // namespace quorvex::reliability
