#pragma once
// Script search over the overview text: the text is bytes, one byte per character in
// Windows-1252, so indices are byte indices; letter case is ignored (quorvex::FoldCase) and any
// substring matches, not only whole words.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quorvex {

// 0-based index of the first occurrence of `needle` in `text` that starts at or after `from`,
// ignoring letter case; -1 when there is none.
// An empty search text finds nothing (-1): there is nothing to select, and treating it as a miss
// ends the "search again?" cycle at once instead of selecting an empty range at the same place
// forever. A `from` below 0 counts as 0; one past the end finds nothing.
std::int64_t FindIgnoringCase(std::string_view text, std::string_view needle, std::int64_t from);

// SearchPos and the search step of Command4_Click.
class SearchCursor {
 public:
  // The index at which the next search starts; -1 after a search that found nothing; 0 at start.
  std::int64_t position() const { return position_; }

  // Text3_change, and the answer Yes to "Start search again?": search from the top.
  void reset() { position_ = 0; }

  // One search step: from SearchPos (-1 counts as 0) to the end. On a hit at k it returns k and
  // SearchPos becomes k + needle length, so the next search starts after the whole hit (overlapping
  // occurrences are skipped: "aa" in "aaaa" hits 0 and 2). On a miss it returns nothing and
  // SearchPos becomes -1.
  std::optional<std::int64_t> next(std::string_view text, std::string_view needle);

  // The same step over a long text, `slice` bytes of starting positions at a time (each slice
  // reads needle length - 1 bytes into the next, so no hit across a border is missed), calling
  // `yield` between slices so that a window can handle its events. The text must not change while
  // `yield` runs.
  std::optional<std::int64_t> next(std::string_view text, std::string_view needle,
                                   std::size_t slice, const std::function<void()>& yield);

 private:
  std::int64_t position_ = 0;
};

}  // namespace quorvex
