#include "engine/evaluation.h"

#include "engine/engine.h"
#include "patterns/tables.h"

namespace quorlith {

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
