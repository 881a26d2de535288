// Row-order scans of the bounding box shared by the search routines.
#pragma once

#include <bit>
#include <cstdint>

#include "engine/engine.h"

namespace quorlith {

// An empty cell with a stone within one step, or two steps along a line.
inline bool is_neighbour_cell(const Cell& c) {
  return c.occupant == EMPTY && (c.near_count != 0 || c.far_count != 0);
}

// Calls visit(x, y, cell) for every neighbour cell (is_neighbour_cell) of
// the bounding box, y outer and x inner, both ascending. visit returns true
// to stop the scan. The box is read once: callers may place and take back
// trial stones inside visit, which leaves the box (and the row bit sets) as
// it was. Each row's neighbour cells come from its bit sets, lowest x
// first, so the scan touches no other cell.
template <typename Visit>
bool scan_neighbour_cells(Engine& engine, Visit&& visit) {
  const int x_min = engine.box_min.x, x_max = engine.box_max.x;
  const int y_min = engine.box_min.y, y_max = engine.box_max.y;
  const uint64_t columns = ((uint64_t{2} << x_max) - 1) & ~((uint64_t{1} << x_min) - 1);
  for (int y = y_min; y <= y_max; ++y) {
    uint64_t row = engine.reach_rows[y] & ~engine.stone_rows[y] & columns;
    while (row != 0) {
      const int x = std::countr_zero(row);
      row &= row - 1;
      if (visit(x, y, engine.cells[x][y])) return true;
    }
  }
  return false;
}

}  // namespace quorlith
