#include "ui/text_cells.h"

#include <cstring>

namespace quorvex::ui {
namespace {

// Offset of the first tab in line[from, to), or `to`.
std::int64_t NextTab(std::string_view line, std::int64_t from, std::int64_t to) {
  const void* hit = std::memchr(line.data() + from, '\t', static_cast<std::size_t>(to - from));
  return hit == nullptr ? to : static_cast<const char*>(hit) - line.data();
}

}  // namespace

std::int64_t CellOf(std::string_view line, std::int64_t index, int tabWidth) {
  std::int64_t cell = 0;
  std::int64_t i = 0;
  while (i < index) {
    const std::int64_t tab = NextTab(line, i, index);
    cell += tab - i;
    if (tab == index) break;
    cell = TabStopAfter(cell, tabWidth);
    i = tab + 1;
  }
  return cell;
}

CoveringByte ByteCovering(std::string_view line, std::int64_t cell, int tabWidth) {
  const auto size = static_cast<std::int64_t>(line.size());
  std::int64_t at = 0;  // the cell at which byte i starts
  std::int64_t i = 0;
  while (i < size) {
    const std::int64_t tab = NextTab(line, i, size);
    if (cell < at + (tab - i)) return {i + (cell - at), cell};
    at += tab - i;
    if (tab == size) return {size, at};
    const std::int64_t stop = TabStopAfter(at, tabWidth);
    if (cell < stop) return {tab, at};
    at = stop;
    i = tab + 1;
  }
  return {size, at};
}

std::int64_t NearestBoundary(std::string_view line, std::int64_t cell, int tabWidth) {
  const CoveringByte covering = ByteCovering(line, cell, tabWidth);
  if (covering.index >= static_cast<std::int64_t>(line.size()) || cell == covering.firstCell) {
    return covering.index;
  }
  // Inside a tab: the boundary on the nearer side.
  const std::int64_t width = TabStopAfter(covering.firstCell, tabWidth) - covering.firstCell;
  const std::int64_t intoTab = cell - covering.firstCell;
  return intoTab <= width - intoTab ? covering.index : covering.index + 1;
}

}  // namespace quorvex::ui
