// The edge-case scenes of scene_generator.h: fixed scenes made with the builder, one per quirk of
// the scans, then damaged lengths and truncations of the demo scene.

#include "support/scene_generator.h"

namespace quorvex::testing {
namespace {

SceneSpec Minimal() {
  SceneSpec spec;
  spec.headerChunks = DefaultHeaderChunks();
  SceneObject oskar;
  oskar.name = "Oskar";
  oskar.model = "Oskar.i3d";
  spec.objects = {oskar};
  Definition def;
  def.name = "Oskar";
  def.script = "use_obj 1\r\nfin\r\n";
  spec.definitions = {def};
  spec.scripts = {{"init", "// start\r\nfin\r\n", 0}};
  return spec;
}

// Definitions and scripts that exercise every rule of the catalogue's search.
SceneSpec Quirks() {
  SceneSpec spec = Minimal();
  Definition lamp;
  lamp.name = "Lamp";
  lamp.kind = 6;
  Definition gate;
  gate.name = "Gate";
  gate.kind = 18;
  Definition low;  // 01 00 00 00 00 followed by a byte below 0x0A, then a real script
  low.name = "Low";
  Bytes params = {0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03,
                  0x01, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 'f',  'i',  'n'};
  params.push_back('.');
  low.rawParams = params;
  Definition none;  // 05 00 00 00 00 first
  none.name = "NoScript";
  Definition bare;  // no pattern at all before the next definition
  bare.name = "Bare";
  bare.rawParams = Bytes{0x2F, 0x2F, 0x2F};
  Definition emptyScript;
  emptyScript.name = "EmptyScript";
  emptyScript.script = "";
  Definition dup;
  dup.name = "Oskar";
  dup.script = "second Oskar\r\n";
  spec.definitions.insert(spec.definitions.end(), {lamp, gate, low, none, bare, emptyScript, dup});
  spec.scripts.push_back({"empty", "", 0});
  spec.scripts.push_back({"Oskar", "standalone Oskar\r\n", 0x51});
  // The last script ends at the last byte of the file.
  return spec;
}

}  // namespace

std::vector<NamedScene> EdgeCaseScenes() {
  std::vector<NamedScene> scenes;
  scenes.push_back({"demo", BuildScene(DemoSceneSpec())});
  scenes.push_back({"minimal", BuildScene(Minimal())});
  scenes.push_back({"quirks", BuildScene(Quirks())});

  SceneSpec noObjects = Minimal();  // no 00 40 pair: the scan starts at 80 % of the file
  noObjects.withObjectsSection = false;
  scenes.push_back({"no-objects-section", BuildScene(noObjects)});

  SceneSpec noHeaders = Minimal();  // entries without their section headers
  noHeaders.withScriptSection = false;
  noHeaders.trailerChunks = {ScriptChunk({"orphan", "text\r\n", 0})};
  scenes.push_back({"no-section-headers", BuildScene(noHeaders)});

  SceneSpec trailer = DemoSceneSpec();
  trailer.trailerChunks.push_back(Chunk(0xAE40, ToBytes("Vel.i3d\"xbarel 2.i3d\x16Q.I3D.i3")));
  scenes.push_back({"models-in-trailer", BuildScene(trailer)});

  // Damaged lengths.
  Bytes demo = BuildScene(DemoSceneSpec());
  Bytes badRoot = demo;
  badRoot[2] = static_cast<std::uint8_t>(badRoot[2] - 9);
  scenes.push_back({"root-too-short", badRoot});
  Bytes negative = demo;
  for (std::size_t i = 5; i + 5 < negative.size(); ++i) {
    if (negative[i] == 0x51 && negative[i + 1] == 0xAE) {  // first standalone script: length -1
      negative[i + 2] = negative[i + 3] = negative[i + 4] = negative[i + 5] = 0xFF;
      break;
    }
  }
  scenes.push_back({"negative-entry-length", negative});

  scenes.push_back({"empty", {}});
  scenes.push_back({"one-byte", {0x53}});
  scenes.push_back({"header-only", {0x53, 0x4C, 0x06, 0x00, 0x00, 0x00}});
  for (int i = 1; i <= 9; ++i) {
    const auto cut = demo.size() * static_cast<std::size_t>(i) / 10;
    scenes.push_back({"demo-cut-" + std::to_string(i), Bytes(demo.begin(), demo.begin() + cut)});
  }
  return scenes;
}

}  // namespace quorvex::testing
