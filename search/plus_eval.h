// The plus brain's static evaluation: the exact engine's shape sums, and
// for each side how many empty cells give it each kind of threat. The side
// to move spends its threats first, so the two sides' cells weigh
// differently: a cell where the side to move makes an open three is worth
// something, the same cell of the opponent's costs something only when it
// is a four-three or an open four in waiting.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quorlith {

// Per Rating (1 to 7), in shape-sum units, what each of the first two cells
// of that Rating is worth to the side to move (ours) and to its opponent
// (theirs, counted against the side to move). Fitted by logistic
// regression of game results on the quiet positions of 729 games between
// the two brains, the fit's shape-sum weight being the unit:
//   tools/fit-evaluation --inspect build/release/tools/quorlith-inspect
//                        tools/games/plus-vs-exact.jsonl
// Ratings 7 and 8 of the side to move, and 8 of the opponent, never reach
// an evaluation: the threat check ends those nodes.
inline constexpr int32_t OWN_THREAT_WEIGHT[9] = {0, 48, 113, 13, 28, 108, 285, 0, 0};
inline constexpr int32_t ENEMY_THREAT_WEIGHT[9] = {0, 10, -76, 31, -1, -96, -156, -132, 0};
// Cells of one Rating beyond this many add nothing: two threats already
// ask for more answers than one stone gives.
inline constexpr int32_t THREAT_CELLS_COUNTED = 2;

// Value for side `me`, to move, of a position with these rating counts and
// shape sums.
inline int32_t plus_evaluate(const int32_t (&counts)[2][9], const int32_t (&shape)[2], int me) {
  const int opp = 1 - me;
  int32_t v = shape[me] - shape[opp];
  for (int r = 1; r <= 7; ++r) {
    v += OWN_THREAT_WEIGHT[r] * std::min(counts[me][r], THREAT_CELLS_COUNTED);
    v += ENEMY_THREAT_WEIGHT[r] * std::min(counts[opp][r], THREAT_CELLS_COUNTED);
  }
  return v;
}

}  // namespace quorlith
