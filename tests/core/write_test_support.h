#pragma once
// Helpers of the write-side tests: a scratch folder, file helpers, and a byte-by-byte check that
// a saved scene is the old one with a text replaced and some 32-bit fields rewritten.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "scene/scene_image.h"
#include "support/scene_builder.h"

namespace quorvex::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    // A new folder with a random name (create_directory fails on an existing one).
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() /
                       ("quorvex-write-" + std::to_string(random()) + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot create a scratch folder");
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

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
