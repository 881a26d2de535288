// The plus brain's values, one convention for every forced result: values
// are from the side to move's point of view, and a five n plies away from
// the root (n counted from the root, the five's own stone included) is
// worth WIN_SCORE - n to the side that makes it. A table stores forced
// results counted from its own node, so that the same entry is right at
// any ply.
#pragma once

#include <cstdint>

#include "engine/types.h"

namespace quorlith::plus {

constexpr int32_t INFINITE_SCORE = ROOT_BOUND;          // beyond every value
constexpr int32_t FORCED_BAND = WIN_SCORE - 2 * MAX_PLY;  // |value| >= this: forced

// The side to move makes five `plies` plies after the root.
constexpr int32_t win_at(int plies) { return WIN_SCORE - plies; }
// The opponent makes five `plies` plies after the root.
constexpr int32_t loss_at(int plies) { return -WIN_SCORE + plies; }
constexpr bool is_forced(int32_t value) { return value >= FORCED_BAND || value <= -FORCED_BAND; }
// Plies from the root to the five of a forced value (> 0).
constexpr int plies_to_five(int32_t value) { return value > 0 ? WIN_SCORE - value : WIN_SCORE + value; }

// A value as the table keeps it at a node `ply` plies from the root, and back.
constexpr int32_t to_table(int32_t value, int ply) {
  return value >= FORCED_BAND ? value + ply : value <= -FORCED_BAND ? value - ply : value;
}
constexpr int32_t from_table(int32_t value, int ply) {
  return value >= FORCED_BAND ? value - ply : value <= -FORCED_BAND ? value + ply : value;
}

}  // namespace quorlith::plus
