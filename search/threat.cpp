#include "engine/engine.h"
#include "patterns/pattern_rules.h"
#include "search/scan.h"

namespace quorlith {

namespace {

// Whether `side` has any cell where a stone makes a four.
bool can_make_four(const Engine& e, int side) {
  return e.rating_count[side][RATING_OPEN_FOUR] != 0 || e.rating_count[side][RATING_FOUR_THREE] != 0 ||
         e.rating_count[side][RATING_FOUR_PLUS] != 0 || e.rating_count[side][RATING_FOUR] != 0;
}

}  // namespace

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

  // 1.-2. Fives.
  if (rating_count[me][RATING_FIVE] >= 1) return 1;
  if (rating_count[opp][RATING_FIVE] >= 2) return -2;

  // 3. A single enemy five point must be blocked.
  if (rating_count[opp][RATING_FIVE] == 1) {
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

  // 4. An open four wins on ply 3.
  if (rating_count[me][RATING_OPEN_FOUR] >= 1) return 3;

  // 5. Four-three.
  const bool enemy_four = can_make_four(*this, opp);
  if (rating_count[me][RATING_FOUR_THREE] >= 1) {
    if (!enemy_four) return 5;
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
  }

  // 6. Double open three against no four.
  if (rating_count[me][RATING_DOUBLE_THREE] >= 1 && !enemy_four) return 5;

  return 0;
}

}  // namespace quorlith
