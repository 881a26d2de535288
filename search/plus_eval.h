// The plus brain's judgement of a position and of a move, both read off
// the board's patterns.
//
// The evaluation is linear in the counts the board keeps: for each side,
// how many (empty cell, line) pairs hold each LinePattern and how many
// empty cells hold each Combo (the shapes on each line, and their
// combinations across the lines of a cell: a four with an open three, two
// open threes, ...), and how many five-cell windows it has to itself with
// one to four stones in. The side to move plays its threats first, so its
// own counts and the opponent's have separate weights.
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
  int16_t their_line[LINE_PATTERN_COUNT];  // counted against the side to move
  int16_t their_combo[COMBO_COUNT];
  int16_t own_window[Position::WINDOW_COUNTS];  // per stones in a window
  int16_t their_window[Position::WINDOW_COUNTS];
  int16_t tempo;  // the move itself
};

// An evaluation of v gives the side to move an expected score of
// 1 / (1 + exp(-v / EVAL_SCALE)).
constexpr double EVAL_SCALE = 200.0;

// Fitted by logistic regression of game results on quiet positions; the
// block is written by tools/fit-evaluation, which says where the games
// come from.
// Index order: lines DEAD OL B1 F1 B2 F2 B3 F3 B4 F4 DF FIVE;
// combos NONE FORB F2 B3 F2X2 B3+ F3 F3+ F3X2 B4 B4+ B4F3 F4 FIVE.
// fitted-weights-begin
// tools/fit-evaluation --fit quorlith-fit --rule 0 over tools/games/plus-vs-exact.jsonl and nine
// match logs of the plus brain against its earlier builds and the sparring engine, not kept
// 984 games, 23419 positions fitted, 2546 held out (every 10-th game)
// held-out log-loss: 0.61684 with the weights before, 0.61495 fitted (training 0.60662 -> 0.60336)
inline constexpr EvalWeights EVAL_WEIGHTS = {
    /* own_line    */ {0, 0, 0, 0, 3, 6, 1, 21, 30, 0, 0, 0},
    /* own_combo   */ {0, 0, -3, 6, -7, 18, 10, 24, -9, -6, 31, 5, 0, 0},
    /* their_line  */ {0, 0, 0, 0, 3, 14, 18, 20, 29, 58, 0, 0},
    /* their_combo */ {0, 0, -9, -18, -23, -14, -10, -3, -22, -33, 19, 75, 43, 0},
    /* own_window  */ {0, -2, -10, 12, 0, 0},
    /* their_window */ {0, -7, 9, 54, 0, 0},
    /* tempo       */ 8,
};
// fitted-weights-end

// Value of the position for the side to move.
inline int32_t evaluate(const Position& pos, const EvalWeights& w = EVAL_WEIGHTS) {
  const int me = pos.side_to_move();
  const int16_t* own_lines = pos.line_counts(me);
  const int16_t* their_lines = pos.line_counts(1 - me);
  const int16_t* own_combos = pos.combo_counts(me);
  const int16_t* their_combos = pos.combo_counts(1 - me);
  int32_t v = w.tempo;
  for (int p = LINE_B2; p < LINE_FIVE; ++p) v += w.own_line[p] * own_lines[p] - w.their_line[p] * their_lines[p];
  for (int c = COMBO_F2; c < COMBO_FIVE; ++c) v += w.own_combo[c] * own_combos[c] - w.their_combo[c] * their_combos[c];
  const int16_t* own_windows = pos.window_counts(me);
  const int16_t* their_windows = pos.window_counts(1 - me);
  for (int n = 1; n < 5; ++n) v += w.own_window[n] * own_windows[n] - w.their_window[n] * their_windows[n];
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
