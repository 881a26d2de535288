// The part of the forced-threat check that the rating counts decide alone.
#pragma once

#include <cstdint>

#include "patterns/pattern_rules.h"

namespace quorlith {

// What the counts say, for the side to move `me` against `opp` (rules of
// Engine::threat_check):
//   DECIDED          the answer is `answer` (rules 1, 2, 4, 5.1, 6, 7);
//   BLOCK_FIVE       one enemy five point: block it and look one ply on
//                    (rule 3), which needs the board;
//   TRY_FOUR_THREES  our four-three against an enemy four: try each of
//                    our four-three points (rule 5.2), which needs the
//                    board; when none wins, the answer is `answer`.
struct CountVerdict {
  enum Step { DECIDED, BLOCK_FIVE, TRY_FOUR_THREES };
  Step step;
  int32_t answer;
};

inline CountVerdict judge_rating_counts(const int32_t (&counts)[2][9], int me, int opp) {
  // 1.-2. Fives.
  if (counts[me][RATING_FIVE] >= 1) return {CountVerdict::DECIDED, 1};
  if (counts[opp][RATING_FIVE] >= 2) return {CountVerdict::DECIDED, -2};
  // 3. A single enemy five point must be blocked.
  if (counts[opp][RATING_FIVE] == 1) return {CountVerdict::BLOCK_FIVE, 0};
  // 4. An open four wins on ply 3.
  if (counts[me][RATING_OPEN_FOUR] >= 1) return {CountVerdict::DECIDED, 3};
  // 5.-7. Four-three; double open three against no four; nothing.
  const bool enemy_four = counts[opp][RATING_OPEN_FOUR] != 0 || counts[opp][RATING_FOUR_THREE] != 0 ||
                          counts[opp][RATING_FOUR_PLUS] != 0 || counts[opp][RATING_FOUR] != 0;
  const int32_t otherwise = counts[me][RATING_DOUBLE_THREE] >= 1 && !enemy_four ? 5 : 0;
  if (counts[me][RATING_FOUR_THREE] >= 1) {
    if (!enemy_four) return {CountVerdict::DECIDED, 5};
    return {CountVerdict::TRY_FOUR_THREES, otherwise};
  }
  return {CountVerdict::DECIDED, otherwise};
}

}  // namespace quorlith
