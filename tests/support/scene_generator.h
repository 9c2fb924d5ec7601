#pragma once
// The scene generator of the tests, the fuzz targets and the benchmarks: one generator whose
// options choose how large a scene is, what its names and texts hold and how it is damaged
// afterwards; everything is derived from the seed (random.h), so a GeneratorSpec gives the same
// bytes on every machine.
//
// Every structured scene has the same shape: header chunks; the objects section with an object
// for most definitions (same name) and extra objects without one; the definition section with
// listed definitions (with or without a script) and definitions of the kinds the catalogue does
// not list; the script section with standalone scripts; a trailer chunk. The content decides what
// goes into it:
//
//   Mission     a large mission as modders build it: people, cars and things, most with a model
//               chunk; definitions whose parameters now and then hold a 01 00 00 00 00 followed by
//               a byte below 0x0A; script texts of CR LF mission-script lines, some naming model
//               files. The benchmark scenes.
//   Hostile     what trips a scan: texts of marker pairs, script patterns and ".i3d" pieces;
//               names shared by many rows and objects; NaN, infinite and denormal values; raw
//               parameters; kinds 0x106 and 0x112 beside 6 and 18; header chunks or whole
//               sections left out. The random scenes compared against the literal scans.
//   MarkerFree  names unique regardless of letter case and texts without any byte a marker is
//               made of, so that every row and object follows from the GeneratorSpec alone: the
//               soak test's model is built from it. The first row is a definition with a script.
//   Noise       no chunk structure at all: targetBytes bytes drawn from marker, pattern and name
//               bytes.
//
// After building, `mutations` random changes damage the bytes: a byte changed, a marker or a
// script pattern or ".i3d" planted, a 32-bit field overwritten with a hostile value, the scene
// cut short.
//
// Besides the random scenes there are the edge-case scenes: fixed scenes, one per quirk of the
// scans, with damaged lengths and truncations (the fuzz targets' seed corpus).

#include <cstdint>
#include <string>
#include <vector>

#include "support/random.h"
#include "support/scene_builder.h"

namespace quorvex::testing {

enum class SceneContent { Mission, Hostile, MarkerFree, Noise };

struct GeneratorSpec {
  // Structured scenes: the exact length, reached by sizing the script texts (when the rest leaves
  // room for the objects and a few bytes per script); 0 lets every text draw its own length.
  // Noise: the length of the noise.
  std::uint64_t targetBytes = 1 << 20;
  int rows = 400;                // catalogue rows: listed definitions + standalone scripts
  int standaloneScripts = 40;    // of those rows
  int extraObjects = 200;        // scene objects without a definition
  int unlistedDefinitions = 20;  // definitions of kinds the catalogue does not list (no row)
  std::uint64_t seed = 1;
  SceneContent content = SceneContent::Mission;
  int mutations = 0;  // random damage after building
};

// The benchmark scenes: 1 MiB, 16 MiB (5000 rows, for the window figures), 64 MiB, and 256 MiB
// with 5000 rows (the whole-process figures of the read commands).
GeneratorSpec SmallSceneSpec();
GeneratorSpec MediumSceneSpec();
GeneratorSpec LargeSceneSpec();
GeneratorSpec HugeSceneSpec();
// 50 000 000 bytes, 5000 rows: the size at which the window's figures are judged besides 16 MiB.
GeneratorSpec FiftyMegabyteSceneSpec();

// A small hostile scene: a few rows, objects and scripts, up to three mutations; one seed in ten
// gives a short noise file instead (tiny progress steps, windows at the end of the file).
GeneratorSpec HostileSceneSpec(std::uint64_t seed);
// A marker-free scene of a few dozen rows and objects (the soak test's scenes).
GeneratorSpec MarkerFreeSceneSpec(std::uint64_t seed);

// The builder spec of a structured scene (any content but Noise), and the bytes of any scene.
SceneSpec GenerateSceneSpec(const GeneratorSpec& spec);
Bytes GenerateScene(const GeneratorSpec& spec);

// `length` bytes of text without 00, 20, 21, 40, 50, 51 or AE, so that no marker pair can form
// inside it or across its edges; CR LF, tabs and high Windows-1252 letters included.
ByteString MarkerFreeText(Random& random, std::size_t length);

struct NamedScene {
  std::string name;
  Bytes bytes;
};
// The edge-case scenes: the demo scene, a minimal one, one with every quirk of the catalogue's
// search, scenes without the objects section or the section headers, model names in a trailer,
// damaged root and entry lengths, empty and tiny files, and the demo scene cut at every tenth.
std::vector<NamedScene> EdgeCaseScenes();

}  // namespace quorvex::testing
