#pragma once
// Realistic scenes of a chosen size for the benchmarks and their identity checks.
//
// A generated scene looks like a large mission built by modders: header chunks, thousands of scene
// objects (people, cars, things; most with a model chunk, names matching their definitions), the
// definition section with definitions of every kind (scripted ones, ones without script, kinds 6
// and 18 that the catalogue does not list, parameters whose 01 00 00 00 00 is followed by a byte
// below 0x0A), and the script section with standalone scripts. Script texts are CR LF lines of
// mission-script commands, from a few hundred bytes to tens of KiB, some naming model files.
//
// Everything is derived from the seed with a fixed pseudo-random generator, so a GeneratorSpec
// gives the same bytes on every machine and standard library.

#include <cstdint>

#include "support/scene_builder.h"

namespace quorvex::bench {

struct GeneratorSpec {
  std::uint64_t targetBytes = 1 << 20;  // the scene's exact length
  int rows = 400;                       // catalogue rows: listed definitions + standalone scripts
  int standaloneScripts = 40;           // of those rows
  int extraObjects = 200;               // scene objects without a definition
  int unlistedDefinitions = 20;         // definitions of kind 6 or 18 (no row)
  std::uint64_t seed = 1;
};

// The benchmark scenes: 1 MiB, 16 MiB (5000 rows, for the window figures) and 64 MiB.
GeneratorSpec SmallSceneSpec();
GeneratorSpec MediumSceneSpec();
GeneratorSpec LargeSceneSpec();
// 256 MiB, 5000 rows: the whole-process figures of the read commands.
GeneratorSpec HugeSceneSpec();
// 50 000 000 bytes, 5000 rows: the size at which the window's figures are judged besides 16 MiB.
GeneratorSpec FiftyMegabyteSceneSpec();

// The scene's builder spec and its bytes. The bytes are exactly spec.targetBytes long when the
// target leaves room for the objects and at least a few bytes per script.
testing::SceneSpec GenerateSceneSpec(const GeneratorSpec& spec);
Bytes GenerateScene(const GeneratorSpec& spec);

}  // namespace quorvex::bench
