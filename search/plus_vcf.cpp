#include "search/plus_vcf.h"

#include <algorithm>

#include "engine/platform.h"

namespace quorlith::plus {

namespace {

// The cell that completes the four the last stone (of `side`, on `cell`)
// made: a five cell of the side on one of the stone's lines.
int completion_of(const Position& pos, int cell, int side) {
  for (int k = 0; k < 4; ++k) {
    const LinePattern p = pos.pattern(cell, k, side);
    if (p != LINE_B4 && p != LINE_F4 && p != LINE_DOUBLE_FOUR) continue;
    for (int s = -MAX_HALF_LINE; s <= MAX_HALF_LINE; ++s) {
      const int other = cell + s * Position::STEP[k];
      if (s != 0 && pos.is_empty(other) && pos.combo(other, side) == COMBO_FIVE) return other;
    }
  }
  return Position::NO_CELL;
}

}  // namespace

VcfSolver::VcfSolver() : table_(new Entry[size_t{1} << TABLE_BITS]) { clear(); }

void VcfSolver::clear() { std::fill(table_.get(), table_.get() + (size_t{1} << TABLE_BITS), Entry{0, 0}); }

template <Rule R>
int VcfSolver::solve(Position& pos, int max_fours, int64_t node_limit, int* first, int64_t deadline_ms) {
  nodes_ = 0;
  node_limit_ = node_limit;
  deadline_ms_ = deadline_ms;
  stopped_ = false;
  int move = Position::NO_CELL;
  const int plies = attack<R>(pos, max_fours, &move);
  if (first != nullptr) *first = move;
  return plies;
}

template <Rule R>
int VcfSolver::attack(Position& pos, int fours_left, int* first) {
  const int me = pos.side_to_move();
  const int opp = 1 - me;
  // A five, an open four, or the opponent's four to block.
  const Forced forced = forced_by_fours<R>(pos, 0);
  if (forced.value > 0) {
    *first = forced.value == win_at(1) ? find_playable_four_cell<R>(pos, me, COMBO_FIVE) : find_playable_four_cell<R>(pos, me, COMBO_F4);
    return plies_to_five(forced.value);
  }
  if (forced.value < 0 || fours_left <= 0) return 0;
  if (nodes_ >= node_limit_ || (deadline_ms_ != INT64_MAX && (nodes_ & 1023) == 0 && clock_ms() >= deadline_ms_)) {
    stopped_ = true;
    return 0;
  }
  Entry& entry = table_[pos.hash() & ((uint64_t{1} << TABLE_BITS) - 1)];
  const uint32_t check = static_cast<uint32_t>(pos.hash() >> 32);
  if (entry.check == check && entry.fours >= fours_left) return 0;

  // The attacking fours, four-threes first.
  PlusMove fours[64];
  int count = 0;
  if (forced.block != Position::NO_CELL) {
    if (!makes_four(pos.combo_bits(forced.block, me))) return 0;
    fours[count++] = PlusMove{forced.block, 0};
  } else {
    for_each_cell(pos.four_cells(me), [&](int cell) {
      if (count < 64 && may_play<R>(pos, cell, me)) fours[count++] = PlusMove{cell, pos.combo(cell, me)};
    });
  }
  for (int i = 0; i < count; ++i) {
    const PlusMove a = take_best(fours, count);
    ++nodes_;
    pos.make_move<R>(a.cell);
    int plies = 0;
    if (pos.combo_count(me, COMBO_FIVE) >= 2) {
      plies = 3;  // two fives to stop
    } else {
      const int block = completion_of(pos, a.cell, me);
      if (block != Position::NO_CELL) {
        if (!may_play<R>(pos, block, opp)) {
          plies = 3;  // the only block is forbidden to the defender
        } else {
          pos.make_move<R>(block);
          int next = Position::NO_CELL;
          const int rest = attack<R>(pos, fours_left - 1, &next);
          pos.undo_move<R>();
          if (rest > 0) plies = rest + 2;
        }
      }
    }
    pos.undo_move<R>();
    if (plies > 0) {
      *first = a.cell;
      return plies;
    }
    if (stopped_) return 0;
  }
  entry.check = check;
  entry.fours = static_cast<uint8_t>(fours_left);
  return 0;
}

template int VcfSolver::solve<Rule::FREESTYLE>(Position&, int, int64_t, int*, int64_t);
template int VcfSolver::solve<Rule::STANDARD>(Position&, int, int64_t, int*, int64_t);
template int VcfSolver::solve<Rule::RENJU>(Position&, int, int64_t, int*, int64_t);

}  // namespace quorlith::plus
