// The plus brain's own alpha-beta, over the exact engine's candidates and
// threat check, with less work than the exact search's plain full-width
// walk and a judgement of its own:
//
//   - a table of its own whose entries keep bounds, used at any depth at
//     least the one asked for, and whose move is tried first;
//   - principal variation search: every move after the first with a null
//     window, searched again with the full window only when it beats alpha;
//   - killer moves and a history of cut-offs to order moves of equal score;
//   - the answers to a four or an open three do not use up depth, so a line
//     of threats is followed to its end (down to twice the iteration's
//     depth in plies);
//   - leaves valued by the plus evaluation (search/plus_eval.h): the shape
//     sums and each side's threat cells, weighed for the side to move.
//
// Searching as the exact engine does (search_as_exact), with neither of the
// last two, each iteration from a cleared table finds the plain minimax
// value at its depth, the value the exact alpha-beta finds; it gets there
// sooner. The table is kept from move to move, and an entry a deeper
// search of an earlier move left only tells it more. It never changes the
// exact engine's search, its table or its state beyond the stones it
// places and takes back.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/engine.h"
#include "search/threat_space.h"

namespace quorlith {

class PlusTree {
 public:
  // A root move: its order key going in, and what the deepest iteration
  // that searched it to the end found.
  struct RootMove {
    ScoredMove move;
    int32_t value = 0;
    int depth = 0;  // 0: no iteration finished it
  };
  // What one deepening did.
  struct Result {
    int best = 0;           // index of the move to play in the root list
    int depth_reached = 0;  // deepest iteration that finished
    int32_t value = 0;      // its value
    int64_t nodes = 0;
  };

  // Allocates the table; should that fail the search keeps no table.
  PlusTree();
  PlusTree(const PlusTree&) = delete;
  PlusTree& operator=(const PlusTree&) = delete;

  // Forgets every stored result (a new game).
  void clear();

  // Leaves valued by the exact engine's evaluation, the shape sums alone,
  // instead of the plus evaluation, and no node searched deeper than its
  // depth: the tree then finds the exact search's values. Clear the table
  // after switching.
  void search_as_exact(bool on) { exact_ = on; }

  // Iterative deepening from depth 2 up to max_depth over the given root
  // moves of the engine's position, until the clock reaches deadline_ms.
  // With a solver, the nodes a few plies below the root first look for a
  // win by fours of the side to move. The position is left as it was
  // found. count is at least 1. observer, when given, hears of each
  // iteration that ran to its end: its depth, value, the tree's nodes so
  // far, the time since the search began and the iteration's best root
  // move as its line (the tree keeps no longer one).
  Result search(Engine& e, RootMove* root, int count, int max_depth, int64_t deadline_ms,
                ThreatSolver* solver = nullptr, SearchObserver* observer = nullptr);

 private:
  struct Entry {
    uint32_t check1;
    uint32_t check2;
    int16_t score;
    int8_t depth;
    uint8_t bound;
    Point move;
    uint16_t pad;
  };
  static_assert(sizeof(Entry) == 16);

  int32_t node(Engine& e, int depth, int32_t alpha, int32_t beta, int ply);
  int32_t leaf_value(const Engine& e) const;
  int32_t root_iteration(Engine& e, RootMove* root, int count, int depth, int* best_index);
  // Tells observer about a finished iteration (see search).
  void report_iteration(SearchObserver& observer, const ScoredMove& best, int depth, int32_t value,
                        int64_t start_ms) const;
  void store(const Engine& e, int depth, int32_t value, int32_t alpha, int32_t beta, Point move);
  void poll();
  void prefetch_after(const Engine& e, int x, int y) const;

  // The table lives in the engine's kind of memory (huge pages where the
  // system offers them): it is probed at random after every move.
  struct Release {
    void operator()(Entry* table) const noexcept;
  };
  std::unique_ptr<Entry[], Release> table_;
  // Two quiet moves per ply that last cut a node off.
  Point killers_[MAX_PLY][2] = {};
  // Cut-offs per cell, weighted by depth; halved at every new search.
  uint32_t history_[GRID_SIDE][GRID_SIDE] = {};
  int64_t nodes_ = 0;
  int64_t deadline_ms_ = 0;
  ThreatSolver* solver_ = nullptr;
  bool stop_ = false;
  bool exact_ = false;
  // Nodes at this ply or deeper are never extended.
  int extension_plies_ = 0;
};

}  // namespace quorlith
