#pragma once
// Random scenes for comparing the fast read-side scans with the literal references: scenes from
// the builder with random content (kinds 6 and 18, c < 0x0A patterns, markers inside texts,
// ".i3d" names, odd floats), then randomly mutated (bytes changed, marker and pattern bytes
// planted, length fields overwritten, truncated).

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "support/scene_builder.h"

namespace quorvex::testing {

inline ByteString RandomText(std::mt19937& rng, int maxLength) {
  static const char* const pieces[] = {
      "use_obj 1\r\n", "fetch_obj 0, \"Oskar\"\r\n", "fin\r\n", "idle 500\r\n", "point 1\r\n",
      "// comment\r\n", "xbarel 2.i3d", ".i3d", ".I3D", "\x50\xAE", "\x51\xAE", "\x20\xAE",
      "\x21\xAE", "\x01\x00\x00\x00\x00", "\x05\x00\x00\x00\x00", "\x12\x20", "\"", "\x16", "a",
      "\x00", "\xAE", "model.i3d", " "};
  constexpr int kPieces = sizeof pieces / sizeof pieces[0];
  // Piece lengths (some contain zero bytes).
  static const int lengths[kPieces] = {11, 22, 5, 10, 9, 12, 12, 4, 4, 2, 2, 2, 2, 5, 5, 2, 1, 1, 1,
                                       1, 1, 9, 1};
  ByteString out;
  const int count = static_cast<int>(rng() % (maxLength + 1));
  for (int i = 0; i < count; ++i) {
    const int k = static_cast<int>(rng() % kPieces);
    out.append(pieces[k], static_cast<std::size_t>(lengths[k]));
  }
  return out;
}

inline float RandomFloat(std::mt19937& rng) {
  switch (rng() % 8) {
    case 0: return 0.0f;
    case 1: return -0.0f;
    case 2: return 0.1f;
    case 3: return std::numeric_limits<float>::quiet_NaN();
    case 4: return std::numeric_limits<float>::infinity();
    case 5: return 1e-45f;
    default: return static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 8.0f;
  }
}

inline SceneSpec RandomSpec(std::mt19937& rng) {
  static const char* const names[] = {"Oskar", "Brenna", "Vel", "Car", "Box", "init", "", "T"};
  auto name = [&] { return ByteString(names[rng() % 8]); };
  SceneSpec spec;
  if (rng() % 4) spec.headerChunks = DefaultHeaderChunks();
  spec.withObjectsSection = rng() % 5 != 0;
  spec.withDefinitionSection = rng() % 6 != 0;
  spec.withScriptSection = rng() % 6 != 0;
  const int objects = static_cast<int>(rng() % 6);
  for (int i = 0; i < objects; ++i) {
    SceneObject o;
    o.name = name();
    for (float& v : o.translation) v = RandomFloat(rng);
    for (float& v : o.size) v = RandomFloat(rng);
    o.rotationA = RandomFloat(rng);
    o.rotationB = static_cast<std::uint32_t>(rng());
    o.rotationC = RandomFloat(rng);
    if (rng() % 4) o.model = RandomText(rng, 2) + (rng() % 2 ? "car.i3d" : "x.I3D");
    spec.objects.push_back(o);
  }
  static const std::uint32_t kinds[] = {27, 4, 35, 6, 18, 0x106, 0x112, 9};
  const int definitions = static_cast<int>(rng() % 7);
  for (int i = 0; i < definitions; ++i) {
    Definition d;
    d.name = name();
    d.kind = kinds[rng() % 8];
    switch (rng() % 5) {
      case 0: break;  // 05 00 00 00 00
      case 1: d.script = "\x07low first byte"; break;  // c < 0x0A: ignored
      case 2: d.rawParams = ToBytes(RandomText(rng, 6)); break;
      default: d.script = RandomText(rng, 5); break;
    }
    if (rng() % 4 == 0) d.paramsPrefix = ToBytes(RandomText(rng, 2));
    spec.definitions.push_back(d);
  }
  const int scripts = static_cast<int>(rng() % 5);
  for (int i = 0; i < scripts; ++i) {
    StandaloneScript s;
    s.name = name();
    s.text = RandomText(rng, 6);
    s.unreadByte = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0x51 : 0);
    spec.scripts.push_back(s);
  }
  if (rng() % 3 == 0) spec.trailerChunks.push_back(Chunk(0xAE40, ToBytes(RandomText(rng, 3))));
  return spec;
}

