// The catalogue scan: quirks, progress, damaged files, and the fast scan against the
// literal reference on random scenes.

#include "scene/catalogue.h"

#include <gtest/gtest.h>

#include <random>

#include "support/literal_scans.h"
#include "support/same_results.h"
#include "support/scene_builder.h"
#include "support/scene_generator.h"

namespace quorvex::testing {
namespace {

struct Scan {
  Result<Catalogue> result;
  std::vector<int> progress;
};

Scan Fast(const Bytes& bytes, SectionFlags flags = {}, int initialCount = 0) {
  std::vector<int> values;
  CatalogueHooks hooks;
  hooks.progress = [&](int v) { values.push_back(v); };
  hooks.initialProgressCount = initialCount;
  auto result = ScanCatalogue(SceneImage(bytes), flags, hooks);
  return Scan{std::move(result), values};
}

Scan Literal(const Bytes& bytes, SectionFlags flags = {}, int initialCount = 0) {
  std::vector<int> values;
  CatalogueHooks hooks;
  hooks.progress = [&](int v) { values.push_back(v); };
  hooks.initialProgressCount = initialCount;
  auto result = LiteralScanCatalogue(MemorySource(bytes), flags, hooks);
  return Scan{std::move(result), values};
}

// Scans fast and literally, expects the same, returns the fast result.
Catalogue ScanBoth(const Bytes& bytes, SectionFlags flags = {}) {
  auto fast = Fast(bytes, flags);
  auto literal = Literal(bytes, flags);
  EXPECT_EQ(CatalogueDifference(fast.result, literal.result), "");
  EXPECT_EQ(fast.progress, literal.progress);
  EXPECT_TRUE(fast.result.ok()) << fast.result.error().message;
  return fast.result.ok() ? *fast.result : Catalogue{};
}

Error ScanError(const Bytes& bytes, SectionFlags flags = {}) {
  auto fast = Fast(bytes, flags);
  auto literal = Literal(bytes, flags);
  EXPECT_EQ(CatalogueDifference(fast.result, literal.result), "");
  EXPECT_FALSE(fast.result.ok());
  return fast.result.ok() ? Error{ErrorKind::Invalid, ""} : fast.result.error();
}

std::vector<ByteString> Names(const Catalogue& c) {
  std::vector<ByteString> out;
  for (const auto& row : c.rows) out.push_back(row.name);
  return out;
}

Pos Find(const Bytes& bytes, const ByteString& needle, Pos from = 1) {
  const Bytes pattern = ToBytes(needle);
  const auto it =
      std::search(bytes.begin() + (from - 1), bytes.end(), pattern.begin(), pattern.end());
  return it == bytes.end() ? 0 : static_cast<Pos>(it - bytes.begin()) + 1;
}

TEST(Catalogue, DemoSceneRows) {
  const Bytes bytes = BuildScene(DemoSceneSpec());
  const Catalogue c = ScanBoth(bytes);
  EXPECT_EQ(c.sceneLength, static_cast<Pos>(bytes.size()));
  // StreetLamp (kind 6) and Gate (kind 18) leave no row.
  EXPECT_EQ(Names(c),
            (std::vector<ByteString>{"Oskar", "Brenna", "Vel", "Waitress", "Cop01", "Wren_Six",
                                     "DeliveryTruck", "PoliceCar1", "Barrel01", "Crate", "init",
                                     "timer", "empty_script", "outro"}));
  EXPECT_EQ(c.firstStandaloneScriptRow, 10);
  EXPECT_TRUE(c.rows[0].checked);
  EXPECT_FALSE(c.rows[2].checked);  // 05 00 00 00 00
  EXPECT_FALSE(c.rows[2].scriptLengthPos.has_value());
  EXPECT_FALSE(c.rows[12].checked);  // a standalone script of length 0: unticked, with a position
  EXPECT_TRUE(c.rows[12].scriptLengthPos.has_value());
  EXPECT_EQ(c.rows[12].scriptLength, 0);
  ASSERT_TRUE(c.scriptSection && c.defSection);
  EXPECT_TRUE(c.flags.scriptSectionSeen && c.flags.defSectionSeen);

  // Positions: the definition's length field is at its marker + 2; the script text follows its
  // length.
  const Pos oskar = Find(bytes, ByteString("\x21\xAE", 2));
  EXPECT_EQ(c.rows[0].entryLengthPos, oskar + 2);
  const auto script =
      SceneImage(bytes).bytesAt(*c.rows[0].scriptLengthPos + 4, *c.rows[0].scriptLength);
  EXPECT_EQ(*script, *DemoSceneSpec().definitions[0].script);
  const Pos params = *c.rows[0].scriptChunkLengthPos - 2;
  EXPECT_EQ(bytes[params - 1], 0x24);
  EXPECT_EQ(bytes[params], 0xAE);
}

TEST(Catalogue, EmptyFileHasNoRows) {
  const Catalogue c = ScanBoth(Bytes{});
  EXPECT_TRUE(c.rows.empty());
  EXPECT_EQ(c.sceneLength, 0);
  // The reload flags are left as they were.
  const auto reload = Fast(Bytes{}, SectionFlags{true, true});
  ASSERT_TRUE(reload.result.ok());
  EXPECT_TRUE(reload.result->flags.scriptSectionSeen);
}

TEST(Catalogue, ShortFilesFindNothing) {
  for (std::size_t n = 1; n < 8; ++n) {
    const Catalogue c = ScanBoth(Bytes(n, 0xAE));
    EXPECT_TRUE(c.rows.empty());
  }
}

// A scene without 00 40: scanned from 80 % of its length only.
TEST(Catalogue, EightyPercentFallback) {
  SceneSpec early;
  early.withObjectsSection = false;
  early.withDefinitionSection = false;
  early.scripts = {{"early", "end\r\n", 0}};
  const Bytes first = BuildScene(early);
  Bytes bytes = first;
  bytes.resize(1000, 0x11);  // padding without 00 40
  SceneSpec late = early;
  late.scripts = {{"late", "end\r\n", 0}};
  const Bytes second = BuildScene(late);
  bytes.insert(bytes.end(), second.begin(), second.end());
  ASSERT_EQ(Find(bytes, ByteString("\x00\x40", 2)), 0);
  const Catalogue c = ScanBoth(bytes);
  EXPECT_EQ(Names(c), std::vector<ByteString>{"late"});

  // The same scene with an objects section in front is scanned from behind that section.
  SceneSpec withObjects = early;
  withObjects.withObjectsSection = true;
  Bytes both = BuildScene(withObjects);
  both.resize(1000, 0x11);
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(Names(ScanBoth(both)), (std::vector<ByteString>{"early", "late"}));
}

// limit80 = 0.8 (as a single) x length, rounded half to even: for a length of 8 MiB the product is
// exactly 6710886.5, so the fallback starts at 6710886, not 6710887.
TEST(Catalogue, EightyPercentRoundsHalfToEven) {
  constexpr Pos kLength = 8 * 1024 * 1024;
  Bytes bytes(kLength, 0x11);
  auto put = [&](Pos pos, const Bytes& what) {
    std::copy(what.begin(), what.end(), bytes.begin() + (pos - 1));
  };
  // A script section header at 6710886 whose 8-byte window holds 51 AE, and a script behind it.
  const Pos header = 6710886;
  put(header, {0x50, 0xAE, 0x00, 0x01, 0x00, 0x00});
  put(header + 6, ScriptChunk({"found", "end\r\n", 0}));
  auto fast = Fast(bytes);
  ASSERT_TRUE(fast.result.ok());
  ASSERT_TRUE(fast.result->scriptSection);
  EXPECT_EQ(fast.result->scriptSection->lengthPos, header + 2);
  EXPECT_EQ(Names(*fast.result), std::vector<ByteString>{"found"});
  auto literal = Literal(bytes);
  EXPECT_EQ(CatalogueDifference(fast.result, literal.result), "");
  EXPECT_EQ(fast.progress, literal.progress);

  // One byte later the header is no longer seen: the script is ignored.
  Bytes shifted(bytes.begin() + 1, bytes.end());
  shifted.push_back(0x11);
  auto later = Fast(shifted);
  ASSERT_TRUE(later.result.ok());
  EXPECT_TRUE(later.result->rows.empty());
}

TEST(Catalogue, HeaderNeedsEntryMarkerInItsWindow) {
  // An empty script section (length 6): the next 8 bytes hold no 51 AE, so the header is not
  // accepted and a script chunk met afterwards is ignored.
  SceneSpec spec;
  spec.withDefinitionSection = false;
  spec.scripts = {};
  Bytes bytes = BuildScene(spec);
  Bytes tail = Concat({Bytes(4, 0x11), ScriptChunk({"orphan", "end\r\n", 0})});
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  Catalogue c = ScanBoth(bytes);
  EXPECT_TRUE(c.rows.empty());
  EXPECT_FALSE(c.scriptSection.has_value());
  EXPECT_FALSE(c.flags.scriptSectionSeen);

  // With ReloadPending both flags start true: the chunk is accepted without a header.
  c = ScanBoth(bytes, SectionFlags{true, true});
  EXPECT_EQ(Names(c), std::vector<ByteString>{"orphan"});
  EXPECT_FALSE(c.scriptSection.has_value());  // no header was accepted

  // The same for definitions: 0xAE21 before any accepted 0xAE20 is ignored.
  Definition d;
  d.name = "lonely";
  d.script = "end\r\n";
  SceneSpec defs;
  defs.withDefinitionSection = false;
  defs.withScriptSection = false;
  defs.trailerChunks = {DefinitionChunk(d)};
  const Bytes defBytes = BuildScene(defs);
  EXPECT_TRUE(ScanBoth(defBytes).rows.empty());
  EXPECT_EQ(Names(ScanBoth(defBytes, SectionFlags{true, true})), std::vector<ByteString>{"lonely"});
}

TEST(Catalogue, EntryMarkerAnywhereInTheWindowAcceptsTheHeader) {
  // 51 AE at window offset 6 (the last pair of the 8 bytes) is enough; at offset 7 it is not.
  SceneSpec spec;
  spec.withObjectsSection = true;
  spec.withDefinitionSection = false;
  spec.withScriptSection = false;
  Bytes base = BuildScene(spec);
  for (int gap : {0, 1, 2, 3, 4}) {
    Bytes bytes = base;
    const Bytes header = {0x50, 0xAE, 0x00, 0x10, 0x00, 0x00};
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), static_cast<std::size_t>(gap), 0x11);
    const Bytes script = ScriptChunk({"s", "end\r\n", 0});
    bytes.insert(bytes.end(), script.begin(), script.end());
    const Catalogue c = ScanBoth(bytes);
    EXPECT_EQ(c.rows.size(), gap <= 0 ? 1u : 0u) << "gap " << gap;
  }
}

