#include "script/search.h"

#include <algorithm>
#include <cstddef>
#include <functional>

#include "scene/text_codec.h"

namespace quorvex {
namespace {

struct FoldedHash {
  std::size_t operator()(char c) const { return FoldCase(static_cast<std::uint8_t>(c)); }
};

struct FoldedEqual {
  bool operator()(char a, char b) const {
    return FoldCase(static_cast<std::uint8_t>(a)) == FoldCase(static_cast<std::uint8_t>(b));
  }
};

}  // namespace

std::int64_t FindIgnoringCase(std::string_view text, std::string_view needle, std::int64_t from) {
  if (needle.empty()) return -1;
  if (from < 0) from = 0;
  if (from >= static_cast<std::int64_t>(text.size())) return -1;
  const auto begin = text.begin() + from;
  const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end(), FoldedHash{},
                                                    FoldedEqual{});
  const auto hit = std::search(begin, text.end(), searcher);
  if (hit == text.end()) return -1;
  return static_cast<std::int64_t>(hit - text.begin());
}

std::optional<std::int64_t> SearchCursor::Next(std::string_view text, std::string_view needle) {
  if (position_ == -1) position_ = 0;
  const std::int64_t hit = FindIgnoringCase(text, needle, position_);
  if (hit < 0) {
    position_ = -1;
    return std::nullopt;
  }
  position_ = hit + static_cast<std::int64_t>(needle.size());
  return hit;
}

}  // namespace quorvex
