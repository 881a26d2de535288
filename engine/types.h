// Core types, board geometry and score helpers shared by every layer.
#pragma once

#include <array>
#include <cstdint>

namespace quorlith {

// 0 or 1. Side 0 places the first stone after start_game; sides alternate.
using Side = int;

// Engine coordinates are protocol coordinates plus BORDER. The grid keeps a
// wall four cells deep on every side, so every cell within four steps of a
// playable cell along a line is inside the grid.
constexpr int BORDER = 4;
constexpr int GRID_SIDE = 40;
constexpr int MIN_BOARD_SIZE = 5;
constexpr int MAX_BOARD_SIZE = GRID_SIDE - 2 * BORDER;  // 32
constexpr int MAX_STONES = MAX_BOARD_SIZE * MAX_BOARD_SIZE;  // 1024

// Cell occupants: a side (0 or 1), an empty playable cell, or a border cell.
constexpr int32_t EMPTY = 2;
constexpr int32_t WALL = 3;

// A cell in engine coordinates; (0, 0) means "none" (it is always a wall).
struct Point {
  uint8_t x = 0;
  uint8_t y = 0;
  friend bool operator==(Point, Point) = default;
};
static_assert(sizeof(Point) == 2);

struct Direction {
  int dx;
  int dy;
};

// The four lines through a cell, in the order used by every per-line array.
constexpr std::array<Direction, 4> DIRECTIONS{{{1, 0}, {0, 1}, {1, 1}, {1, -1}}};

// One square of the grid.
//
// line_mask[k][s] describes the eight cells within four steps of this cell
// along line k, for side s. Bit order, the same for all four lines:
//
//     bit value:   1   2   4   8   .   16  32  64  128
//     steps:      -4  -3  -2  -1   X   +1  +2  +3  +4
//
// A bit is set where side s has a stone or where the cell is a wall (a wall
// sets its bit in both sides' bytes). pattern_class and rating are kept
// current for EMPTY cells only; an occupied cell keeps the values it had when
// its stone was placed.
struct Cell {
  int32_t occupant;
  uint8_t line_mask[4][2];
  uint8_t pattern_class[4][2];
  uint8_t rating[2];
  uint8_t near_count;  // stones on the 8 adjacent cells
  uint8_t far_count;   // stones two steps away along the four lines
};
static_assert(sizeof(Cell) == 24, "a stone's update touches fixed 24-byte records");

// One transposition-table slot. score is the value of the position for the
// side that has just moved into it; depth the remaining depth it was searched
// with; reply the best move found there ((0, 0) = none).
struct HashEntry {
  uint32_t check1;
  uint32_t check2;
  int16_t score;
  int16_t depth;
  Point reply;
};
static_assert(sizeof(HashEntry) == 16, "2^20 entries must stay at 16 MB");

// A move (engine coordinates, (0, 0) = no move) with a score or ordering key.
struct ScoredMove {
  int16_t x;
  int16_t y;
  int32_t score;
};
static_assert(sizeof(ScoredMove) == 8);

// Hash table geometry.
constexpr int HASH_BITS = 20;
constexpr uint32_t HASH_SIZE = 1u << HASH_BITS;
constexpr uint32_t HASH_MASK = HASH_SIZE - 1;

// Search limits.
constexpr int MAX_PLY = 64;
// pv has MAX_PLY rows, so no search goes deeper than this.
constexpr int DEEPEST_SEARCH = MAX_PLY - 1;
// What a search uses when its budget is 0 or less, or its depth limit
// below 2.
constexpr int32_t DEFAULT_TIME_PER_MOVE_MS = 8000;
constexpr int32_t DEFAULT_MAX_DEPTH = 15;
// Room for every cell of the largest board plus the table move, so no
// candidate is ever dropped.
constexpr int MAX_CANDIDATES = MAX_STONES + 1;

// Scores, always from the side to move's point of view.
constexpr int32_t WIN_SCORE = 30000;        // five on the next stone: 29999
constexpr int32_t MATE_BAND = 25000;        // |score| >= this is a forced result
constexpr int32_t ROOT_BOUND = 32000;       // root window is [-32000, 32000]
constexpr int32_t PV_MOVE_SCORE = 30002;    // ordering key: previous iteration's move
constexpr int32_t HASH_MOVE_SCORE = 10000;  // ordering key: transposition-table move

// The score of a forced result that the threat check reports as n plies:
// n > 0 wins for the side to move, n < 0 loses.
constexpr int32_t forced_result_score(int32_t plies) {
  return plies > 0 ? WIN_SCORE - plies : -WIN_SCORE - plies;
}

// A child's score seen from the parent: negated, and a forced result moves
// one point towards zero for the ply it is passed up.
constexpr int32_t pass_up(int32_t child_score) {
  int32_t m = -child_score;
  if (m >= MATE_BAND) m -= 1;
  if (m <= -MATE_BAND) m += 1;
  return m;
}

// A threat-check answer seen one ply further up (after a forced stone):
// the sign flips and the distance grows by one ply.
constexpr int32_t threat_one_ply_up(int32_t child_answer) {
  const int32_t v = -child_answer;
  if (v < 0) return v - 1;
  if (v > 0) return v + 1;
  return 0;
}

}  // namespace quorlith