TEST(Catalogue, KindsSixAndEighteenLeaveNoRow) {
  SceneSpec spec;
  auto def = [](ByteString name, std::uint32_t kind) {
    Definition d;
    d.name = std::move(name);
    d.kind = kind;
    d.script = "end\r\n";
    return d;
  };
  spec.definitions = {def("a", 27),        def("six", 6),   def("b", 4),
                      def("eighteen", 18), def("c", 0x106), def("d", 0x0600)};
  const Catalogue c = ScanBoth(BuildScene(spec));
  // Only the low byte is the kind: 0x106 has kind byte 6; 0x600 has 0.
  EXPECT_EQ(Names(c), (std::vector<ByteString>{"a", "b", "d"}));
}

Bytes DefinitionScene(const Bytes& params) {
  Definition d;
  d.name = "obj";
  d.rawParams = params;
  SceneSpec spec;
  spec.definitions = {d};
  spec.scripts = {{"after", "end\r\n", 0}};
  return BuildScene(spec);
}

TEST(Catalogue, PatternFollowedByLowByteIsIgnored) {
  // 01 00 00 00 00, length 4, text starting with 0x09: ignored; the next pattern gives the script.
  const Bytes params = Concat({{0x01, 0, 0, 0, 0},
                               Int32Bytes(4),
                               {0x09, 'a', 'b', 'c'},
                               {0x01, 0, 0, 0, 0},
                               Int32Bytes(5),
                               ToBytes("end\r\n")});
  const Bytes bytes = DefinitionScene(params);
  const Catalogue c = ScanBoth(bytes);
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_TRUE(c.rows[0].checked);
  EXPECT_EQ(c.rows[0].scriptLength, 5);
  EXPECT_EQ(*SceneImage(bytes).bytesAt(*c.rows[0].scriptLengthPos + 4, 5), "end\r\n");

  // 0x0A itself is accepted.
  const Bytes tenth = DefinitionScene(Concat({{0x01, 0, 0, 0, 0}, Int32Bytes(2), {0x0A, 'x'}}));
  const Catalogue t = ScanBoth(tenth);
  EXPECT_EQ(t.rows[0].scriptLength, 2);
}

