// Move order shared by the plus brain's searches.
#pragma once

#include "engine/types.h"

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

}  // namespace quorlith
