// A game's stones as the console engine's BOARD block, written and read
// back. The block is the one a manager sends to pbrain-quorlith, with the
// engine as the "brain" of the block:
//
//   BOARD
//   7,7,2      x,y,who: one stone per line, in play order
//   8,8,1      who 1 = the engine's stone, 2 = the player's
//   DONE
//
// So a game copied from the board can be fed to the console engine as it
// is, and a block from a manager's log loads as a game against the engine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/referee.h"

namespace quorlith::board {

// Who placed the stones of a block: WHO_ENGINE or WHO_PLAYER.
constexpr int WHO_ENGINE = 1;
constexpr int WHO_PLAYER = 2;

// The block for the stones in play order; the first stone is the engine's
// when engine_first.
std::string write_board_block(const std::vector<Square>& stones, bool engine_first);

struct BoardBlock {
  std::vector<Square> stones;
  // Whose the first stone is; unset for a block without stones.
  std::optional<bool> engine_first;
};

// Reads a block: an optional first line "BOARD", then "x,y,who" lines, then
// "DONE" (keywords in any case; blank lines, spaces around a line and CR
// line ends are ignored). who must alternate between 1 and 2 from stone to
// stone, as the stones of a game do. Squares are only checked to be numbers
// from 0 to 31 here; the game checks them against its board. On a malformed
// block returns nothing and sets error to what is wrong, with its line.
std::optional<BoardBlock> read_board_block(std::string_view text, std::string& error);

}  // namespace quorlith::board
