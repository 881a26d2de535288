// A win by threes and fours (VCT) for the side to move: every attacking
// stone makes a four or an open three, so the defender must answer it: a
// four with its one block, an open three with a stone on a cell where the
// attacker would make a four (that breaks the three) or with a four of its
// own, which the attacker must then block. The attack wins when every
// answer leads to a five within the depth.
//
// An AND/OR search by iterative deepening over the attacker's stones,
// bounded by a depth, a number of stones placed and a deadline; positions
// proven not to win are remembered with the depth they were tried to.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/position.h"
#include "search/plus_moves.h"

namespace quorlith::plus {

class VctSolver {
 public:
  VctSolver();
  VctSolver(const VctSolver&) = delete;
  VctSolver& operator=(const VctSolver&) = delete;

  void clear();

  // Plies to the five of a win by threes and fours of the side to move
  // with at most `max_depth` attacking stones, or 0 when none was found;
  // the first stone in *first. Stops after about `node_limit` stones or at
  // clock_ms() >= deadline_ms (stopped() then tells). The position is left
  // as it was found.
  template <Rule R>
  int solve(Position& pos, int max_depth, int64_t node_limit, int64_t deadline_ms, int* first);

  bool stopped() const { return stopped_; }
  int64_t nodes() const { return nodes_; }

 private:
  template <Rule R>
  int attack(Position& pos, int depth, int* first);
  template <Rule R>
  int defend(Position& pos, int depth);
  bool out_of_budget();

  struct Entry {
    uint32_t check;
    uint8_t depth;  // no win with this many attacking stones or fewer
  };
  static constexpr int TABLE_BITS = 18;
  std::unique_ptr<Entry[]> table_;
  int64_t nodes_ = 0;
  int64_t node_limit_ = 0;
  int64_t deadline_ms_ = 0;
  bool stopped_ = false;
};

}  // namespace quorlith::plus
