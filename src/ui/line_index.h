#pragma once
// Where the lines of a scene text start, found once so that a view can reach any line at once.
//
// Scene texts end their lines with CR LF, a lone CR or a lone LF, mixed freely (the script box
// reads them the same way): a CR directly followed by LF is one line end of two bytes, every other
// CR or LF is a line end of one byte. A text that ends with a line end has an empty last line; the
// empty text is one empty line.

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvex::ui {

class LineIndex {
 public:
  // The index of the empty text.
  LineIndex() = default;
  explicit LineIndex(std::string_view text) { build(text); }

  // Finds the line starts of `text`: one pass, searching for CR and LF with memchr.
  void build(std::string_view text);
  // Back to the empty text, giving the memory back.
  void clear();

  std::int64_t lineCount() const { return static_cast<std::int64_t>(starts_.size()); }
  // 0-based byte offset of the first byte of `line` (0 <= line < lineCount()).
  std::int64_t lineStart(std::int64_t line) const {
    return starts_[static_cast<std::size_t>(line)];
  }
  // Offset one past the last byte of `line` before its line end; `text` is the indexed text.
  std::int64_t contentEnd(std::string_view text, std::int64_t line) const;
  // The line that holds byte `offset`; the bytes of a line end belong to the line they close, and
  // offsets at or past the end of the text to the last line.
  std::int64_t lineOf(std::int64_t offset) const;
  // The most bytes any line holds, its line end included; a bound for the widest line.
  std::int64_t longestLine() const { return longestLine_; }
  // The line with that many bytes (the first such line).
  std::int64_t longestLineNumber() const { return longestLineNumber_; }

 private:
  std::vector<std::int64_t> starts_{0};
  std::int64_t longestLine_ = 0;
  std::int64_t longestLineNumber_ = 0;
};

}  // namespace quorvex::ui
