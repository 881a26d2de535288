// The board's referee: whether a stone makes five, which stones form the
// five, and the square type the board front end speaks in. The engine itself
// never declares a result; the board does, from what the engine keeps.
#pragma once

#include <vector>

#include "engine/engine.h"
#include "patterns/rules.h"

namespace quorlith::board {

// A square in protocol coordinates: column x, row y, both from 0.
struct Square {
  int x = 0;
  int y = 0;
  friend bool operator==(Square, Square) = default;
};

// True when a stone of the side to move on the empty board square s makes
// five or more in a row. The engine's own knowledge: the cell's rating for
// that side is RATING_FIVE exactly when one of its four lines would hold a
// run of five or more through it (an overline counts).
bool makes_five(const Engine& engine, Square s);

// The stones of every winning run of one side that passes through the stone
// on s, read from the board by a plain scan along the four lines; empty
// when there is none. A run wins by the rule: five or more in freestyle,
// exactly five under exactly five, and in renju five or more for white,
// exactly five for black. Each run is listed from its negative end in the
// order of DIRECTIONS, and the stone on s only once.
//
//   . x x x x X x .   a run of six through X: all six squares in freestyle,
//                     none under exactly five
std::vector<Square> lines_of_five_through(const Engine& engine, Square s, Rule rule = Rule::FREESTYLE);

}  // namespace quorlith::board
