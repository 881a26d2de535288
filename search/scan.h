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

// The bounding box's columns as a bit set of x.
inline uint64_t box_columns(const Engine& engine) {
  return ((uint64_t{2} << engine.box_max.x) - 1) & ~((uint64_t{1} << engine.box_min.x) - 1);
}

// The neighbour cells of row y as a bit set of x, before clipping to the
// box's columns.
inline uint64_t neighbour_row(const Engine& engine, int y) {
  return engine.reach_rows[y] & ~engine.stone_rows[y];
}

// Calls visit(x, y, cell) for every neighbour cell (is_neighbour_cell) of
// the bounding box, y outer and x inner, both ascending. visit returns true
// to stop the scan. The box is read once: callers may place and take back
// trial stones inside visit, which leaves the box (and the row bit sets) as
// it was. Each row's neighbour cells come from its bit sets, lowest x
// first, so the scan touches no other cell.
template <typename Visit>
bool scan_neighbour_cells(Engine& engine, Visit&& visit) {
  const uint64_t columns = box_columns(engine);
  const int y_min = engine.box_min.y, y_max = engine.box_max.y;
  for (int y = y_min; y <= y_max; ++y) {
    uint64_t row = neighbour_row(engine, y) & columns;
    while (row != 0) {
      const int x = std::countr_zero(row);
      row &= row - 1;
      if (visit(x, y, engine.cells[x][y])) return true;
    }
  }
  return false;
}

// When exactly one empty cell carries `rating` for `side`, the first scan
// for it (scan_neighbour_cells) finds that one cell, if it finds any. In the
// search it nearly always lies on the lines of the last stone, which made
// it (a five point, say): this looks at the 32 cells within four steps of
// the last stone along its lines, and reports the cell when it finds it
// there and the scan would visit it (a neighbour cell inside the box).
// False means the caller must scan.
inline bool find_single_rated_cell(const Engine& engine, int side, int rating, int& x_out,
                                   int& y_out) {
  if (engine.move_count == 0 || engine.rating_count[side][rating] != 1) return false;
  const Point last = engine.move_history[engine.move_count - 1];
  for (const Direction& dir : DIRECTIONS) {
    for (int d = -4; d <= 4; ++d) {
      const int x = last.x + d * dir.dx;
      const int y = last.y + d * dir.dy;
      const Cell& c = engine.cells[x][y];
      if (d == 0 || c.occupant != EMPTY || c.rating[side] != rating) continue;
      const bool visited = y >= engine.box_min.y && y <= engine.box_max.y &&
                           ((neighbour_row(engine, y) & box_columns(engine)) >> x & 1) != 0;
      if (!visited) return false;
      x_out = x;
      y_out = y;
      return true;
    }
  }
  return false;
}

}  // namespace quorlith
