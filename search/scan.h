// Row-order scans of the bounding box shared by the search routines.
#pragma once

#include "engine/engine.h"

namespace quorlith {

// An empty cell with a stone within one step, or two steps along a line.
inline bool is_neighbour_cell(const Cell& c) {
  return c.occupant == EMPTY && (c.near_count != 0 || c.far_count != 0);
}

// Calls visit(x, y, cell) for every neighbour cell of the bounding box, y
// outer and x inner, both ascending. visit returns true to stop the scan.
// The box is read once: callers may place and take back trial stones inside
// visit, which leaves the box as it was.
template <typename Visit>
bool scan_neighbour_cells(Engine& engine, Visit&& visit) {
  const int x_min = engine.box_min.x, x_max = engine.box_max.x;
  const int y_min = engine.box_min.y, y_max = engine.box_max.y;
  for (int y = y_min; y <= y_max; ++y)
    for (int x = x_min; x <= x_max; ++x) {
      Cell& c = engine.cells[x][y];
      if (is_neighbour_cell(c) && visit(x, y, c)) return true;
    }
  return false;
}

}  // namespace quorlith
