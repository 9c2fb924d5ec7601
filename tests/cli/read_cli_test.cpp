// quorvex-cli, read side: runs the real binary and checks the fixed contract of catalogue, script,
// objects, overview and models.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/platform.h"
#include "scene/text_codec.h"
#include "script/overview.h"
#include "support/cli_runner.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ReadCli : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = (dir_ / name).string();
    WriteFile(path, bytes);
    return path;
  }

  CliRun Cli(const std::vector<std::string>& args) { return RunCli(args); }

  const ScratchFolder scratch_{"quorvex-read-cli"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(ReadCli, CatalogueOfTheDemoScene) {
  const Bytes bytes = BuildScene(DemoSceneSpec());
  const auto path = Write("scene2.bin", bytes);
  const CliRun run = Cli({"catalogue", path});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  const json j = json::parse(run.out);
  const auto c = ScanCatalogue(SceneImage(bytes));
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(j["sceneLength"], bytes.size());
  EXPECT_EQ(j["entryCount"], c->rows.size());
  EXPECT_EQ(j["firstStandaloneScriptRow"], 10);
  EXPECT_EQ(j["scriptSectionLengthPos"], c->scriptSection->lengthPos);
  EXPECT_EQ(j["defSectionLengthPos"], c->defSection->lengthPos);
  // The keys in the contract's order.
  std::vector<std::string> keys;
  for (const auto& [key, value] : j.items()) keys.push_back(key);
  EXPECT_EQ(keys.size(), 6u);
  EXPECT_LT(run.out.find("\"sceneLength\""), run.out.find("\"entryCount\""));
  EXPECT_LT(run.out.find("\"defSectionLengthPos\""), run.out.find("\"rows\""));
  ASSERT_EQ(j["rows"].size(), c->rows.size());
  for (std::size_t i = 0; i < c->rows.size(); ++i) {
    const auto& r = j["rows"][i];
    const auto& row = c->rows[i];
    EXPECT_EQ(r["row"], i);
    EXPECT_EQ(r["name"], BytesToUtf8(row.name));
    EXPECT_EQ(r["standalone"], row.standalone);
    EXPECT_EQ(r["checked"], row.checked);
    EXPECT_EQ(r["entryLengthPos"], row.entryLengthPos);
    if (row.scriptLengthPos) {
      EXPECT_EQ(r["scriptLengthPos"], *row.scriptLengthPos);
      EXPECT_EQ(r["scriptLength"], *row.scriptLength);
    } else {
      EXPECT_TRUE(r["scriptLengthPos"].is_null());
      EXPECT_TRUE(r["scriptLength"].is_null());
    }
    if (row.standalone) {
      EXPECT_TRUE(r["scriptChunkLengthPos"].is_null());
    } else {
      EXPECT_EQ(r["scriptChunkLengthPos"], *row.scriptChunkLengthPos);
    }
    EXPECT_EQ(r.size(), 8u);
  }
  // Vel: 05 00 00 00 00, no script position; empty_script: a position and length 0.
  EXPECT_TRUE(j["rows"][2]["scriptLengthPos"].is_null());
  EXPECT_EQ(j["rows"][12]["scriptLength"], 0);
  EXPECT_FALSE(j["rows"][12]["checked"]);
}

TEST_F(ReadCli, CatalogueNullsAndNames) {
  // No headers accepted; an empty file.
  const auto empty = Write("empty.bin", {});
  CliRun run = Cli({"catalogue", empty});
  ASSERT_EQ(run.status, 0) << run.err;
  json j = json::parse(run.out);
  EXPECT_EQ(j["sceneLength"], 0);
  EXPECT_EQ(j["entryCount"], 0);
  EXPECT_TRUE(j["scriptSectionLengthPos"].is_null());
  EXPECT_TRUE(j["defSectionLengthPos"].is_null());
  EXPECT_TRUE(j["rows"].is_array() && j["rows"].empty());
  // Names are Windows-1252 bytes, printed as UTF-8 (the undefined 0x81 as U+0081).
  SceneSpec spec;
  spec.withDefinitionSection = false;
  spec.scripts = {{"Caf\xE9 \x80\x81\"q\"", "end\r\n", 0}};
  run = Cli({"catalogue", Write("names.bin", BuildScene(spec))});
  ASSERT_EQ(run.status, 0) << run.err;
  j = json::parse(run.out);
  EXPECT_EQ(j["rows"][0]["name"], "Caf\xC3\xA9 \xE2\x82\xAC\xC2\x81\"q\"");
  EXPECT_TRUE(j["defSectionLengthPos"].is_null());
}

TEST_F(ReadCli, ScriptPrintsRawBytes) {
  SceneSpec spec = DemoSceneSpec();
  spec.scripts.push_back({"raw", ByteString("\x80\0\r\n\xFF\x1A", 6), 0});
  const Bytes bytes = BuildScene(spec);
  const auto path = Write("scene2.bin", bytes);
  const auto c = ScanCatalogue(SceneImage(bytes));
  ASSERT_TRUE(c.ok());
  for (std::size_t i = 0; i < c->rows.size(); ++i) {
    const CliRun run = Cli({"script", path, std::to_string(i)});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto& row = c->rows[i];
    const ByteString expected =
        row.scriptLengthPos
            ? *SceneImage(bytes).bytesAt(*row.scriptLengthPos + 4, *row.scriptLength)
            : "";
    EXPECT_EQ(run.out, expected) << "row " << i;
  }
  EXPECT_EQ(Cli({"script", path, std::to_string(c->rows.size() - 1)}).out,
            ByteString("\x80\0\r\n\xFF\x1A", 6));
  // Not a row: exit 2 with a message.
  for (const std::string& bad : {std::to_string(c->rows.size()), std::string("99999")}) {
    const CliRun run = Cli({"script", path, bad});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("row"), std::string::npos) << run.err;
  }
  // Not a number in plain decimal digits: a usage error.
  for (const char* bad : {"one", "-1", "010", "0x8", "", " 3", "+3"}) {
    EXPECT_EQ(Cli({"script", path, bad}).status, 1) << bad;
  }
}

