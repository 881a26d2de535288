#include "patterns/evaluation.h"

#include "engine/engine.h"
#include "patterns/tables.h"

namespace quorlith {

// Each line counts for side 0 (MOVE_WEIGHT of its bytes in that order) and
// for side 1 (the bytes swapped); LINE_MOVE_WEIGHT holds the two together.
int score_move(const Cell& cell) {
  int total = 0;
  for (int k = 0; k < 4; ++k)
    total += LINE_MOVE_WEIGHT[line_index(cell.line_mask[k][0], cell.line_mask[k][1])];
  if (cell.near_count != 0) total += 1;
  return total;
}

// Sums the shape weight of every stone's four lines for its own side. This
// equals, per side, the sum over all five-cell segments free of walls and
// enemy stones holding n >= 1 own stones of n * (4n - 1).
int32_t Engine::evaluate() const {
  int32_t sum[2] = {0, 0};
  for (int i = 0; i < move_count; ++i) {
    const Cell& c = cells[move_history[i].x][move_history[i].y];
    const int s = c.occupant;
    for (int k = 0; k < 4; ++k)
      sum[s] += LINE_SHAPE_WEIGHT[line_index(c.line_mask[k][s], c.line_mask[k][1 - s])];
  }
  return sum[side_to_move] - sum[opponent];
}

}  // namespace quorlith
