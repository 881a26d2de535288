// The engine's pattern tables. All 65,536-entry tables are indexed by
// (own line_mask byte) * 256 + (other side's byte) for one line of one cell.
#pragma once

#include <cstdint>

#include "patterns/pattern_rules.h"

namespace quorlith {

constexpr int LINE_TABLE_SIZE = 65536;
constexpr int RATING_TABLE_SIZE = 10000;

// Constant tables, generated at build time from the rules in pattern_rules.
extern const uint8_t LINE_CLASS_TABLE[LINE_TABLE_SIZE];   // PatternClass
extern const uint8_t SHAPE_TABLE[LINE_TABLE_SIZE];        // ShapeId
extern const int16_t MOVE_WEIGHT_TABLE[LINE_TABLE_SIZE];  // 0, 4, 5, 6, 7, 8 or 15
extern const int8_t SHAPE_WINDOW_COUNTS[SHAPE_COUNT][5];  // (c1..c5) per ShapeId

// Derived tables, built by build_pattern_tables and read-only otherwise.
// RATING_TABLE[1000*c0 + 100*c1 + 10*c2 + c3] = rate_classes(c0, c1, c2, c3).
extern const uint8_t (&RATING_TABLE)[RATING_TABLE_SIZE];
// Static-evaluation weight of each ShapeId.
extern const int32_t (&SHAPE_WEIGHT)[SHAPE_COUNT];
// 32-bit working copy of MOVE_WEIGHT_TABLE, read by score_move.
extern const int32_t (&MOVE_WEIGHT)[LINE_TABLE_SIZE];

// Per-line sums of the tables above, built with them so that the hottest
// sums of the search take one byte load per line:
//   LINE_MOVE_WEIGHT[a * 256 + b] = MOVE_WEIGHT[a * 256 + b] + MOVE_WEIGHT[b * 256 + a]
//   LINE_SHAPE_WEIGHT[i] = SHAPE_WEIGHT[SHAPE_TABLE[i]]
extern const uint8_t (&LINE_MOVE_WEIGHT)[LINE_TABLE_SIZE];
extern const uint8_t (&LINE_SHAPE_WEIGHT)[LINE_TABLE_SIZE];

// Both sides' classes of a line at once, indexed by the line's two mask
// bytes as the cell holds them (side 0's byte low, side 1's byte high):
//   LINE_CLASS_PAIR[b * 256 + a] = LINE_CLASS_TABLE[a * 256 + b]
//                                 + 256 * LINE_CLASS_TABLE[b * 256 + a]
// with a = line_mask[k][0] and b = line_mask[k][1], which is the pair
// pattern_class[k] as the cell holds it.
extern const uint16_t (&LINE_CLASS_PAIR)[LINE_TABLE_SIZE];

// How a stone on a cell changes the two sides' sums of shape weights, read
// from the cell's line before the stone (the windows through the cell are
// the only ones whose weight changes). For the ShapeId of the line seen by
// the side placing the stone, SHAPE_GAIN is what its sum rises by: each
// window that counts m own cells with the new stone goes from
// (m - 1)(4m - 5) to m(4m - 1), a rise of 8m - 5. For the ShapeId seen by
// the other side (as if it owned the cell), SHAPE_LOSS is what its sum
// falls by: each such window stops counting, losing (m - 1)(4m - 5).
extern const int32_t (&SHAPE_GAIN)[SHAPE_COUNT];
extern const int32_t (&SHAPE_LOSS)[SHAPE_COUNT];

// Fills RATING_TABLE, then SHAPE_WEIGHT, then MOVE_WEIGHT, then the two
// per-line sums, then SHAPE_GAIN and SHAPE_LOSS, then LINE_CLASS_PAIR. The
// contents are the same every time.
void build_pattern_tables();

// Builds the derived tables once per process, the first time it is called;
// later calls only wait for that build to end. Safe from any thread: games
// on other threads may be searching (reading the tables) while a new game
// starts. start_game calls it before it classifies any cell.
void ensure_pattern_tables();

// Index of one line of one cell for side `own` in the 65,536-entry tables.
constexpr int line_index(uint8_t own_byte, uint8_t other_byte) {
  return own_byte * 256 + other_byte;
}

// Index of four line classes in RATING_TABLE.
constexpr int rating_index(uint8_t c0, uint8_t c1, uint8_t c2, uint8_t c3) {
  return 1000 * c0 + 100 * c1 + 10 * c2 + c3;
}

}  // namespace quorlith
