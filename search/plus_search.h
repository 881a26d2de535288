// The plus brain's move: the phases around its alpha-beta.
//
//   1. the fours decide: a five is made, an open four made, a five blocked;
//   2. a win by fours of our own is played at once, then one by threes and
//      fours;
//   3. the moves: the answers to an open three of the opponent's, or every
//      move in reach;
//   4. when the opponent, were it to move, would win by fours or by threes
//      and fours, the moves after which it still does are dropped, unless
//      every move loses; a single move left is played at once;
//   5. the alpha-beta deepens over the moves left under the time plan, and
//      its best move is played.
//
// The plus brain keeps a board of its own (engine/position.h), brought to
// the front end's stones before each search, and its tree's table from
// move to move.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "engine/position.h"
#include "search/plus_tree.h"
#include "search/plus_vct.h"

namespace quorlith::plus {

// What the manager told about time and memory (INFO values; 0 or less:
// not told).
struct MatchInfo {
  int32_t timeout_match_ms = 0;
  int32_t time_left_ms = 0;
  bool time_left_sent = false;
  int64_t max_memory_bytes = 0;
};

// What one search did, for the bench, the tests and the board.
struct MoveReport {
  enum class Decision {
    FOURS,     // step 1: a five, an open four or a forced block
    OWN_VCF,   // step 2
    OWN_VCT,   // step 2
    SINGLE,    // steps 3 and 4: one move only
    SEARCHED,  // step 5
  };
  Decision decision = Decision::SEARCHED;
  int moves = 0;          // root moves searched
  bool threat = false;    // the opponent would win were it to move
  int dropped = 0;        // root moves after which it still wins
  int depth = 0;          // deepest iteration that finished
  int seldepth = 0;
  int32_t value = 0;      // its value, for the side to move
  int64_t nodes = 0;      // tree and solver stones
  int64_t elapsed_ms = 0;
  int64_t optimum_ms = 0;  // the time plan
  int64_t maximum_ms = 0;
};

// Memory the plus brain takes beside its table, and the table's size when
// the manager sets no limit (a limit of 0 means none). The table never
// makes the whole pass the limit it is given.
constexpr int64_t MEMORY_BESIDE_TABLE = int64_t{40} << 20;
constexpr int64_t DEFAULT_TABLE_BYTES = int64_t{64} << 20;
constexpr int64_t LARGEST_TABLE_BYTES = int64_t{1} << 30;
// The table's share of a memory limit.
int64_t table_bytes_for(int64_t max_memory_bytes);

// The time plan of a move under a budget (the front end's, already within
// the turn limit and half the match clock) and the match clock.
TimePlan time_plan_for(int32_t budget_ms, const MatchInfo& match, int stones_on_board, int64_t start_ms);

class PlusPlayer {
 public:
  PlusPlayer();
  PlusPlayer(const PlusPlayer&) = delete;
  PlusPlayer& operator=(const PlusPlayer&) = delete;

  // A new game: the table and everything learnt is forgotten.
  void new_game();
  Rule rule() const { return rule_; }
  // The rule of the game; a change forgets what the tables learnt, which
  // held under the other rule.
  void set_rule(Rule rule);
  // Resizes the table for a memory limit, between searches: at once for
  // set_memory_limit, and for set_match_info when the limit changed or no
  // table was made yet.
  void set_memory_limit(int64_t max_memory_bytes);
  void set_match_info(const MatchInfo& info);

  // The move for the side to move of the engine's position, under its
  // time_per_move_ms and max_depth, in protocol coordinates; false only
  // when no empty cell is left. `plan` replaces the time plan (tests and
  // the bench, which must repeat: untimed).
  bool find_move(const Engine& engine, int* x_out, int* y_out, MoveReport* report = nullptr,
                 SearchObserver* observer = nullptr, const TimePlan* plan = nullptr);

  // The board, brought to the engine's stones (for tests and tools).
  Position& follow(const Engine& engine);
  Tree& tree() { return tree_; }

 private:
  template <Rule R>
  bool choose(Position& pos, int max_depth, const TimePlan& plan, int* cell, MoveReport& report,
              SearchObserver* observer);
  template <Rule R>
  bool fours_decide(Position& pos, int* cell, MoveReport& report);
  template <Rule R>
  bool own_win(Position& pos, const TimePlan& plan, int* cell, MoveReport& report);
  template <Rule R>
  bool side_to_move_wins(Position& pos, int64_t nodes, int64_t deadline_ms, bool* unsure, MoveReport& report);
  template <Rule R>
  int drop_losing_moves(Position& pos, const TimePlan& plan, int count, MoveReport& report);

  Position position_;
  Tree tree_;
  VctSolver vct_;
  RootMove root_[MAX_MOVES];
  Rule rule_ = Rule::FREESTYLE;
  MatchInfo match_;
};

}  // namespace quorlith::plus
