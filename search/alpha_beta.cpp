#include <algorithm>
#include <climits>

#include "engine/engine.h"
#include "engine/keys.h"
#include "patterns/pattern_rules.h"
#include "search/move_order.h"
#include "search/scan.h"
#include "search/threat_rules.h"

namespace quorlith {

namespace {

constexpr ScoredMove NO_MOVE_ZERO{0, 0, 0};

}  // namespace

void Engine::update_pv(int x, int y) {
  pv[ply][ply] = PvMove{static_cast<int16_t>(x), static_cast<int16_t>(y)};
  const int end = std::min(pv_length[ply + 1], MAX_PLY);
  for (int i = ply + 1; i < end; ++i) pv[ply][i] = pv[ply + 1][i];
  pv_length[ply] = pv_length[ply + 1];
}

void Engine::poll_clock() {
  if ((nodes >> CLOCK_BLOCK_SHIFT) != clock_block) {
    clock_block = nodes >> CLOCK_BLOCK_SHIFT;
    check_time();
  }
}

void Engine::check_time() {
  if (clock_ms() >= deadline_ms) stop = true;
}

ScoredMove Engine::alpha_beta(int depth, bool root, int32_t alpha, int32_t beta) {
  // 1. No move has reached alpha yet.
  ScoredMove best{0, 0, alpha - 1};

  // 2. Out of time: unwind.
  if (stop) return NO_MOVE_ZERO;

  // 3. The clock, once per 4096 placed stones. Threat-check trial stones can
  //    step over an exact multiple, so the clock is read whenever the count
  //    has entered a new block of 4096 since the last reading.
  poll_clock();

  // 4. This node's line starts empty.
  pv_length[ply] = ply;

  // 5.-7. Forced results. Below the root they end the node; at the root only
  //       our own five point does.
  const int32_t forced = threat_check();
  if (!root && forced != 0) return ScoredMove{0, 0, forced_result_score(forced)};
  if (root && forced == 1) {
    ScoredMove five{0, 0, WIN_SCORE - 1};
    const bool found = scan_neighbour_cells(*this, [&](int x, int y, const Cell& c) {
      if (c.rating[side_to_move] != RATING_FIVE) return false;
      five.x = static_cast<int16_t>(x);
      five.y = static_cast<int16_t>(y);
      return true;
    });
    if (found) {
      update_pv(five.x, five.y);
      return five;
    }
  }

  // 8. Horizon.
  if (depth == 0) return ScoredMove{0, 0, evaluate()};

  // 9.-10. Candidates; a root with a single one needs no search.
  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  generate_candidates(list, count);
  if (root && count == 1) {
    update_pv(list[0].x, list[0].y);
    return list[0];
  }

  // 11. Raise the previous iteration's move at this ply.
  if (follow_pv) {
    follow_pv = false;
    for (int i = 0; i < count; ++i) {
      if (list[i].x == pv[0][ply].x && list[i].y == pv[0][ply].y) {
        follow_pv = true;
        list[i].score = PV_MOVE_SCORE;
        break;
      }
    }
  }

  // 12.-13. Order (the moves are taken in order in step 14, see take_best).
  //        Nothing worth trying: every neighbour cell, in row order, each
  //        with the score 0, which keeps that order.
  if (count == 0) {
    scan_neighbour_cells(*this, [&](int x, int y, const Cell&) {
      list[count++] = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), 0};
      return false;
    });
  }
  // The table slot of the position after a move is known before the move
  // is made: fetching it then saves the probe after the move a wait for
  // memory.
  auto fetch_slot_after = [&](const ScoredMove& move) {
    const uint32_t slot =
        (hash_index + static_cast<uint32_t>(INDEX_KEY[side_to_move][move.y][move.x])) & HASH_MASK;
    __builtin_prefetch(&transposition_table[slot]);
  };
  ScoredMove next = NO_MOVE_ZERO;
  if (count > 0) {
    next = take_best(list, count);
    fetch_slot_after(next);
    if (root) root_first_candidate = Point{static_cast<uint8_t>(next.x), static_cast<uint8_t>(next.y)};
  }

  // 14. Try each move.
  for (int i = 0; i < count; ++i) {
    const int x = next.x;
    const int y = next.y;
    // Take the next move now, so that its table slot is on its way while
    // this move is searched.
    if (i + 1 < count) {
      next = take_best(list, count);
      fetch_slot_after(next);
    }
    // 14.3 The child's window, negated and formed in 16 bits; a
    //      forced-result bound widens by the point it gains one ply down.
    int16_t cb = static_cast<int16_t>(-1 - best.score);
    if (cb >= MATE_BAND) cb = static_cast<int16_t>(cb + 1);
    int16_t ca = static_cast<int16_t>(-beta);
    if (ca <= -MATE_BAND) ca = static_cast<int16_t>(ca - 1);

    int32_t m;
    if (depth == 1 && cells[x][y].rating[side_to_move] < RATING_FOUR) {
      // 14.1-14.4 for a child at the horizon, without placing the stone
      //           when its counts decide it. A stone that makes a four
      //           leaves a five point to block, which the child's threat
      //           check plays out on the board: such a move is made.
      m = leaf_move_value(x, y, ca, cb);
    } else {
      m = searched_move_value(x, y, depth, ca, cb);
    }

    // 14.5 A stop discards the result.
    if (stop) return NO_MOVE_ZERO;

    // 14.6 Fail-hard: only a value above beta cuts off.
    if (m > best.score) {
      best = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), m};
      if (m > beta) return ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), beta + 1};
      update_pv(x, y);
    }
  }

  // 15.
  return best;
}

