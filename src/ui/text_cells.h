#pragma once
// The character cells of one line of text in a fixed-pitch view: every byte takes one cell except
// a tab, which runs to the next tab stop (a multiple of the tab width). Cells are counted from 0
// at the start of the line. Lines can run to megabytes, so runs without a tab are skipped whole.

#include <cstdint>
#include <string_view>

namespace quorvex::ui {

// The tab stop after `cell`: the next multiple of the tab width.
inline std::int64_t TabStopAfter(std::int64_t cell, int tabWidth) {
  return (cell / tabWidth + 1) * tabWidth;
}

// The cell at which byte `index` of `line` starts; index == line.size() gives the cell just after
// the last byte, so CellOf(line, line.size(), tab) is the width of the line in cells.
std::int64_t CellOf(std::string_view line, std::int64_t index, int tabWidth);

struct CoveringByte {
  std::int64_t index = 0;      // the byte that covers the cell; line.size() past the end
  std::int64_t firstCell = 0;  // the cell at which that byte starts
};
// The byte whose cells include `cell`.
CoveringByte ByteCovering(std::string_view line, std::int64_t cell, int tabWidth);

// The byte boundary (0 .. line.size()) nearest to the left edge of `cell`; inside a tab, the
// nearer side of it (the earlier one on a tie).
std::int64_t NearestBoundary(std::string_view line, std::int64_t cell, int tabWidth);

}  // namespace quorvex::ui
