// Move order shared by the searches.
#pragma once

#include <cstdint>

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

// Candidates are tried highest score first, equal scores in list order
// (the order a stable sort gives, so the search and the bench signature are
// the same on every toolchain). Most nodes cut off after their first move
// or two, so the list is never sorted: each move is taken just before it is
// needed, the first entry with the highest score among those not yet
// taken, which is then marked taken with a score below every key. Taking
// every entry this way gives exactly the stable sort's order.
inline constexpr int32_t TAKEN = INT32_MIN;

inline ScoredMove take_best(ScoredMove* list, int count) {
  int best = 0;
  int32_t best_score = list[0].score;
  for (int j = 1; j < count; ++j) {
    if (list[j].score > best_score) {
      best = j;
      best_score = list[j].score;
    }
  }
  const ScoredMove move = list[best];
  list[best].score = TAKEN;
  return move;
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
