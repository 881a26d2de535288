// What a position asks of the side to move, and the moves the plus brain
// looks at there.
//
// Before any move is chosen, the fours decide:
//   a. a five to make wins at once;
//   b. two fives of the opponent's to stop lose; one must be stopped, and
//      that stone is the only move;
//   c. otherwise an open four to make (or two fours) wins in three.
// Then the opponent's open threes: where the opponent has a cell that
// makes an open four, the only moves that do not lose at once are the
// cells where it could make any four (they break its threes; under renju
// black's forbidden fours count too) and our own fours. Otherwise every
// empty cell with a stone in reach is a move, ranked by its move score.
#pragma once

#include <cstdint>

#include "engine/forbidden.h"
#include "engine/position.h"
#include "search/plus_eval.h"
#include "search/plus_score.h"

namespace quorlith::plus {

struct PlusMove {
  int32_t cell;
  int32_t score;
};
// Room for every empty cell of the largest board.
constexpr int MAX_MOVES = MAX_STONES;

// Whether the side may play on the empty cell under rule R: everywhere but
// on black's forbidden points in renju. The board's combo settles a five
// (allowed), an overline and a double four (forbidden) and a cell with
// fewer than two open threes (allowed); where two lines make open threes,
// the exact check decides whether they are real.
template <Rule R>
inline bool may_play(const Position& pos, int cell, int side) {
  if constexpr (R != Rule::RENJU) {
    return true;
  } else {
    if (side != BLACK) return true;
    const uint8_t bits = pos.combo_bits(cell, side);
    if ((bits & COMBO_MASK) == COMBO_FIVE) return true;
    if ((bits & COMBO_MASK) == COMBO_FORBIDDEN) return false;
    return (bits & COMBO_DOUBLE_THREE_FLAG) == 0 || !is_forbidden(pos, cell);
  }
}

// The first cell of a bit set of the board whose combo for `side` is
// `combo` (the board's four cells hold every five and open-four cell).
inline int find_four_cell(const Position& pos, int side, Combo combo) {
  const uint64_t* bits = pos.four_cells(side);
  for (int w = 0; w < Position::BITSET_WORDS; ++w) {
    uint64_t word = bits[w];
    while (word != 0) {
      const int cell = w * 64 + __builtin_ctzll(word);
      if (pos.combo(cell, side) == combo) return cell;
      word &= word - 1;
    }
  }
  return Position::NO_CELL;
}

// The first cell of the side's bit set of four cells whose combo is
// `combo` and where the side may play under rule R.
template <Rule R>
inline int find_playable_four_cell(const Position& pos, int side, Combo combo) {
  if constexpr (R != Rule::RENJU) {
    return find_four_cell(pos, side, combo);
  } else {
    const uint64_t* bits = pos.four_cells(side);
    for (int w = 0; w < Position::BITSET_WORDS; ++w) {
      uint64_t word = bits[w];
      while (word != 0) {
        const int cell = w * 64 + __builtin_ctzll(word);
        if (pos.combo(cell, side) == combo && may_play<R>(pos, cell, side)) return cell;
        word &= word - 1;
      }
    }
    return Position::NO_CELL;
  }
}

// The result of steps a to c for the side to move.
struct Forced {
  int32_t value = 0;                // a forced result (win_at / loss_at), else 0
  int block = Position::NO_CELL;    // the opponent's five to stop, else NO_CELL
};

template <Rule R>
inline Forced forced_by_fours(const Position& pos, int ply) {
  const int me = pos.side_to_move();
  const int opp = 1 - me;
  Forced f;
  if (pos.combo_count(me, COMBO_FIVE) > 0) {
    f.value = win_at(ply + 1);
    return f;
  }
  const int their_fives = pos.combo_count(opp, COMBO_FIVE);
  if (their_fives >= 2) {
    f.value = loss_at(ply + 2);
    return f;
  }
  if (their_fives == 1) {
    f.block = find_four_cell(pos, opp, COMBO_FIVE);
    if (!may_play<R>(pos, f.block, me)) f.value = loss_at(ply + 2);
    return f;
  }
  if (pos.combo_count(me, COMBO_F4) > 0) {
    if (R != Rule::RENJU || me != BLACK || find_playable_four_cell<R>(pos, me, COMBO_F4) != Position::NO_CELL)
      f.value = win_at(ply + 3);
  }
  return f;
}

// Whether the opponent has an open three (a cell where it makes an open
// four) that the side to move must answer.
inline bool must_answer_three(const Position& pos) {
  return pos.combo_count(1 - pos.side_to_move(), COMBO_F4) > 0;
}

// Under renju black's four cells leave out its forbidden points, yet a
// white stone on one of them still breaks a three whose four would run
// through it. Adds to `answers` every empty cell on a line of a black
// open-four cell where black's stone would make a four on that line.
inline void add_black_line_fours(const Position& pos, uint64_t* answers) {
  for_each_cell(pos.four_cells(BLACK), [&](int threat) {
    if (pos.combo(threat, BLACK) != COMBO_F4) return;
    for (int k = 0; k < 4; ++k) {
      if (pos.pattern(threat, k, BLACK) < LINE_B4) continue;
      for (int s = -MAX_HALF_LINE; s <= MAX_HALF_LINE; ++s) {
        const int cell = threat + s * Position::STEP[k];
        if (pos.is_empty(cell) && pos.pattern(cell, k, BLACK) >= LINE_B4)
          answers[cell >> 6] |= uint64_t{1} << (cell & 63);
      }
    }
  });
}

// The answers to the opponent's open threes: every cell where it makes a
// four (a forbidden one too, under renju), and every cell where the side
// to move does. Scored; returns the count.
template <Rule R>
inline int answers_to_three(const Position& pos, PlusMove* out) {
  const int me = pos.side_to_move();
  const uint64_t* mine = pos.four_cells(me);
  const uint64_t* theirs = pos.four_cells(1 - me);
  uint64_t answers[Position::BITSET_WORDS];
  for (int w = 0; w < Position::BITSET_WORDS; ++w) answers[w] = mine[w] | theirs[w];
  if constexpr (R == Rule::RENJU) {
    if (me == WHITE) add_black_line_fours(pos, answers);
  }
  int count = 0;
  for_each_cell(answers, [&](int cell) {
    if (may_play<R>(pos, cell, me)) out[count++] = PlusMove{cell, move_score(pos, cell)};
  });
  return count;
}

// Every empty cell with a stone in reach, scored. Returns the count.
template <Rule R>
inline int all_moves(const Position& pos, PlusMove* out) {
  const int me = pos.side_to_move();
  int count = 0;
  for (int y = pos.box_min_y(); y <= pos.box_max_y(); ++y) {
    int cell = Position::cell_of(pos.box_min_x(), y);
    for (int x = pos.box_min_x(); x <= pos.box_max_x(); ++x, ++cell) {
      if (!pos.is_empty(cell) || pos.stones_in_reach(cell) == 0) continue;
      if (!may_play<R>(pos, cell, me)) continue;
      out[count++] = PlusMove{cell, move_score(pos, cell)};
    }
  }
  return count;
}

// Takes the highest-scored move not yet taken (first in list order among
// equals) and marks it taken.
inline PlusMove take_best(PlusMove* list, int count) {
  int best = 0;
  for (int j = 1; j < count; ++j)
    if (list[j].score > list[best].score) best = j;
  const PlusMove m = list[best];
  list[best].score = INT32_MIN;
  return m;
}

}  // namespace quorlith::plus
