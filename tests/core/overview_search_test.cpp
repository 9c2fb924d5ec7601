// The overview text and the search over it.

#include <gtest/gtest.h>

#include "scene/catalogue.h"
#include "scene/text_codec.h"
#include "script/overview.h"
#include "script/search.h"
#include "support/scene_builder.h"

namespace quorvex::testing {
namespace {

ByteString OverviewOf(const Bytes& bytes) {
  const SceneImage image(bytes);
  auto c = ScanCatalogue(image);
  EXPECT_TRUE(c.ok());
  auto text = BuildScriptOverview(image, *c);
  EXPECT_TRUE(text.ok());
  return text.ok() ? *text : ByteString();
}

ByteString Block(const ByteString& name, const ByteString& text) {
  return "\r\n\r\n ******************    --  " + name + "  --  ****************** \r\n" + text;
}

TEST(Overview, BlocksOfTickedRowsInRowOrder) {
  const SceneSpec spec = DemoSceneSpec();
  ByteString expected;
  for (const auto& d : spec.definitions)
    if (d.script && !d.script->empty() && d.kind != 6 && d.kind != 18)
      expected += Block(d.name, *d.script);
  for (const auto& s : spec.scripts)
    if (!s.text.empty()) expected += Block(s.name, s.text);
  EXPECT_EQ(OverviewOf(BuildScene(spec)), expected);
}

TEST(Overview, EmptyWithoutTickedRows) {
  SceneSpec spec;
  spec.scripts = {{"empty", "", 0}};
  Definition d;
  d.name = "noscript";
  spec.definitions = {d};
  EXPECT_EQ(OverviewOf(BuildScene(spec)), "");
  EXPECT_EQ(OverviewOf(Bytes{}), "");
}

TEST(Overview, ScriptBytesUnchanged) {
  SceneSpec spec;
  spec.withDefinitionSection = false;
  const ByteString raw("\x80\x81\xFF\0line\r\nnext\n", 16);
  spec.scripts = {{"raw", raw, 0}};
  EXPECT_EQ(OverviewOf(BuildScene(spec)), Block("raw", raw));
}

TEST(Overview, ReadsTheLengthAgain) {
  SceneSpec spec;
  spec.withDefinitionSection = false;
  spec.scripts = {{"s", "end\r\n", 0}};
  const Bytes bytes = BuildScene(spec);
  const SceneImage image(bytes);
  auto c = ScanCatalogue(image);
  ASSERT_TRUE(c.ok());
  // The same catalogue over a file whose length field now points past the end: Damaged.
  Bytes changed = bytes;
  changed[static_cast<std::size_t>(*c->rows[0].scriptLengthPos - 1)] = 100;
  const auto text = BuildScriptOverview(SceneImage(changed), *c);
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.error().kind, ErrorKind::Damaged);
  // A shorter length is simply used.
  changed[static_cast<std::size_t>(*c->rows[0].scriptLengthPos - 1)] = 3;
  EXPECT_EQ(*BuildScriptOverview(SceneImage(changed), *c), Block("s", "end"));
}

TEST(Search, FindsIgnoringCase) {
  EXPECT_EQ(FindIgnoringCase("Hello World", "WORLD", 0), 6);
  EXPECT_EQ(FindIgnoringCase("Hello World", "world", 7), -1);
  EXPECT_EQ(FindIgnoringCase("fetch_Obj 0", "FETCH_OBJ", 0), 0);
  // Windows-1252 accented letters fold too; other bytes match exactly.
  EXPECT_EQ(FindIgnoringCase("x\xC9t\xE9", "\xE9T\xC9", 0), 1);
  EXPECT_EQ(FindIgnoringCase("\x8A", "\x9A", 0), 0);
  EXPECT_EQ(FindIgnoringCase("abc", "abcd", 0), -1);
  EXPECT_EQ(FindIgnoringCase("abc", "c", 3), -1);
  EXPECT_EQ(FindIgnoringCase("abc", "a", -5), 0);
}

TEST(Search, NextStartsAfterTheWholeHit) {
  SearchCursor cursor;
  EXPECT_EQ(cursor.position(), 0);
  EXPECT_EQ(cursor.next("aaaa", "aa"), 0);
  EXPECT_EQ(cursor.position(), 2);
  EXPECT_EQ(cursor.next("aaaa", "aa"), 2);
  EXPECT_EQ(cursor.next("aaaa", "aa"), std::nullopt);
  EXPECT_EQ(cursor.position(), -1);
  // After a miss the next press starts from the top.
  EXPECT_EQ(cursor.next("aaaa", "AA"), 0);
  cursor.reset();
  EXPECT_EQ(cursor.position(), 0);
}

TEST(Search, EmptyOverviewAndEmptySearchText) {
  SearchCursor cursor;
  EXPECT_EQ(cursor.next("", "wait"), std::nullopt);
  EXPECT_EQ(cursor.position(), -1);
  // An empty search text finds nothing, wherever the search starts.
  EXPECT_EQ(FindIgnoringCase("abc", "", 0), -1);
  cursor.reset();
  EXPECT_EQ(cursor.next("abc", ""), std::nullopt);
  EXPECT_EQ(cursor.position(), -1);
}

TEST(Search, InSlicesFindsWhatTheWholeTextGives) {
  // Hits straddle every slice border for some slice size; "zz" exists only in the last byte pair.
  const std::string text = "xAbCabcxabcAxabcabzz";
  for (const std::string_view needle : {"abc", "bcab", "zz", "none", "x"}) {
    for (std::size_t slice = 1; slice <= text.size() + 1; ++slice) {
      SearchCursor whole;
      SearchCursor sliced;
      int yields = 0;
      for (int step = 0; step < 8; ++step) {
        EXPECT_EQ(sliced.next(text, needle, slice, [&] { ++yields; }), whole.next(text, needle))
            << needle << " slice " << slice << " step " << step;
        EXPECT_EQ(sliced.position(), whole.position());
      }
      if (slice == 1) {
        EXPECT_GT(yields, 0);
      }
    }
  }
}

TEST(Search, WalksTheDemoOverview) {
  const ByteString text = OverviewOf(BuildScene(DemoSceneSpec()));
  SearchCursor cursor;
  int hits = 0;
  while (const auto hit = cursor.next(text, "FETCH_OBJ")) {
    EXPECT_TRUE(EqualsIgnoringCase(text.substr(static_cast<std::size_t>(*hit), 9), "fetch_obj"));
    ++hits;
  }
  EXPECT_EQ(hits, 6);
}

}  // namespace
}  // namespace quorvex::testing
