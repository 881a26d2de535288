#include "search/plus_vct.h"

#include <algorithm>

#include "engine/platform.h"

namespace quorlith::plus {

namespace {

constexpr int64_t CLOCK_MASK = 1023;
constexpr int MAX_ATTACKS = 96;

}  // namespace

VctSolver::VctSolver() : table_(new Entry[size_t{1} << TABLE_BITS]) { clear(); }

void VctSolver::clear() { std::fill(table_.get(), table_.get() + (size_t{1} << TABLE_BITS), Entry{0, 0}); }

bool VctSolver::out_of_budget() {
  if (stopped_) return true;
  if (nodes_ >= node_limit_ || ((nodes_ & CLOCK_MASK) == 0 && clock_ms() >= deadline_ms_)) stopped_ = true;
  return stopped_;
}

template <Rule R>
int VctSolver::solve(Position& pos, int max_depth, int64_t node_limit, int64_t deadline_ms, int* first) {
  nodes_ = 0;
  node_limit_ = node_limit;
  deadline_ms_ = deadline_ms;
  stopped_ = false;
  int move = Position::NO_CELL;
  int plies = 0;
  // Shallow wins first: a deep search would find a longer one.
  for (int depth = 1; depth <= max_depth && plies == 0 && !stopped_; ++depth) plies = attack<R>(pos, depth, &move);
  if (first != nullptr) *first = plies > 0 ? move : Position::NO_CELL;
  return plies;
}

template <Rule R>
int VctSolver::attack(Position& pos, int depth, int* first) {
  const int me = pos.side_to_move();
  const Forced forced = forced_by_fours<R>(pos, 0);
  if (forced.value > 0) {
    *first = forced.value == win_at(1) ? find_playable_four_cell<R>(pos, me, COMBO_FIVE) : find_playable_four_cell<R>(pos, me, COMBO_F4);
    return plies_to_five(forced.value);
  }
  if (forced.value < 0 || depth <= 0 || out_of_budget()) return 0;
  Entry& entry = table_[pos.hash() & ((uint64_t{1} << TABLE_BITS) - 1)];
  const uint32_t check = static_cast<uint32_t>(pos.hash() >> 32);
  if (entry.check == check && entry.depth >= depth) return 0;

  // The threats: fours and open threes, the strongest combos first.
  PlusMove moves[MAX_ATTACKS];
  int count = 0;
  if (forced.block != Position::NO_CELL) {
    moves[count++] = PlusMove{forced.block, 0};
  } else {
    for (int y = pos.box_min_y(); y <= pos.box_max_y(); ++y) {
      int cell = Position::cell_of(pos.box_min_x(), y);
      for (int x = pos.box_min_x(); x <= pos.box_max_x() && count < MAX_ATTACKS; ++x, ++cell) {
        if (!pos.is_empty(cell) || pos.combo(cell, me) < COMBO_F3 || !may_play<R>(pos, cell, me)) continue;
        moves[count++] = PlusMove{cell, pos.combo(cell, me) * 4096 + move_score(pos, cell)};
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    const PlusMove m = take_best(moves, count);
    ++nodes_;
    pos.make_move<R>(m.cell);
    const int plies = defend<R>(pos, depth - 1);
    pos.undo_move<R>();
    if (plies > 0) {
      *first = m.cell;
      return plies + 1;
    }
    if (stopped_) return 0;
  }
  entry.check = check;
  entry.depth = static_cast<uint8_t>(depth);
  return 0;
}

template <Rule R>
int VctSolver::defend(Position& pos, int depth) {
  const Forced forced = forced_by_fours<R>(pos, 0);
  if (forced.value > 0) return 0;  // the defender wins first
  if (forced.value < 0) return plies_to_five(forced.value);
  PlusMove moves[MAX_MOVES];
  int count;
  if (forced.block != Position::NO_CELL) {
    moves[0] = PlusMove{forced.block, 0};
    count = 1;
  } else if (must_answer_three(pos)) {
    count = answers_to_three<R>(pos, moves);
  } else {
    return 0;  // the attacker's stone threatened nothing
  }
  if (count == 0) return 4;  // nothing may answer the three: open four, five
  int longest = 0;
  for (int i = 0; i < count; ++i) {
    const PlusMove m = take_best(moves, count);
    ++nodes_;
    pos.make_move<R>(m.cell);
    int ignored = 0;
    const int plies = attack<R>(pos, depth, &ignored);
    pos.undo_move<R>();
    if (plies == 0) return 0;
    longest = std::max(longest, plies + 1);
  }
  return longest;
}

template int VctSolver::solve<Rule::FREESTYLE>(Position&, int, int64_t, int64_t, int*);
template int VctSolver::solve<Rule::STANDARD>(Position&, int, int64_t, int64_t, int*);
template int VctSolver::solve<Rule::RENJU>(Position&, int, int64_t, int64_t, int*);

}  // namespace quorlith::plus