TEST(Catalogue, FiveZerosOrNoPatternMeansNoScript) {
  // 05 00 00 00 00 before the script pattern: no script.
  Catalogue c = ScanBoth(DefinitionScene(
      Concat({{0x05, 0, 0, 0, 0}, {0x01, 0, 0, 0, 0}, Int32Bytes(5), ToBytes("end\r\n")})));
  EXPECT_FALSE(c.rows[0].checked);
  EXPECT_FALSE(c.rows[0].scriptLengthPos.has_value());
  EXPECT_EQ(c.rows.size(), 2u);

  // No pattern before the next marker (here the script section): no script; the section still
  // follows, so the search stopped at its marker and the main loop resumed there.
  c = ScanBoth(DefinitionScene(ToBytes("no pattern here")));
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_FALSE(c.rows[0].checked);
  EXPECT_FALSE(c.rows[0].scriptLengthPos.has_value());
  EXPECT_EQ(c.rows[1].name, "after");

  // A script of length 0 found by the pattern: a position, unticked. (The text's first byte is
  // then the byte after the length, which must be >= 0x0A.)
  c = ScanBoth(DefinitionScene(Concat({{0x01, 0, 0, 0, 0}, Int32Bytes(0), ToBytes("zz")})));
  EXPECT_FALSE(c.rows[0].checked);
  EXPECT_EQ(c.rows[0].scriptLength, 0);
}

