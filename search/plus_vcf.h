// A win by continuous fours (VCF) for the side to move: every attacking
// stone makes a four, so every answer is the one cell that completes it;
// the attack wins when a stone makes five, an open four or two fours. An
// attacker facing a four of the opponent's must block it, and goes on only
// when the block is itself a four.
//
// The search is depth-first over the attacker's fours, best combos first,
// bounded by a number of fours and of stones placed; positions proven not
// to win are remembered in a small table of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/position.h"
#include "search/plus_moves.h"

namespace quorlith::plus {

class VcfSolver {
 public:
  VcfSolver();
  VcfSolver(const VcfSolver&) = delete;
  VcfSolver& operator=(const VcfSolver&) = delete;

  // Forgets every remembered failure (a new game).
  void clear();

  // Plies to the five (odd, >= 1) of a win by fours of the side to move
  // with at most `max_fours` fours, or 0 when none was found; the first
  // stone in *first. Stops after about `node_limit` stones, or once the
  // clock reaches `deadline_ms` (stopped() then tells). The position is
  // left as it was found.
  template <Rule R>
  int solve(Position& pos, int max_fours, int64_t node_limit, int* first, int64_t deadline_ms = INT64_MAX);

  bool stopped() const { return stopped_; }
  int64_t nodes() const { return nodes_; }

 private:
  template <Rule R>
  int attack(Position& pos, int fours_left, int* first);

  struct Entry {
    uint32_t check;
    uint8_t fours;  // no win with this many fours or fewer
  };
  static constexpr int TABLE_BITS = 16;
  std::unique_ptr<Entry[]> table_;
  int64_t nodes_ = 0;
  int64_t node_limit_ = 0;
  int64_t deadline_ms_ = INT64_MAX;
  bool stopped_ = false;
};

}  // namespace quorlith::plus
