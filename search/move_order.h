// Move order shared by the plus brain's searches.
#pragma once

#include "engine/engine.h"
#include "engine/types.h"
#include "search/scan.h"

namespace quorlith {

// Stable insertion sort, highest score first: equal scores keep their list
// order, so every search takes the same path on every toolchain. Lists are
// short.
inline void sort_by_score(ScoredMove* list, int count) {
  for (int i = 1; i < count; ++i) {
    const ScoredMove item = list[i];
    int j = i;
    while (j > 0 && list[j - 1].score < item.score) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = item;
  }
}

// The node's candidates as the exact search builds them; a node without
// any scoring cell takes every neighbour cell, in row order with the score
// 0. Returns how many were written (room for MAX_CANDIDATES); 0 only when
// no empty cell has a stone near it.
inline int candidates_or_neighbours(Engine& e, ScoredMove* list) {
  int count = 0;
  e.generate_candidates(list, count);
  if (count == 0) {
    scan_neighbour_cells(e, [&](int x, int y, const Cell&) {
      list[count++] = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), 0};
      return false;
    });
  }
  return count;
}

}  // namespace quorlith
