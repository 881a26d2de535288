// The plus brain's move search: threat-space proofs at the root around its
// own alpha-beta (search/plus_tree.h).
//
//   1. forced replies (our five point, the block of theirs, a single
//      candidate) are played at once;
//   2. a win by fours of our own, then a win by threes and fours, is played
//      at once;
//   3. when the opponent, were it to move, would win by fours or by threes
//      and fours, every root candidate after which it still wins is
//      dropped, unless every candidate loses (those that lose least stay);
//   4. the rest of the budget deepens the plus tree over the candidates
//      that are left; against a threat its best moves are then
//      checked with a full VCT for the opponent before one is played.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "search/plus_tree.h"
#include "search/threat_space.h"

namespace quorlith {

// How a budget is spent. Each solver phase ends at its share of the budget
// (counted from the start of the move) or at its node limit, whichever
// comes first; the alpha-beta runs to the end of the budget.
struct PlusPlan {
  int64_t own_vcf_nodes = 0;
  int64_t own_vct_nodes = 0;
  int64_t threat_nodes = 0;  // the opponent's wins were it to move now
  int64_t check_nodes = 0;   // all candidate checks together
  int64_t verify_nodes = 0;  // each check of the move to play
  // Where each phase ends, in thousandths of the budget from the start.
  int32_t own_vcf_end_permille = 0;
  int32_t own_vct_end_permille = 0;
  int32_t threat_end_permille = 0;
  int32_t check_end_permille = 0;
  int32_t search_end_permille = 0;  // the alpha-beta's, against a threat
  // Whether the clock limits the phases at all; without it only the node
  // limits and the depth do (tests and the bench, which must repeat).
  bool timed = true;
};

// The plan the plus brain plays with under a budget of `budget_ms`.
PlusPlan plus_plan_for(int32_t budget_ms);

// What one plus search did, for the bench and the tests.
struct PlusReport {
  enum class Decision {
    SINGLE_REPLY,  // one candidate only (a five, a forced block)
    OWN_VCF,       // a proven win by fours
    OWN_VCT,       // a proven win by threes and fours
    SEARCHED,      // alpha-beta over the candidates left
    NO_CANDIDATE,  // left to the exact search (no neighbour cell)
  };
  Decision decision = Decision::SEARCHED;
  int candidates = 0;    // root candidates before the filter
  int threat = 0;        // the opponent's threat: 0 none, -1 by fours,
                         // else the depth of its win by threes and fours
  int lose_to_vcf = 0;   // after which the opponent wins by fours
  int lose_to_vct = 0;   // ... by threes and fours (not by fours)
  int kept = 0;          // candidates the alpha-beta searched
  int verified = 0;      // moves checked after the alpha-beta
  int64_t solver_nodes = 0;
  int64_t solver_ms = 0;
  int64_t search_nodes = 0;
  int depth_reached = 0;  // deepest alpha-beta iteration that finished
  int32_t value = 0;      // its root value
};

// What the plus brain keeps from move to move: the solvers' table and its
// own tree's. A new game forgets both (they know positions, not board
// sizes).
struct PlusMemory {
  ThreatSolver solver;
  PlusTree tree;
  void clear() {
    solver.clear();
    tree.clear();
  }
};

// The plus brain's move under engine.time_per_move_ms and max_depth (read
// and replaced like find_best_move does). Writes protocol coordinates of an
// empty cell; false only when the board has no empty cell. The position is
// left as it was found. observer, when given, hears of each iteration of
// the plus tree that ran to its end, its nodes counting the solvers' stones
// before it and its time counted from the start of the move; a move decided
// without the tree (a single reply, a proven win) reports nothing.
bool find_plus_move(Engine& e, PlusMemory& memory, int* x_out, int* y_out,
                    PlusReport* report = nullptr, SearchObserver* observer = nullptr);
// The same under an explicit plan.
bool find_plus_move(Engine& e, PlusMemory& memory, const PlusPlan& plan, int* x_out, int* y_out,
                    PlusReport* report = nullptr, SearchObserver* observer = nullptr);

}  // namespace quorlith
