// Move scoring and static evaluation: the two judgements the engine makes
// from the line masks it keeps current.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/types.h"
#include "patterns/tables.h"

namespace quorlith {

class Engine;

// Move score of a playable cell, 0 to 121, the same for both sides: each
// line is weighed once as an attacking point for side 0 (MOVE_WEIGHT of its
// bytes in that order) and once for side 1 (the bytes swapped), plus 1 when
// a stone stands on an adjacent cell. LINE_MOVE_WEIGHT holds each line's two
// weights together; a sum over both orders of the bytes, it is the same in
// either order, so each line's two bytes are read as one 16-bit index as
// the cell holds them. Inline: the search scores every neighbour cell of
// every interior node.
static_assert(std::endian::native == std::endian::little,
              "score_move reads line_mask[k][0] as the low byte of line k's index");
inline int score_move(const Cell& cell) {
  uint64_t masks;
  std::memcpy(&masks, cell.line_mask, sizeof masks);
  int total = 0;
  for (int k = 0; k < 4; ++k) total += LINE_MOVE_WEIGHT[(masks >> (16 * k)) & 0xFFFF];
  if (cell.near_count != 0) total += 1;
  return total;
}

// Shape weight of line k of a stone of side s on `cell`: the weight of the
// five-cell windows through it that hold no wall and no enemy stone.
inline int line_shape_weight(const Cell& cell, int k, int s) {
  return LINE_SHAPE_WEIGHT[line_index(cell.line_mask[k][s], cell.line_mask[k][1 - s])];
}

// Both sides' shape sums counted from the stones alone, for the check of
// the sums that make_move keeps: per side, the shape weights of the four
// lines of its every stone. The same, per side, as the sum over all
// five-cell segments free of walls and enemy stones holding n >= 1 own
// stones of n * (4n - 1).
void count_shape_sums(const Engine& engine, int32_t sums[2]);

}  // namespace quorlith