inline void Mutate(std::mt19937& rng, Bytes& bytes) {
  const int mutations = static_cast<int>(rng() % 4);
  for (int m = 0; m < mutations && !bytes.empty(); ++m) {
    const std::size_t at = rng() % bytes.size();
    switch (rng() % 6) {
      case 0: bytes[at] = static_cast<std::uint8_t>(rng()); break;
      case 1: {  // a marker planted
        static const std::uint8_t lows[] = {0x20, 0x21, 0x50, 0x51, 0x00};
        bytes[at] = lows[rng() % 5];
        if (at + 1 < bytes.size()) bytes[at + 1] = lows[rng() % 5] == 0x00 ? 0x40 : 0xAE;
        break;
      }
      case 2: {  // a 32-bit field overwritten
        static const std::int32_t values[] = {0, -1, -7, 1, 6, 7, 0x7FFFFFFF,
                                              static_cast<std::int32_t>(0x80000000), 100000, 3};
        const std::int32_t v = values[rng() % 10];
        for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
          bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        break;
      }
      case 3: bytes.resize(rng() % (bytes.size() + 1)); break;  // truncated
      case 4: {  // a pattern planted
        const std::uint8_t pattern[] = {static_cast<std::uint8_t>(rng() % 2 ? 0x01 : 0x05), 0, 0, 0, 0};
        for (int i = 0; i < 5 && at + i < bytes.size(); ++i) bytes[at + i] = pattern[i];
        break;
      }
      default: {  // ".i3d" planted
        const char* t = ".i3d";
        for (int i = 0; i < 4 && at + i < bytes.size(); ++i) bytes[at + i] = static_cast<std::uint8_t>(t[i]);
        break;
      }
    }
  }
}

inline Bytes RandomScene(std::mt19937& rng) {
  Bytes bytes;
  if (rng() % 10 == 0) {  // small random files (tiny progress steps, windows at the end)
    bytes.resize(rng() % 48);
    static const std::uint8_t alphabet[] = {0x00, 0x40, 0x50, 0x51, 0x20, 0x21, 0xAE, 0x01,
                                            0x05, 0x07, 0x0A, '.', 'i', '3', 'd', 'x'};
    for (auto& b : bytes) b = alphabet[rng() % 16];
    return bytes;
  }
  bytes = BuildScene(RandomSpec(rng));
  Mutate(rng, bytes);
  return bytes;
}

inline void ExpectSameRows(const std::vector<CatalogueRow>& a, const std::vector<CatalogueRow>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(a[i].name, b[i].name);
    EXPECT_EQ(a[i].standalone, b[i].standalone);
    EXPECT_EQ(a[i].checked, b[i].checked);
    EXPECT_EQ(a[i].entryLengthPos, b[i].entryLengthPos);
    EXPECT_EQ(a[i].scriptLengthPos, b[i].scriptLengthPos);
    EXPECT_EQ(a[i].scriptLength, b[i].scriptLength);
    EXPECT_EQ(a[i].scriptChunkLengthPos, b[i].scriptChunkLengthPos);
  }
}

inline void ExpectSameSection(const std::optional<SectionHeader>& a, const std::optional<SectionHeader>& b) {
  ASSERT_EQ(a.has_value(), b.has_value());
  if (a) {
    EXPECT_EQ(a->lengthPos, b->lengthPos);
    EXPECT_EQ(a->length, b->length);
  }
}

inline void ExpectSameCatalogue(const Result<Catalogue>& a, const Result<Catalogue>& b) {
  ASSERT_EQ(a.ok(), b.ok()) << (a.ok() ? b.error().message : a.error().message);
  if (!a.ok()) {
    EXPECT_EQ(a.error().kind, b.error().kind) << a.error().message << " / " << b.error().message;
    return;
  }
  EXPECT_EQ(a->sceneLength, b->sceneLength);
  EXPECT_EQ(a->firstStandaloneScriptRow, b->firstStandaloneScriptRow);
  EXPECT_EQ(a->flags.scriptSectionSeen, b->flags.scriptSectionSeen);
  EXPECT_EQ(a->flags.defSectionSeen, b->flags.defSectionSeen);
  ExpectSameSection(a->scriptSection, b->scriptSection);
  ExpectSameSection(a->defSection, b->defSection);
  ExpectSameRows(a->rows, b->rows);
}

inline void ExpectSameObjects(const ObjectScanResult& a, const ObjectScanResult& b) {
  EXPECT_EQ(a.sectionFound, b.sectionFound);
  ASSERT_EQ(a.error.has_value(), b.error.has_value());
  if (a.error) {
    EXPECT_EQ(a.error->kind, b.error->kind);
  }
  ASSERT_EQ(a.matches.size(), b.matches.size());
  for (std::size_t i = 0; i < a.matches.size(); ++i) {
    const auto& x = a.matches[i];
    const auto& y = b.matches[i];
    SCOPED_TRACE("match " + std::to_string(i));
    EXPECT_EQ(x.row, y.row);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.translationPos, y.translationPos);
    EXPECT_EQ(std::memcmp(x.translation, y.translation, sizeof x.translation), 0);
    EXPECT_EQ(std::memcmp(x.size, y.size, sizeof x.size), 0);
    EXPECT_EQ(std::memcmp(x.rotation, y.rotation, sizeof x.rotation), 0);
    EXPECT_EQ(x.model, y.model);
  }
}

}  // namespace quorvex::testing