TEST(Catalogue, SearchEndsAtTheEndOfTheFile) {
  // A definition at the very end of the file without any pattern: no script.
  Definition d;
  d.name = "last";
  d.rawParams = ToBytes("text");
  SceneSpec spec;
  spec.definitions = {d};
  spec.withScriptSection = false;
  Bytes bytes = BuildScene(spec);
  Catalogue c = ScanBoth(bytes);
  ASSERT_EQ(c.rows.size(), 1u);
  EXPECT_FALSE(c.rows[0].scriptLengthPos.has_value());
  // A pattern whose text's first byte lies past the end of the file does not match.
  d.rawParams = Bytes{0x01, 0, 0, 0, 0, 0, 0, 0};
  spec.definitions = {d};
  bytes = BuildScene(spec);
  c = ScanBoth(bytes);
  EXPECT_FALSE(c.rows[0].scriptLengthPos.has_value());
}

TEST(Catalogue, MainLoopResumesInsideDefinitionScripts) {
  // After a definition's script is found the main loop steps through the script text: a fake
  // script-section header inside it (50 AE with 51 AE in its window) is accepted. (The 51 AE
  // right behind it is skipped by the header's step of 4.)
  Definition d;
  d.name = "tricky";
  d.script = ByteString("// \x50\xAE\x51\xAE\x00\x00!!\r\nend\r\n", 17);
  SceneSpec spec;
  spec.definitions = {d};
  spec.withScriptSection = false;
  const Bytes bytes = BuildScene(spec);
  const Catalogue c = ScanBoth(bytes);
  ASSERT_TRUE(c.scriptSection.has_value());
  EXPECT_EQ(c.scriptSection->lengthPos, Find(bytes, ByteString("\x50\xAE", 2)) + 2);

  // A standalone script's text is jumped over up to its last 4 bytes: markers in the middle are
  // not seen, a header in the last 4 bytes is.
  SceneSpec s;
  s.withDefinitionSection = false;
  s.scripts = {{"one", ByteString("x\x50\xAE\x06\x00\x00\x00\x51\xAEyyyy", 13), 0}};
  Bytes middle = BuildScene(s);
  Catalogue m = ScanBoth(middle);
  ASSERT_TRUE(m.scriptSection.has_value());
  EXPECT_EQ(m.scriptSection->lengthPos,
            Find(middle, ByteString("\x50\xAE", 2)) + 2);  // the real one
  s.scripts = {{"one", ByteString("abcd\x50\xAE", 6), 0}, {"two", "end", 0}};
  Bytes tail = BuildScene(s);
  Catalogue t = ScanBoth(tail);
  ASSERT_TRUE(t.scriptSection.has_value());
  // The header at the script text's end is accepted (the next chunk's 51 AE is in its window), and
  // its step of 4 lands inside the next chunk's length field: the second script is not listed.
  EXPECT_EQ(t.scriptSection->lengthPos,
            Find(tail, ByteString("\x50\xAE", 2), Find(tail, "abcd")) + 2);
  EXPECT_EQ(Names(t), std::vector<ByteString>{"one"});
}

