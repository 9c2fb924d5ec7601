#pragma once
// Helpers of the write-side tests: a scratch folder, file helpers, and a byte-by-byte check that
// a saved scene is the old one with a text replaced and some 32-bit fields rewritten.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "scene/scene_image.h"
#include "support/scene_builder.h"
#include "support/scratch_folder.h"

namespace quorvex::testing {

// The whole file, read in one piece (the iterator-based reader is slow on large scenes).
inline Bytes ReadWhole(const std::filesystem::path& path) {
  Bytes bytes(static_cast<std::size_t>(std::filesystem::file_size(path)));
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

inline std::int32_t Int32At(const Bytes& bytes, Pos pos) {
  return *SceneImage(bytes).int32At(pos);
}

// Checks every byte of `after`: the text at textPos (1-based) replaced `removed` old bytes by
// `text`, the 32-bit fields at the positions of `fields` (positions in `before`, at or before
// textPos) hold the given values, and every other byte is the old byte, moved by the difference
// when it followed the text.
inline void ExpectReplacedText(const Bytes& before, const Bytes& after, Pos textPos,
                               std::int64_t removed, const ByteString& text,
                               const std::map<Pos, std::int32_t>& fields) {
  const std::int64_t delta = static_cast<std::int64_t>(text.size()) - removed;
  ASSERT_EQ(static_cast<std::int64_t>(after.size()),
            static_cast<std::int64_t>(before.size()) + delta);
  for (const auto& [pos, value] : fields)
    EXPECT_EQ(Int32At(after, pos), value) << "field at " << pos;
  std::size_t mismatches = 0;
  for (Pos pos = 1; pos <= static_cast<Pos>(after.size()); ++pos) {
    const auto got = after[static_cast<std::size_t>(pos - 1)];
    bool inField = false;
    for (const auto& [fieldPos, value] : fields) inField |= pos >= fieldPos && pos < fieldPos + 4;
    if (inField) continue;
    std::uint8_t want;
    if (pos < textPos) {
      want = before[static_cast<std::size_t>(pos - 1)];
    } else if (pos < textPos + static_cast<Pos>(text.size())) {
      want = static_cast<std::uint8_t>(text[static_cast<std::size_t>(pos - textPos)]);
    } else {
      want = before[static_cast<std::size_t>(pos - 1 - delta)];
    }
    if (got != want && ++mismatches <= 5) ADD_FAILURE() << "byte at position " << pos;
  }
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace quorvex::testing
