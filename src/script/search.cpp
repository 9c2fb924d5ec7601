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

std::optional<std::int64_t> SearchCursor::next(std::string_view text, std::string_view needle) {
  if (position_ == -1) position_ = 0;
  const std::int64_t hit = FindIgnoringCase(text, needle, position_);
  if (hit < 0) {
    position_ = -1;
    return std::nullopt;
  }
  position_ = hit + static_cast<std::int64_t>(needle.size());
  return hit;
}

std::optional<std::int64_t> SearchCursor::next(std::string_view text, std::string_view needle,
                                               std::size_t slice,
                                               const std::function<void()>& yield) {
  if (position_ == -1) position_ = 0;
  const auto size = static_cast<std::int64_t>(text.size());
  const auto length = static_cast<std::int64_t>(needle.size());
  const auto step = static_cast<std::int64_t>(slice > 0 ? slice : 1);
  std::int64_t from = std::max<std::int64_t>(position_, 0);
  while (length > 0 && from < size) {
    // Hits starting at from .. from + step - 1, and nowhere else.
    const std::int64_t end = std::min(size, from + step + length - 1);
    const std::int64_t hit =
        FindIgnoringCase(text.substr(0, static_cast<std::size_t>(end)), needle, from);
    if (hit >= 0) {
      position_ = hit + length;
      return hit;
    }
    from += step;
    if (from < size && yield) yield();
  }
  position_ = -1;
  return std::nullopt;
}

}  // namespace quorvex
