// Black's forbidden points under renju, decided exactly on the plus board.
//
// A black stone on an empty cell is forbidden when it makes, with no five:
//   a. an overline: six or more in a row           xxXxxx
//   b. a double four: two fours or more, two on one line counted apart
//      (x.xXx.x is two; a straight four .xxXx. is one)
//   c. a double three: open threes on two lines or more, where a three
//      counts only if some stone of black's makes a straight four of it
//      and that stone is not forbidden itself (with the first stone on the
//      board) -- which is the same question one stone further on.
// An exact five (xxXxx) comes first: it is never forbidden, whatever else
// the stone makes.
//
// The check reads the stones within five cells of each stone it tries and
// allocates nothing; it places no stone on the board but keeps the trial
// stones of the recursion beside it.
#pragma once

#include <cstdint>

#include "engine/position.h"

namespace quorlith {

enum class Forbidden : uint8_t {
  NONE = 0,
  OVERLINE = 1,
  DOUBLE_FOUR = 2,
  DOUBLE_THREE = 3,
};

// Why black may not play the empty board cell `cell` of `pos` under renju,
// or NONE. Reads the stones only, whatever rule the board keeps and
// whichever side is to move.
Forbidden forbidden_kind(const Position& pos, int cell);

inline bool is_forbidden(const Position& pos, int cell) { return forbidden_kind(pos, cell) != Forbidden::NONE; }

// Trial stones the recursion of c. keeps at most; a three whose straight
// four lies deeper than this counts as real. Each level needs two more
// lines of open threes around a stone of its own, which no game reaches.
constexpr int FORBIDDEN_MAX_TRIAL_STONES = 24;

}  // namespace quorlith