TEST(Catalogue, FirstStandaloneScriptRow) {
  // No standalone scripts: 0.
  SceneSpec spec = DemoSceneSpec();
  spec.scripts.clear();
  EXPECT_EQ(ScanBoth(BuildScene(spec)).firstStandaloneScriptRow, 0);
  // Only standalone scripts: 0, however many follow.
  spec = DemoSceneSpec();
  spec.definitions.clear();
  const Catalogue c = ScanBoth(BuildScene(spec));
  EXPECT_EQ(c.firstStandaloneScriptRow, 0);
  EXPECT_EQ(c.rows.size(), 4u);
  // A definition after the script section does not move it.
  spec = DemoSceneSpec();
  Definition d;
  d.name = "late";
  d.script = "end\r\n";
  spec.trailerChunks = {DefinitionChunk(d)};
  const Catalogue late = ScanBoth(BuildScene(spec));
  EXPECT_EQ(late.firstStandaloneScriptRow, 10);
  EXPECT_EQ(late.rows.back().name, "late");
}

TEST(Catalogue, ProgressCountsThroughTheLastFifth) {
  // A scene without 00 40: the scan starts at limit80 and the count climbs to about 37.
  Bytes bytes(30000, 0x11);
  auto fast = Fast(bytes);
  auto literal = Literal(bytes);
  EXPECT_EQ(fast.progress, literal.progress);
  ASSERT_FALSE(fast.progress.empty());
  for (std::size_t i = 0; i < fast.progress.size(); ++i)
    EXPECT_EQ(fast.progress[i], static_cast<int>(i));
  EXPECT_GE(fast.progress.back(), 36);
  EXPECT_LE(fast.progress.back(), 38);
  // A count kept from an earlier scan continues from there.
  auto kept = Fast(bytes, {}, 5);
  EXPECT_EQ(kept.progress, Literal(bytes, {}, 5).progress);
  ASSERT_FALSE(kept.progress.empty());
  EXPECT_EQ(kept.progress.front(), 5);
  // Tiny files: the step is below one position, the count grows at every turn.
  for (std::size_t n = 1; n < 40; ++n) {
    Bytes tiny(n, 0x33);
    EXPECT_EQ(Fast(tiny).progress, Literal(tiny).progress) << n;
    EXPECT_EQ(Fast(tiny, {}, -3).progress, Literal(tiny, {}, -3).progress) << n;
  }
  // The demo scene: its objects section ends early, so the count rises through the last fifth.
  const Bytes demo = BuildScene(DemoSceneSpec());
  EXPECT_EQ(Fast(demo).progress, Literal(demo).progress);
  EXPECT_FALSE(Fast(demo).progress.empty());
}

TEST(Catalogue, TooManyRows) {
  SceneSpec spec;
  spec.withDefinitionSection = false;
  for (int i = 0; i < kMaxRows; ++i)
    spec.scripts.push_back({"s" + std::to_string(i), "end\r\n", 0});
  EXPECT_EQ(ScanBoth(BuildScene(spec)).rows.size(), static_cast<std::size_t>(kMaxRows));
  spec.scripts.push_back({"one too many", "end\r\n", 0});
  EXPECT_EQ(ScanError(BuildScene(spec)).kind, ErrorKind::TooManyRows);
  // A definition of kind 6 met with 5001 rows fails too: its row is written before the kind is
  // tested.
  spec.scripts.pop_back();
  Definition six;
  six.name = "six";
  six.kind = 6;
  spec.trailerChunks = {Chunk(0xAE20, DefinitionChunk(six))};
  EXPECT_EQ(ScanError(BuildScene(spec)).kind, ErrorKind::TooManyRows);
}

