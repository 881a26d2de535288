// The plus brain's alpha-beta: principal variation search over the moves
// of search/plus_moves.h, with a transposition table that keeps bounds,
// late-move reductions and pruning at the last plies, a win by fours
// looked for at every leaf where the side to move has a four, and the
// evaluation of search/plus_eval.h. Iterative deepening from depth 1, with
// aspiration windows around the previous iteration's value, until the time
// plan or the depth limit ends it.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/engine.h"
#include "engine/position.h"
#include "search/plus_moves.h"
#include "search/plus_table.h"
#include "search/plus_vcf.h"

namespace quorlith::plus {

// A move at the root and what the iterations found of it.
struct RootMove {
  int cell = Position::NO_CELL;
  int32_t order = 0;  // its key before any iteration (the move score)
  int32_t value = -INFINITE_SCORE;  // the latest iteration's value, or a bound below alpha
  int depth = 0;                    // that iteration's depth; 0: none yet
  bool refuted = false;             // the opponent wins by force after it
};

// How long a deepening may run, from its start (clock_ms() at start_ms):
// no iteration begins after `optimum_ms` (stretched while the best move
// keeps changing, never past maximum_ms), and the search stops inside an
// iteration at maximum_ms. Untimed: only the depth and the node limit.
struct TimePlan {
  bool timed = false;
  int64_t start_ms = 0;
  int64_t optimum_ms = 0;
  int64_t maximum_ms = 0;
  int64_t node_limit = INT64_MAX;  // a search stopped by nodes, for tests
};

// What one deepening found.
struct TreeResult {
  int best = 0;            // index of the move to play in the root list
  int depth = 0;           // deepest iteration that finished
  int32_t value = 0;       // its value
  int seldepth = 0;        // deepest ply reached
  int64_t nodes = 0;
  int pv_length = 0;
  int pv[MAX_PLY] = {};    // cells, from the root
};

class Tree {
 public:
  Tree();
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // Sizes the table (see TranspositionTable::resize).
  bool set_table_bytes(size_t bytes) { return table_.resize(bytes); }
  size_t table_bytes() const { return table_.bytes(); }
  // Forgets everything learnt (a new game).
  void clear();

  // Deepens over the `count` root moves (at least one) of the position,
  // up to max_depth, under the plan; tells `observer` about every finished
  // iteration. The position is left as it was found.
  template <Rule R>
  TreeResult search(Position& pos, RootMove* root, int count, int max_depth, const TimePlan& plan,
                    SearchObserver* observer = nullptr);

  VcfSolver& vcf() { return vcf_; }

 private:
  struct Frame {
    PlusMove moves[MAX_MOVES];
    int killers[2];
    int pv_length;
    int pv[MAX_PLY];
  };

  template <Rule R, bool PV>
  int32_t node(Position& pos, int32_t alpha, int32_t beta, int depth, int ply);
  template <Rule R>
  int32_t leaf(Position& pos, int32_t beta, int ply);
  template <Rule R>
  int32_t root_iteration(Position& pos, RootMove* root, int count, int depth, int32_t alpha, int32_t beta,
                         int* best);
  void poll();
  void update_pv(int ply, int cell);
  void report(const Position& pos, const TreeResult& result, SearchObserver* observer) const;

  TranspositionTable table_;
  VcfSolver vcf_;
  std::unique_ptr<Frame[]> frames_;
  int32_t history_[2][Position::CELL_COUNT] = {};
  TimePlan plan_;
  int64_t nodes_ = 0;
  int64_t next_poll_ = 0;
  int seldepth_ = 0;
  bool stop_ = false;
};

}  // namespace quorlith::plus
