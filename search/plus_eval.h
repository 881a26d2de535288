// The plus brain's judgement of a position and of a move, both read off
// the board's patterns.
//
// The evaluation is linear in the counts the board keeps: for each side,
// how many (empty cell, line) pairs hold each LinePattern and how many
// empty cells hold each Combo (the shapes on each line, and their
// combinations across the lines of a cell: a four with an open three, two
// open threes, ...). The side to move plays its threats first, so its own
// counts and the opponent's have separate weights.
//
// A move's score, for ordering and for cutting the move list, is what the
// stone makes for the side to move plus what it takes from the opponent.
#pragma once

#include <cstdint>

#include "engine/position.h"

namespace quorlith::plus {

struct EvalWeights {
  int16_t own_line[LINE_PATTERN_COUNT];
  int16_t own_combo[COMBO_COUNT];
  int16_t their_line[LINE_PATTERN_COUNT];
  int16_t their_combo[COMBO_COUNT];
};

// Fitted by logistic regression of game results on quiet positions (see
// tools/fit-evaluation); the header is rewritten by that tool.
//                                DEAD  OL  B1  F1  B2  F2  B3  F3  B4  F4  DF  FIVE
inline constexpr EvalWeights EVAL_WEIGHTS = {
    /* own_line    */ {0, 0, 0, 1, 2, 6, 4, 14, 8, 20, 20, 0},
    //                 NONE FORB F2 B3 F2X2 B3+ F3 F3+ F3X2 B4 B4+ B4F3 F4 FIVE
    /* own_combo   */ {0, 0, 2, 3, 10, 10, 15, 30, 150, 10, 25, 300, 0, 0},
    /* their_line  */ {0, 0, 0, 1, 2, 5, 4, 12, 8, 20, 20, 0},
    /* their_combo */ {0, 0, 2, 3, 8, 8, 12, 25, 80, 10, 20, 100, 150, 0},
};

// Value of the position for the side to move.
inline int32_t evaluate(const Position& pos, const EvalWeights& w = EVAL_WEIGHTS) {
  const int me = pos.side_to_move();
  const int16_t* own_lines = pos.line_counts(me);
  const int16_t* their_lines = pos.line_counts(1 - me);
  const int16_t* own_combos = pos.combo_counts(me);
  const int16_t* their_combos = pos.combo_counts(1 - me);
  int32_t v = 0;
  for (int p = LINE_B2; p < LINE_FIVE; ++p) v += w.own_line[p] * own_lines[p] - w.their_line[p] * their_lines[p];
  for (int c = COMBO_F2; c < COMBO_FIVE; ++c) v += w.own_combo[c] * own_combos[c] - w.their_combo[c] * their_combos[c];
  return v;
}

// Move scores: per Combo of the side to move (what the stone makes) and of
// the opponent (what it takes away), plus per LinePattern of each line.
//                                             NONE FORB F2 B3 F2X2 B3+ F3 F3+ F3X2 B4 B4+ B4F3 F4  FIVE
inline constexpr int16_t OWN_MOVE_SCORE[COMBO_COUNT] = {0, 0, 8, 8, 20, 25, 30, 50, 200, 30, 60, 400, 1000, 10000};
inline constexpr int16_t THEIR_MOVE_SCORE[COMBO_COUNT] = {0, 0, 5, 5, 15, 18, 22, 35, 150, 22, 45, 300, 800, 5000};
//                                                    DEAD OL B1 F1 B2 F2 B3 F3 B4 F4 DF FIVE
inline constexpr int16_t OWN_LINE_SCORE[LINE_PATTERN_COUNT] = {0, 0, 0, 1, 2, 4, 4, 8, 8, 16, 16, 0};
inline constexpr int16_t THEIR_LINE_SCORE[LINE_PATTERN_COUNT] = {0, 0, 0, 1, 2, 3, 3, 6, 6, 12, 12, 0};

inline int32_t move_score(const Position& pos, int cell) {
  const int me = pos.side_to_move();
  const int opp = 1 - me;
  int32_t s = OWN_MOVE_SCORE[pos.combo(cell, me)] + THEIR_MOVE_SCORE[pos.combo(cell, opp)];
  for (int k = 0; k < 4; ++k)
    s += OWN_LINE_SCORE[pos.pattern(cell, k, me)] + THEIR_LINE_SCORE[pos.pattern(cell, k, opp)];
  return s;
}

}  // namespace quorlith::plus
