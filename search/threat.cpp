#include <cstring>

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

  // 3. A single enemy five point must be blocked. A block that makes no
  //    four of our own is previewed (see threat_check_after).
  //    The five point is found near the last stone when it is there (see
  //    find_single_rated_cell), else by the scan.
  if (verdict.step == CountVerdict::BLOCK_FIVE) {
    int x = 0, y = 0;
    const bool found = find_single_rated_cell(*this, opp, RATING_FIVE, x, y) ||
                       scan_neighbour_cells(*this, [&](int cx, int cy, const Cell& c) {
                         if (c.rating[opp] != RATING_FIVE) return false;
                         x = cx;
                         y = cy;
                         return true;
                       });
    if (!found) return 0;
    int32_t reply;
    if (cells[x][y].rating[me] < RATING_FOUR) {
      Preview after;
      preview_stone(x, y, after);
      reply = threat_check_after(x, y, after);
    } else {
      make_move(x, y);
      reply = threat_check();
      undo_stone();
    }
    return threat_one_ply_up(reply);
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

void Engine::preview_stone(int x, int y, Preview& after) {
  preview_move(x, y, after);
  note_previewed_stone(x, y);
}

void Engine::note_previewed_stone(int x, int y) {
  nodes = static_cast<int32_t>(static_cast<uint32_t>(nodes) + 1u);
  move_history[move_count] = Point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)};
  box_min_history[move_count] = box_min;
  box_max_history[move_count] = box_max;
}

// What threat_check() would answer after make_move(x, y). Its rules read
// nothing but the counts of Ratings 3 to 8 unless there is a five to block
// or a four-three to try, so the preview's counts answer it when they
// decide; only otherwise is the stone placed (it is counted already) and
// taken back. A stone that makes a four always leaves a five to block, so
// callers place such stones themselves rather than preview them.
int32_t Engine::threat_check_after(int x, int y, const Preview& after) {
  const CountVerdict verdict = judge_rating_counts(after.rating_count, opponent, side_to_move);
  if (verdict.step == CountVerdict::DECIDED) return verdict.answer;
  nodes = static_cast<int32_t>(static_cast<uint32_t>(nodes) - 1u);
  make_move(x, y);
  const int32_t answer = threat_check();
  undo_stone();
  return answer;
}

void Engine::horizon_after(int x, int y, int32_t* forced, int32_t* value) {
  if (cells[x][y].rating[side_to_move] >= RATING_FOUR) {
    make_move(x, y);
    *forced = threat_check();
    *value = evaluate();
    undo_stone();
    return;
  }
  Preview after;
  preview_stone(x, y, after);
  *forced = threat_check_after(x, y, after);
  *value = after.shape_sum[opponent] - after.shape_sum[side_to_move];
}

int32_t Engine::horizon_counts_after(int x, int y, Preview& after) {
  if (cells[x][y].rating[side_to_move] >= RATING_FOUR) {
    make_move(x, y);
    const int32_t forced = threat_check();
    std::memcpy(after.rating_count, rating_count, sizeof rating_count);
    std::memcpy(after.shape_sum, shape_sum, sizeof shape_sum);
    undo_stone();
    return forced;
  }
  preview_move_every_rating(x, y, after);
  note_previewed_stone(x, y);
  return threat_check_after(x, y, after);
}

}  // namespace quorlith
