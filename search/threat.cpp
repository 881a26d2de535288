#include "engine/engine.h"
#include "patterns/pattern_rules.h"
#include "search/scan.h"
#include "search/threat_rules.h"

namespace quorlith {

// The first rule that applies decides:
//   1. our five point                        -> 1
//   2. two enemy five points                 -> -2
//   3. one enemy five point: block it and judge the reply one ply further
//   4. our open four (or double four)        -> 3
//   5. our four-three: 5 if the enemy has no four to answer with, else try
//      each four-three point and keep the first that still wins
//   6. our double three and no enemy four    -> 5
//   7. nothing forced                        -> 0
int32_t Engine::threat_check() {
  const int me = side_to_move;
  const int opp = opponent;

  // 1.-2., 4., 5.1, 6., 7. from the counts alone.
  const CountVerdict verdict = judge_rating_counts(rating_count, me, opp);
  if (verdict.step == CountVerdict::DECIDED) return verdict.answer;

  // 3. A single enemy five point must be blocked.
  if (verdict.step == CountVerdict::BLOCK_FIVE) {
    int32_t answer = 0;
    scan_neighbour_cells(*this, [&](int x, int y, const Cell& c) {
      if (c.rating[opp] != RATING_FIVE) return false;
      make_move(x, y);
      const int32_t reply = threat_check();
      undo_stone();
      answer = threat_one_ply_up(reply);
      return true;
    });
    return answer;
  }

  // 5.2 Our four-three against an enemy four: try each four-three point.
  int32_t answer = 0;
  scan_neighbour_cells(*this, [&](int x, int y, const Cell& c) {
    if (c.rating[me] != RATING_FOUR_THREE) return false;
    // The trials branch, so a crowded position can take long: under a
    // timed search the clock is polled here too, and a spent budget ends
    // the check with nothing found (the search discards whatever a
    // stopped node returns).
    if (clock_armed) {
      poll_clock();
      if (stop) return true;
    }
    make_move(x, y);
    const int32_t reply = threat_check();
    undo_stone();
    if (-reply > 0) {
      answer = -reply + 1;
      return true;
    }
    return false;
  });
  if (answer != 0) return answer;

  // 6.-7. No trial won.
  return verdict.answer;
}

}  // namespace quorlith