TEST_F(ReadCli, ObjectsOfTheDemoScene) {
  const Bytes bytes = BuildScene(DemoSceneSpec());
  const CliRun run = Cli({"objects", Write("scene2.bin", bytes)});
  ASSERT_EQ(run.status, 0) << run.err;
  const json j = json::parse(run.out);
  ASSERT_EQ(j.size(), 1u);
  ASSERT_EQ(j["rows"].size(), 10u);
  const auto& brenna = j["rows"][1];
  EXPECT_EQ(brenna["row"], 1);
  EXPECT_EQ(brenna["name"], "Brenna");
  EXPECT_EQ(brenna["model"], "Brenna.i3d");
  EXPECT_EQ(brenna["translation"], json::parse("[14, 0, -31.5]"));
  EXPECT_EQ(brenna["rotationBits"][0], FloatBits(0.70710677f));
  EXPECT_EQ(brenna["rotationBits"][2], FloatBits(0.70710677f));
  EXPECT_EQ(brenna.size(), 7u);
  // Floats in their shortest form: no double noise.
  EXPECT_NE(run.out.find("\"translation\":[22,0.1,-12]"), std::string::npos) << run.out;
  const auto names = ScanCatalogue(SceneImage(bytes));
  std::vector<ByteString> rowNames;
  for (const auto& r : names->rows) rowNames.push_back(r.name);
  const auto scan = ScanObjectParameters(SceneImage(bytes), rowNames).value();
  for (std::size_t i = 0; i < scan.matches.size(); ++i) {
    EXPECT_EQ(j["rows"][i]["translationPos"], scan.matches[i].translationPos);
    EXPECT_EQ(j["rows"][i]["row"], scan.matches[i].row);
  }
}

