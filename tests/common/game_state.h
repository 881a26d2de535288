// A snapshot of an engine's game state, for checks that a search or a
// check leaves the position exactly as it found it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine.h"

namespace quorlith::test_support {

// Everything a search must leave as it found it: the grid, the counts, the
// histories, the box, the hash words and the shape sums, byte for byte.
struct GameState {
  std::vector<unsigned char> cells;
  std::vector<unsigned char> counts;
  std::vector<Point> moves, box_min_before, box_max_before;
  int32_t move_count, side_to_move, opponent;
  Point box_min, box_max;
  uint32_t hash_index, hash_check1, hash_check2;
  int32_t shape_sum[2];

  explicit GameState(const Engine& e)
      : cells(reinterpret_cast<const unsigned char*>(e.cells),
              reinterpret_cast<const unsigned char*>(e.cells) + sizeof e.cells),
        counts(reinterpret_cast<const unsigned char*>(e.rating_count),
               reinterpret_cast<const unsigned char*>(e.rating_count) + sizeof e.rating_count),
        moves(e.move_history, e.move_history + e.move_count),
        box_min_before(e.box_min_history, e.box_min_history + e.move_count),
        box_max_before(e.box_max_history, e.box_max_history + e.move_count),
        move_count(e.move_count),
        side_to_move(e.side_to_move),
        opponent(e.opponent),
        box_min(e.box_min),
        box_max(e.box_max),
        hash_index(e.hash_index),
        hash_check1(e.hash_check1),
        hash_check2(e.hash_check2),
        shape_sum{e.shape_sum[0], e.shape_sum[1]} {}

  bool operator==(const GameState&) const = default;
};

}  // namespace quorlith::test_support
