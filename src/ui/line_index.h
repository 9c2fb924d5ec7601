#pragma once
// Where the lines of a scene text start, so that a view can reach any line at once.
//
// Scene texts end their lines with CR LF, a lone CR or a lone LF, mixed freely (the script box
// reads them the same way): a CR directly followed by LF is one line end of two bytes, every other
// CR or LF is a line end of one byte. A text that ends with a line end has an empty last line; the
// empty text is one empty line.
//
// The overview of a large scene holds millions of lines, most of them short; a start for every
// line would take eight bytes per line (about 70 MiB on a 200 MB scene). The index keeps the start
// of every 256th line and finds the ones between by searching from there: a view, which asks for
// the lines it paints in order, finds each from the one before. It does not hold the text: every
// query is given the text it indexed.
//
// A text can be indexed while it is written (extend), so that no pass over the whole text is left
// for the moment it is shown.

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvex::ui {

class LineIndex {
 public:
  // The index of the empty text.
  LineIndex() = default;
  explicit LineIndex(std::string_view text) { build(text); }

  // Indexes `text` from its start.
  void build(std::string_view text);
  // Indexes the bytes of `text` after those indexed so far; `text` begins with those bytes (a text
  // that grew at its end since).
  void extend(std::string_view text);
  // Back to the empty text, giving the memory back.
  void clear();

  // How many bytes of text have been indexed.
  std::int64_t size() const { return size_; }
  std::int64_t lineCount() const { return lineCount_; }
  // 0-based byte offset of the first byte of `line` (0 <= line < lineCount()).
  std::int64_t lineStart(std::string_view text, std::int64_t line) const;
  // Offset one past the last byte of `line` before its line end.
  std::int64_t contentEnd(std::string_view text, std::int64_t line) const;
  // The line that holds byte `offset`; the bytes of a line end belong to the line they close, and
  // offsets at or past the end of the text to the last line.
  std::int64_t lineOf(std::string_view text, std::int64_t offset) const;
  // The most bytes any line holds, its line end included; a bound for the widest line.
  std::int64_t longestLine() const;
  // The line with that many bytes (the first such line).
  std::int64_t longestLineNumber() const;

 private:
  static constexpr std::int64_t kStride = 256;  // lines from one kept start to the next

  // A line starts at `start`, after the line end of the last one.
  void addLine(std::int64_t start);
  void noteClosed(std::int64_t line, std::int64_t length);

  std::vector<std::int64_t> marks_{0};  // the start of line k * kStride at k
  std::int64_t lineCount_ = 1;
  std::int64_t size_ = 0;
  std::int64_t lastStart_ = 0;      // start of the last line
  std::int64_t previousStart_ = 0;  // start of the line before it
  // The indexed text ends with a CR: should the text go on with an LF, the two are one line end.
  bool endsWithCr_ = false;
  std::int64_t longestClosed_ = 0;  // the longest line that has its line end
  std::int64_t longestClosedNumber_ = 0;
  // The last line looked up: the next one is found from there (a view paints lines in order).
  mutable std::int64_t cachedLine_ = 0;
  mutable std::int64_t cachedStart_ = 0;
};

}  // namespace quorvex::ui