// --- Damaged files: the policy of the lead (see catalogue.cpp) ---

Bytes WithInt32(Bytes bytes, Pos pos, std::int32_t value) {
  const Bytes v = Int32Bytes(value);
  std::copy(v.begin(), v.end(), bytes.begin() + (pos - 1));
  return bytes;
}

TEST(Catalogue, DamagedStandaloneScripts) {
  SceneSpec spec;
  spec.withDefinitionSection = false;
  spec.scripts = {{"abc", "end\r\n", 0}};
  const Bytes good = BuildScene(spec);
  const Pos marker = Find(good, ByteString("\x51\xAE", 2));
  // Negative name length.
  EXPECT_EQ(ScanError(WithInt32(good, marker + 7, -1)).kind, ErrorKind::Damaged);
  // Name past the end of the file.
  EXPECT_EQ(ScanError(WithInt32(good, marker + 7, 100000)).kind, ErrorKind::Damaged);
  // Negative script length, and a text past the end.
  EXPECT_EQ(ScanError(WithInt32(good, marker + 14, -5)).kind, ErrorKind::Damaged);
  EXPECT_EQ(ScanError(WithInt32(good, marker + 14, 6)).kind, ErrorKind::Damaged);
  const Error e = ScanError(WithInt32(good, marker + 14, 0x7FFFFFFF));
  EXPECT_NE(e.message.find(std::to_string(marker)), std::string::npos) << e.message;
  // The script exactly up to the end of the file is fine.
  EXPECT_TRUE(Fast(good).result.ok());
  // Truncated inside the name length.
  EXPECT_EQ(ScanError(Bytes(good.begin(), good.begin() + (marker + 8))).kind, ErrorKind::Damaged);
}

TEST(Catalogue, DamagedDefinitions) {
  Definition d;
  d.name = "obj";
  d.script = "end\r\n";
  SceneSpec spec;
  spec.definitions = {d};
  spec.withScriptSection = false;
  const Bytes good = BuildScene(spec);
  const Pos p = Find(good, ByteString("\x21\xAE", 2), Find(good, ByteString("\x20\xAE", 2)) + 1);
  ASSERT_GT(p, 0);
  EXPECT_TRUE(Fast(good).result.ok());
  // Name length field < 7: negative N.
  EXPECT_EQ(ScanError(WithInt32(good, p + 8, 6)).kind, ErrorKind::Damaged);
  EXPECT_EQ(ScanError(WithInt32(good, p + 8, static_cast<std::int32_t>(0x80000000))).kind,
            ErrorKind::Damaged);
  // Name past the end.
  EXPECT_EQ(ScanError(WithInt32(good, p + 8, 0x7FFFFFFF)).kind, ErrorKind::Damaged);
  // K pointing backwards so that r + 6 <= p (would loop forever).
  const Pos q = p + 12 + 3 + 1;
  EXPECT_EQ(ScanError(WithInt32(good, q + 2, -(12 + 3 + 1) - 6)).kind, ErrorKind::Damaged);
  // r + 6 just after p is fine (the search then starts right behind the marker).
  ScanBoth(WithInt32(good, q + 2, -(12 + 3 + 1) - 5));
  // K pointing past the end: the third sub-chunk's length field outside the file.
  EXPECT_EQ(ScanError(WithInt32(good, q + 2, 100000)).kind, ErrorKind::Damaged);
  // Script length negative / past the end.
  const Pos s = Find(good, ByteString("\x01\x00\x00\x00\x00", 5)) + 5;
  EXPECT_EQ(ScanError(WithInt32(good, s, -1)).kind, ErrorKind::Damaged);
  EXPECT_EQ(ScanError(WithInt32(good, s, 1000)).kind, ErrorKind::Damaged);
  // A huge entry length only widens the search bound: the search ends at the end of the file.
  const auto wide = Fast(WithInt32(good, p + 2, 0x7FFFFFFF));
  ASSERT_TRUE(wide.result.ok());
  EXPECT_TRUE(wide.result->rows[0].checked);
  // Negative entry length: the search does not run at all; no script.
  Catalogue negative = ScanBoth(WithInt32(good, p + 2, -100));
  EXPECT_FALSE(negative.rows[0].scriptLengthPos.has_value());
  // Truncated at the kind byte.
  EXPECT_EQ(ScanError(Bytes(good.begin(), good.begin() + (q + 5))).kind, ErrorKind::Damaged);
}