TEST_F(ReadCli, ObjectFloatsRoundTripAndNulls) {
  SceneSpec spec;
  SceneObject o;
  o.name = "odd";
  o.translation[0] = 0.1f;
  o.translation[1] = -0.0f;
  o.translation[2] = std::numeric_limits<float>::quiet_NaN();
  o.size[0] = 1e-45f;
  o.size[1] = std::numeric_limits<float>::infinity();
  o.size[2] = 3.4028235e38f;
  o.rotationB = 0xFFFFFFFFu;
  SceneObject twin;  // a second object of the same name without a model: the row keeps the first's
  twin.name = "odd";
  twin.translation[0] = 16777216.0f;
  SceneObject first = o;
  first.model = "first.i3d";
  spec.objects = {first, twin};
  Definition d;
  d.name = "odd";
  d.script = "end\r\n";
  Definition other;
  other.name = "unmatched";
  spec.definitions = {other, d};
  const CliRun run = Cli({"objects", Write("odd.bin", BuildScene(spec))});
  ASSERT_EQ(run.status, 0) << run.err;
  const json j = json::parse(run.out);
  ASSERT_EQ(j["rows"].size(), 1u);
  const auto& row = j["rows"][0];
  EXPECT_EQ(row["row"], 1);
  // The later object's values, the earlier object's model.
  EXPECT_EQ(static_cast<float>(row["translation"][0].get<double>()), 16777216.0f);
  EXPECT_EQ(row["model"], "first.i3d");

  spec.objects = {o};
  const CliRun single = Cli({"objects", Write("single.bin", BuildScene(spec))});
  ASSERT_EQ(single.status, 0) << single.err;
  const json s = json::parse(single.out)["rows"][0];
  EXPECT_EQ(static_cast<float>(s["translation"][0].get<double>()), 0.1f);
  EXPECT_NE(single.out.find("[0.1,-0.0,null]"), std::string::npos) << single.out;
  const float negativeZero = static_cast<float>(s["translation"][1].get<double>());
  EXPECT_TRUE(negativeZero == 0.0f && std::signbit(negativeZero));
  EXPECT_TRUE(s["translation"][2].is_null());
  EXPECT_EQ(static_cast<float>(s["size"][0].get<double>()), 1e-45f);
  EXPECT_TRUE(s["size"][1].is_null());
  EXPECT_EQ(static_cast<float>(s["size"][2].get<double>()), 3.4028235e38f);
  EXPECT_EQ(s["rotationBits"][1], 4294967295u);
  EXPECT_TRUE(s["model"].is_null());
}

TEST_F(ReadCli, OverviewAndModels) {
  const Bytes bytes = BuildScene(DemoSceneSpec());
  const auto path = Write("scene2.bin", bytes);
  CliRun run = Cli({"overview", path});
  ASSERT_EQ(run.status, 0) << run.err;
  const SceneImage image(bytes);
  const auto c = ScanCatalogue(image);
  EXPECT_EQ(run.out, *BuildScriptOverview(image, *c));
  EXPECT_EQ(
      run.out.rfind("\r\n\r\n ******************    --  Oskar  --  ****************** \r\n", 0),
      0u);

  run = Cli({"models", path});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected;
  const auto names = ListSceneModels(image).value();
  for (const auto& name : names) expected += *ModelNameText(image, name) + "\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.out.substr(0, 20), "Oskar.i3d\nBrenna.i3d");
  EXPECT_NE(run.out.find("\nxbarel 2.i3d\n"), std::string::npos);

  // No ticked row / no model: empty outputs, success.
  const auto bare = Write("bare.bin", Bytes(64, 0x11));
  run = Cli({"overview", bare});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.empty());
  run = Cli({"models", bare});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.empty());
}

TEST_F(ReadCli, FailuresExitTwo) {
  const auto missing = (dir_ / "missing.bin").string();
  for (const std::string command : {"catalogue", "objects", "overview", "models"}) {
    const CliRun run = Cli({command, missing});
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_FALSE(run.err.empty());
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_EQ(Cli({"script", missing, "0"}).status, 2);

  // A damaged scene: a standalone script whose text runs past the end.
  SceneSpec spec;
  spec.withDefinitionSection = false;
  spec.scripts = {{"cut", "end\r\n", 0}};
  Bytes bytes = BuildScene(spec);
  bytes.resize(bytes.size() - 2);
  const auto damaged = Write("damaged.bin", bytes);
  for (const std::string command : {"catalogue", "objects", "overview"}) {
    const CliRun run = Cli({command, damaged});
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
  // The model listing reads bytes only: no layout, nothing damaged.
  EXPECT_EQ(Cli({"models", damaged}).status, 0);
}

TEST_F(ReadCli, LockedSceneIsRefused) {
  const auto path = Write("scene2.bin", BuildScene(DemoSceneSpec()));
  auto held = platform::OpenLocked(path);
  ASSERT_TRUE(held.ok()) << held.error().message;
  const CliRun run = Cli({"catalogue", path});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(run.err.empty());
  EXPECT_TRUE(run.out.empty());
  held->reset();
  EXPECT_EQ(Cli({"catalogue", path}).status, 0);
}

TEST_F(ReadCli, UsageHelpAndVersion) {
  EXPECT_EQ(Cli({}).status, 1);
  EXPECT_EQ(Cli({"catalogue"}).status, 1);
  EXPECT_EQ(Cli({"nonsense"}).status, 1);
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("catalogue"), std::string::npos);
  const CliRun version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find(QUORVEX_VERSION), std::string::npos);
}

}  // namespace
}  // namespace quorvex::testing
