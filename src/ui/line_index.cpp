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

// The first CR or LF at or after `from`, or `end`. Searched a block at a time, so that a text with
// only one kind of line end is not searched to its end for the other kind.
const char* FindLineEnd(const char* from, const char* end) {
  constexpr std::ptrdiff_t kBlock = 4096;
  while (from < end) {
    const char* stop = end - from > kBlock ? from + kBlock : end;
    const char* hit = std::min(Find(from, stop, '\r'), Find(from, stop, '\n'));
    if (hit != stop) return hit;
    from = stop;
  }
  return end;
}

// Where the line after the one starting at `start` starts (the text must have a line end there).
std::int64_t NextStart(std::string_view text, std::int64_t start) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* lineEnd = FindLineEnd(begin + start, end);
  const char* next = lineEnd + 1;
  if (*lineEnd == '\r' && next != end && *next == '\n') ++next;  // CR LF
  return next - begin;
}

}  // namespace

void LineIndex::build(std::string_view text) {
  clear();
  extend(text);
}

void LineIndex::clear() {
  std::vector<std::int64_t>{0}.swap(marks_);
  lineCount_ = 1;
  size_ = 0;
  lastStart_ = 0;
  previousStart_ = 0;
  endsWithCr_ = false;
  longestClosed_ = 0;
  longestClosedNumber_ = 0;
  cachedLine_ = 0;
  cachedStart_ = 0;
}

void LineIndex::noteClosed(std::int64_t line, std::int64_t length) {
  if (length > longestClosed_) {
    longestClosed_ = length;
    longestClosedNumber_ = line;
  }
}

void LineIndex::addLine(std::int64_t start) {
  noteClosed(lineCount_ - 1, start - lastStart_);
  previousStart_ = lastStart_;
  lastStart_ = start;
  if (lineCount_ % kStride == 0) marks_.push_back(start);
  ++lineCount_;
}

void LineIndex::extend(std::string_view text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* from = begin + size_;
  const bool grew = from != end;
  cachedLine_ = 0;
  cachedStart_ = 0;
  if (endsWithCr_ && grew) {
    endsWithCr_ = false;
    if (*from == '\n') {
      // The LF joins the CR before it: the last line starts one byte later, and the line the CR
      // closed is one byte longer.
      ++lastStart_;
      if ((lineCount_ - 1) % kStride == 0) marks_.back() = lastStart_;
      noteClosed(lineCount_ - 2, lastStart_ - previousStart_);
      ++from;
    }
  }
  // The next CR and the next LF, each searched again only once the scan has passed it: every
  // byte is looked at by at most two memchr calls.
  const char* cr = Find(from, end, '\r');
  const char* lf = Find(from, end, '\n');
  for (;;) {
    const char* lineEnd = std::min(cr, lf);
    if (lineEnd == end) break;
    const char* next = lineEnd + 1;
    if (*lineEnd == '\r' && next != end && *next == '\n') ++next;  // CR LF
    addLine(next - begin);
    if (cr < next) cr = Find(next, end, '\r');
    if (lf < next) lf = Find(next, end, '\n');
  }
  if (grew) endsWithCr_ = end[-1] == '\r';
  size_ = static_cast<std::int64_t>(text.size());
}

std::int64_t LineIndex::lineStart(std::string_view text, std::int64_t line) const {
  if (line == lineCount_ - 1) return lastStart_;
  const std::int64_t mark = line / kStride;
  std::int64_t at = mark * kStride;
  std::int64_t start = marks_[static_cast<std::size_t>(mark)];
  if (cachedLine_ <= line && cachedLine_ > at) {
    at = cachedLine_;
    start = cachedStart_;
  }
  for (; at < line; ++at) start = NextStart(text, start);
  cachedLine_ = line;
  cachedStart_ = start;
  return start;
}

std::int64_t LineIndex::contentEnd(std::string_view text, std::int64_t line) const {
  if (line + 1 >= lineCount()) return static_cast<std::int64_t>(text.size());
  const std::int64_t start = lineStart(text, line);
  const std::int64_t next = lineStart(text, line + 1);
  // The line end is CR LF when its last byte is an LF with a CR of this line before it.
  const bool crLf = text[static_cast<std::size_t>(next - 1)] == '\n' && next - 2 >= start &&
                    text[static_cast<std::size_t>(next - 2)] == '\r';
  return next - (crLf ? 2 : 1);
}

std::int64_t LineIndex::lineOf(std::string_view text, std::int64_t offset) const {
  if (offset >= lastStart_) return lineCount_ - 1;
  // The last kept start at or before the offset, then line by line.
  const auto after = std::upper_bound(marks_.begin(), marks_.end(), offset);
  const auto mark = std::max<std::int64_t>(0, (after - marks_.begin()) - 1);
  std::int64_t line = mark * kStride;
  std::int64_t start = marks_[static_cast<std::size_t>(mark)];
  for (;;) {
    const std::int64_t next = line + 1 == lineCount_ - 1 ? lastStart_ : NextStart(text, start);
    if (next > offset) return line;
    ++line;
    start = next;
  }
}

std::int64_t LineIndex::longestLine() const {
  return std::max(longestClosed_, size_ - lastStart_);
}

std::int64_t LineIndex::longestLineNumber() const {
  return size_ - lastStart_ > longestClosed_ ? lineCount_ - 1 : longestClosedNumber_;
}

}  // namespace quorvex::ui