int32_t Engine::searched_move_value(int x, int y, int depth, int16_t ca, int16_t cb) {
  make_move(x, y);
  // 14.2 The table holds the child's value at exactly this depth.
  int32_t m;
  const HashEntry& probe = transposition_table[hash_index];
  if (probe.check1 == hash_check1 && probe.check2 == hash_check2 && probe.depth == depth - 1) {
    m = probe.score;
  } else {
    // 14.3 Search the child.
    ++ply;
    const ScoredMove r = alpha_beta(depth - 1, false, ca, cb);
    --ply;
    m = pass_up(r.score);
    if (-cb <= m && m <= -ca) {
      HashEntry& slot = transposition_table[hash_index];
      slot.check1 = hash_check1;
      slot.check2 = hash_check2;
      slot.score = static_cast<int16_t>(m);
      slot.depth = static_cast<int16_t>(depth - 1);
      slot.reply = Point{static_cast<uint8_t>(r.x), static_cast<uint8_t>(r.y)};
    }
  }
  // 14.4 Back to this position.
  undo_stone();
  return m;
}

// Step 14 of a node at depth 1 for the move (x, y): what make_move, the
// probe, alpha_beta(0, false, ca, cb), the store and undo_stone would give,
// with the same effects on the table, the node count, the clock, pv_length
// and the history entry above the last stone. A child at the horizon reads
// only the rating counts (when they decide the threat check), the shape
// sums and the hash words, which a preview gives without placing the stone
// (see threat_check_after).
int32_t Engine::leaf_move_value(int x, int y, int16_t ca, int16_t cb) {
  Preview after;
  preview_stone(x, y, after);

  // The probe (14.2).
  const HashEntry& probe = transposition_table[after.hash_index];
  if (probe.check1 == after.hash_check1 && probe.check2 == after.hash_check2 && probe.depth == 0)
    return probe.score;

  // The child's steps 2 to 8.
  int32_t value = 0;
  if (!stop) {
    ++ply;
    poll_clock();
    pv_length[ply] = ply;
    const int32_t forced = threat_check_after(x, y, after);
    const int me = opponent;  // the side to move in the child
    const int opp = side_to_move;
    value = forced != 0 ? forced_result_score(forced) : after.shape_sum[me] - after.shape_sum[opp];
    --ply;
  }

  // The store (14.3): a leaf names no move.
  const int32_t m = pass_up(value);
  if (-cb <= m && m <= -ca) {
    HashEntry& slot = transposition_table[after.hash_index];
    slot.check1 = after.hash_check1;
    slot.check2 = after.hash_check2;
    slot.score = static_cast<int16_t>(m);
    slot.depth = 0;
    slot.reply = Point{};
  }
  return m;
}

}  // namespace quorlith
