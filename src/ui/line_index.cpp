#include "ui/line_index.h"

#include <algorithm>
#include <cstring>

namespace quorvex::ui {
namespace {

// The first `wanted` byte at or after `from`, or `end`.
const char* Find(const char* from, const char* end, char wanted) {
  const void* hit = std::memchr(from, wanted, static_cast<std::size_t>(end - from));
  return hit == nullptr ? end : static_cast<const char*>(hit);
}

}  // namespace

void LineIndex::build(std::string_view text) {
  starts_.clear();
  // Scripts run to about 65 bytes a line; a reserve near that avoids most regrowth.
  starts_.reserve(text.size() / 48 + 1);
  starts_.push_back(0);
  longestLine_ = 0;
  longestLineNumber_ = 0;

  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // The next CR and the next LF, each searched again only once the scan has passed it: every
  // byte is looked at by at most two memchr calls.
  const char* cr = Find(begin, end, '\r');
  const char* lf = Find(begin, end, '\n');
  std::int64_t lineStart = 0;
  for (;;) {
    const char* lineEnd = std::min(cr, lf);
    if (lineEnd == end) break;
    const char* next = lineEnd + 1;
    if (*lineEnd == '\r' && next != end && *next == '\n') ++next;  // CR LF
    const std::int64_t start = next - begin;
    if (start - lineStart > longestLine_) {
      longestLine_ = start - lineStart;
      longestLineNumber_ = static_cast<std::int64_t>(starts_.size()) - 1;
    }
    starts_.push_back(start);
    lineStart = start;
    if (cr < next) cr = Find(next, end, '\r');
    if (lf < next) lf = Find(next, end, '\n');
  }
  const auto last = static_cast<std::int64_t>(text.size()) - lineStart;
  if (last > longestLine_) {
    longestLine_ = last;
    longestLineNumber_ = static_cast<std::int64_t>(starts_.size()) - 1;
  }
}

void LineIndex::clear() {
  std::vector<std::int64_t>{0}.swap(starts_);
  longestLine_ = 0;
  longestLineNumber_ = 0;
}

std::int64_t LineIndex::contentEnd(std::string_view text, std::int64_t line) const {
  if (line + 1 >= lineCount()) return static_cast<std::int64_t>(text.size());
  const std::int64_t next = lineStart(line + 1);
  // The line end is CR LF when its last byte is an LF with a CR of this line before it.
  const bool crLf = text[static_cast<std::size_t>(next - 1)] == '\n' &&
                    next - 2 >= lineStart(line) && text[static_cast<std::size_t>(next - 2)] == '\r';
  return next - (crLf ? 2 : 1);
}

std::int64_t LineIndex::lineOf(std::int64_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return std::max<std::int64_t>(0, (after - starts_.begin()) - 1);
}

}  // namespace quorvex::ui