TEST(Catalogue, DamagedObjectsSection) {
  const Bytes good = BuildScene(DemoSceneSpec());
  const Pos h = Find(good, ByteString("\x00\x40", 2), 5);
  EXPECT_EQ(ScanError(WithInt32(good, h + 2, 0)).kind, ErrorKind::Damaged);
  EXPECT_EQ(ScanError(WithInt32(good, h + 2, -6)).kind, ErrorKind::Damaged);
  // A jump past the end of the file ends the scan: no rows, no error.
  EXPECT_TRUE(ScanBoth(WithInt32(good, h + 2, 0x7FFFFFFF)).rows.empty());
  // The length field cut off by the end of the file.
  EXPECT_EQ(ScanError(Bytes(good.begin(), good.begin() + (h + 3))).kind, ErrorKind::Damaged);
}

TEST(Catalogue, EveryTruncationOfTheDemoScene) {
  const Bytes demo = BuildScene(DemoSceneSpec());
  for (std::size_t n = 0; n <= demo.size(); n += 7) {
    const Bytes cut(demo.begin(), demo.begin() + static_cast<std::ptrdiff_t>(n));
    auto fast = Fast(cut);
    auto literal = Literal(cut);
    SCOPED_TRACE("length " + std::to_string(n));
    EXPECT_EQ(CatalogueDifference(fast.result, literal.result), "");
    EXPECT_EQ(fast.progress, literal.progress);
  }
}

TEST(Catalogue, RandomScenesMatchTheLiteralScan) {
  std::mt19937 rng(20240601);
  for (int seed = 0; seed < 400; ++seed) {
    const Bytes bytes = GenerateScene(HostileSceneSpec(20240601 + seed));
    const SectionFlags flags{rng() % 4 == 0, rng() % 4 == 0};
    const int initial = static_cast<int>(rng() % 3);
    SCOPED_TRACE("scene " + std::to_string(seed) + ", " + std::to_string(bytes.size()) + " bytes");
    auto fast = Fast(bytes, flags, initial);
    auto literal = Literal(bytes, flags, initial);
    EXPECT_EQ(CatalogueDifference(fast.result, literal.result), "");
    EXPECT_EQ(fast.progress, literal.progress);
    if (::testing::Test::HasFailure()) break;
  }
}

// Scanning a changed scene only around the change gives exactly the full scan: edits of every
// shape (same length, longer, shorter, pure insertion, at the start and the end), with new bytes
// drawn from the scene itself so that they carry its markers.
TEST(Catalogue, ScanAroundChangeMatchesTheFullScan) {
  std::mt19937 rng(20261207);
  for (int seed = 0; seed < 600; ++seed) {
    const Bytes before = GenerateScene(seed % 3 == 0 ? MarkerFreeSceneSpec(seed)
                                                     : HostileSceneSpec(20261207 + seed));
    if (before.empty()) continue;
    const std::size_t offset = rng() % (before.size() + 1);
    const std::size_t removed =
        std::min<std::size_t>(rng() % 3 == 0 ? 0 : rng() % 40, before.size() - offset);
    const std::size_t inserted = seed % 4 == 0 ? removed : rng() % 40;
    const std::size_t from = rng() % before.size();
    Bytes after(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(offset));
    for (std::size_t i = 0; i < inserted; ++i) after.push_back(before[(from + i) % before.size()]);
    after.insert(after.end(), before.begin() + static_cast<std::ptrdiff_t>(offset + removed),
                 before.end());
    const ContentChange change{static_cast<Pos>(offset) + 1, static_cast<Pos>(offset + removed) + 1,
                               static_cast<Pos>(inserted) - static_cast<Pos>(removed)};
    SCOPED_TRACE("scene " + std::to_string(seed) + ", offset " + std::to_string(offset));
    const SceneImage old(before);
    const SceneImage changed(after);
    const auto both = ScanAroundChange(old, changed, change);
    EXPECT_EQ(CatalogueDifference(both.before, ScanCatalogue(old)), "");
    if (both.before) {
      EXPECT_EQ(CatalogueDifference(both.after, ScanCatalogue(changed)), "");
    }
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace quorvex::testing
