#include "engine/evaluation.h"

#include "engine/engine.h"
#include "patterns/tables.h"

namespace quorlith {

void count_shape_sums(const Engine& engine, int32_t sums[2]) {
  sums[0] = sums[1] = 0;
  for (int i = 0; i < engine.move_count; ++i) {
    const Cell& c = engine.cells[engine.move_history[i].x][engine.move_history[i].y];
    for (int k = 0; k < 4; ++k) sums[c.occupant] += line_shape_weight(c, k, c.occupant);
  }
}

}  // namespace quorlith
