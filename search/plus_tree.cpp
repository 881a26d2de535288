#include "search/plus_tree.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/platform.h"

namespace quorlith::plus {

namespace {

// The deepest ply a node may stand at; deeper lines end in the evaluation.
constexpr int MAX_TREE_PLY = MAX_PLY - 2;
// Nodes between two readings of the clock.
constexpr int64_t CLOCK_INTERVAL = 1024;

// A leaf where the side to move has a four looks for a win by fours this
// long (fours, stones placed). In the middle game nearly every leaf has a
// four to try; the wins there are almost all found within ten stones,
// while the searches that find none and run on past fifty were most of
// the tree's work, so the search stops early.
constexpr int LEAF_VCF_FOURS = 12;
constexpr int64_t LEAF_VCF_NODES = 50;

// Pruning at the last plies of nodes that answer nothing. A node whose
// evaluation beats beta by this much per ply of depth left is taken to hold
// (it would take that much to bring it down), and a quiet move at a node
// whose evaluation falls this short of alpha is not tried.
constexpr int PRUNING_DEPTH = 3;
constexpr int32_t NODE_MARGIN_PER_PLY = 120;
constexpr int32_t MOVE_MARGIN_PER_PLY = 150;

// Late-move pruning: at these depths a node without threats tries at most
// this many quiet moves (its threats always).
constexpr std::array<int, 7> QUIET_MOVES_AT_DEPTH = {0, 5, 8, 12, 17, 23, 30};

// Late-move reductions: from the second move on, a quiet move is searched
// shallower by about 1/2 + ln(depth) ln(moves) / 2, and again at full
// depth when it beats alpha.
constexpr int REDUCE_FROM_MOVE = 1;
constexpr int REDUCE_FROM_DEPTH = 2;
struct ReductionTable {
  int8_t r[64][64];
  ReductionTable() {
    for (int d = 0; d < 64; ++d)
      for (int m = 0; m < 64; ++m)
        r[d][m] = static_cast<int8_t>(d == 0 || m == 0 ? 0 : std::lround(0.5 + std::log(d) * std::log(m) / 2.0));
  }
};
const ReductionTable REDUCTIONS;

// A node without a table move is searched one ply shallower from this
// depth on.
constexpr int UNKNOWN_NODE_REDUCE_FROM_DEPTH = 4;

// Ordering: the table's move first; then the move score; killers and the
// history only order moves of equal score.
constexpr int32_t TABLE_MOVE_KEY = INT32_MAX;
constexpr int SCORE_SHIFT = 8;
constexpr int32_t KILLER_KEY = 128;
constexpr int32_t HISTORY_KEY_CAP = 127;
constexpr int32_t HISTORY_CAP = 1 << 20;

// Aspiration windows: from this depth on, an iteration first searches this
// far around the previous value, and widens fourfold each time it fails.
constexpr int ASPIRATION_FROM_DEPTH = 5;
constexpr int32_t ASPIRATION_WINDOW = 40;

// The time plan: the best move changing in the last iterations stretches
// the optimum by this much per change (in percent), up to the maximum.
constexpr int64_t STRETCH_PER_CHANGE_PERCENT = 40;

bool quiet_move(const Position& pos, int cell, int me) {
  return pos.combo(cell, me) < COMBO_F3 && pos.combo(cell, 1 - me) < COMBO_F3;
}

}  // namespace

Tree::Tree() : frames_(new Frame[MAX_PLY + 1]) {
  // No table until the owner sizes it: the manager's memory limit may
  // come after the brain is made, and a table filled once stays resident.
  clear();
}

void Tree::clear() {
  table_.clear();
  vcf_.clear();
  for (auto& side : history_) std::fill(std::begin(side), std::end(side), 0);
  for (int i = 0; i <= MAX_PLY; ++i) frames_[i].killers[0] = frames_[i].killers[1] = Position::NO_CELL;
}

// The clock is read once the nodes pass the next reading's count: the
// solver's stones at the leaves count too, and jump over exact multiples.
void Tree::poll() {
  if (nodes_ < next_poll_) return;
  next_poll_ = nodes_ + CLOCK_INTERVAL;
  if (nodes_ >= plan_.node_limit) stop_ = true;
  if (plan_.timed && clock_ms() >= plan_.start_ms + plan_.maximum_ms) stop_ = true;
}

void Tree::update_pv(int ply, int cell) {
  Frame& f = frames_[ply];
  const Frame& child = frames_[ply + 1];
  f.pv[0] = cell;
  std::copy(child.pv, child.pv + child.pv_length, f.pv + 1);
  f.pv_length = child.pv_length + 1;
}

// A leaf is valued by the evaluation, or as a win where the side to move
// wins by fours. A value at or above beta already cuts the node above, and
// a win would cut it the same way, so the fours are only tried below beta.
template <Rule R>
int32_t Tree::leaf(Position& pos, int32_t beta, int ply) {
  const int32_t eval = evaluate(pos);
  if (eval >= beta) return eval;
  const int me = pos.side_to_move();
  const bool has_four = pos.combo_count(me, COMBO_B4) + pos.combo_count(me, COMBO_B4_PLUS) +
                            pos.combo_count(me, COMBO_B4F3) > 0;
  if (has_four) {
    const int plies = vcf_.solve<R>(pos, LEAF_VCF_FOURS, LEAF_VCF_NODES, nullptr);
    nodes_ += vcf_.nodes();
    if (plies > 0) return win_at(ply + plies);
  }
  return eval;
}

// One node, in steps:
//   1. the clock; 2. fours decide (a five to make, a five to stop, an open
//   four to make); 3. no value can beat the nearest five; 4. the horizon:
//   a leaf, unless a five must be stopped; 5. the table, and a ply less
//   where it has no move for a deep node; 6. the static
//   evaluation and, at the last plies of a node that answers nothing, a
//   cut when it is far above beta; 7. the moves: the block, the answers to
//   an open three, or every move in reach; 8. each move in order, with
//   pruning and reductions for the late quiet ones; 9. the table entry.
template <Rule R, bool PV>
int32_t Tree::node(Position& pos, int32_t alpha, int32_t beta, int depth, int ply) {
  Frame& f = frames_[ply];
  if (PV) f.pv_length = 0;

  // 1. The clock.
  ++nodes_;
  poll();
  if (stop_) return 0;
  seldepth_ = std::max(seldepth_, ply);

  // 2. The fours.
  const Forced forced = forced_by_fours<R>(pos, ply);
  if (forced.value != 0) return forced.value;
  const bool blocking = forced.block != Position::NO_CELL;

  // 3. Nothing here is worth more than a five on the next stone, or less
  //    than one the opponent makes right after.
  alpha = std::max(alpha, loss_at(ply + 2));
  beta = std::min(beta, win_at(ply + 1));
  if (alpha >= beta) return alpha;

  // 4. The horizon.
  if (ply >= MAX_TREE_PLY) return evaluate(pos);
  if (depth <= 0 && !blocking) return leaf<R>(pos, beta, ply);

  // 5. The table.
  const uint64_t hash = pos.hash();
  const TableEntry* entry = table_.probe(hash);
  int table_move = Position::NO_CELL;
  if (entry != nullptr) {
    table_move = entry->move;
    const int32_t v = from_table(entry->value, ply);
    if (!PV && entry->depth >= depth &&
        (entry->bound() == BOUND_EXACT || (entry->bound() == BOUND_LOWER && v >= beta) ||
         (entry->bound() == BOUND_UPPER && v <= alpha)))
      return v;
  }
  // A node deep enough to matter that the table knows nothing of is
  // searched a ply shallower: its moves are ordered by score alone, so a
  // full-depth search would mostly be spent on the wrong ones, and the
  // next iteration finds it again with a move to try first.
  if (depth >= UNKNOWN_NODE_REDUCE_FROM_DEPTH && table_move == Position::NO_CELL && !blocking) --depth;

  // 6. The static evaluation.
  const int me = pos.side_to_move();
  const bool answering = blocking || must_answer_three(pos);
  const int32_t eval = entry != nullptr ? entry->eval : evaluate(pos);
  if (!PV && !answering && depth <= PRUNING_DEPTH && !is_forced(beta) &&
      eval - NODE_MARGIN_PER_PLY * depth >= beta)
    return eval;

  // 7. The moves.
  PlusMove* moves = f.moves;
  int count;
  if (blocking) {
    moves[0] = PlusMove{forced.block, 0};
    count = 1;
  } else if (must_answer_three(pos)) {
    count = answers_to_three<R>(pos, moves);
    if (count == 0) return loss_at(ply + 3);
  } else {
    count = all_moves<R>(pos, moves);
    if (count == 0) return 0;  // the board is full
  }
  for (int i = 0; i < count; ++i) {
    PlusMove& m = moves[i];
    if (m.cell == table_move) {
      m.score = TABLE_MOVE_KEY;
      continue;
    }
    int32_t key = (m.score << SCORE_SHIFT) + std::min(history_[me][m.cell] >> 6, HISTORY_KEY_CAP);
    if (m.cell == f.killers[0] || m.cell == f.killers[1]) key += KILLER_KEY;
    m.score = key;
  }

  // 8. The moves in order.
  const int32_t alpha_in = alpha;
  int32_t best = -INFINITE_SCORE;
  int best_move = Position::NO_CELL;
  int searched = 0;
  int quiets = 0;
  // The block of a five is no choice at all: it uses up no depth.
  const int child_depth = blocking ? depth : depth - 1;
  const bool late_pruning = !PV && !answering && depth < static_cast<int>(QUIET_MOVES_AT_DEPTH.size());
  for (int i = 0; i < count; ++i) {
    const PlusMove m = take_best(moves, count);
    // A four of ours, or any answer to a threat, is never cut short; a
    // move that makes an open three or stops a double threat of the
    // opponent's is reduced less than the rest.
    const bool tactical = answering || pos.combo(m.cell, me) >= COMBO_B4;
    const bool quiet = !tactical && quiet_move(pos, m.cell, me);
    if (!tactical && searched > 0) {
      if (late_pruning && quiets >= QUIET_MOVES_AT_DEPTH[depth]) continue;
      if (quiet && !PV && depth <= PRUNING_DEPTH - 1 && eval + MOVE_MARGIN_PER_PLY * depth <= alpha) continue;
    }
    if (!tactical) ++quiets;

    table_.prefetch(pos.hash_after(m.cell));
    pos.make_move<R>(m.cell);
    int32_t v;
    if (searched == 0) {
      v = -node<R, PV>(pos, -beta, -alpha, child_depth, ply + 1);
    } else {
      int r = 0;
      if (!tactical && depth >= REDUCE_FROM_DEPTH && searched >= REDUCE_FROM_MOVE) {
        r = REDUCTIONS.r[std::min(depth, 63)][std::min(searched, 63)];
        if (!quiet) --r;
        if (m.cell == f.killers[0] || m.cell == f.killers[1]) --r;
        if (PV) --r;
        r = std::clamp(r, 0, child_depth - 1);
      }
      v = -node<R, false>(pos, -alpha - 1, -alpha, child_depth - r, ply + 1);
      if (v > alpha && r > 0) v = -node<R, false>(pos, -alpha - 1, -alpha, child_depth, ply + 1);
      if (PV && v > alpha && v < beta) v = -node<R, true>(pos, -beta, -alpha, child_depth, ply + 1);
    }
    pos.undo_move<R>();
    if (stop_) return 0;
    ++searched;

    if (v > best) {
      best = v;
      if (v > alpha) {
        best_move = m.cell;
        if (PV) update_pv(ply, m.cell);
        alpha = v;
        if (v >= beta) {
          if (quiet) {
            if (f.killers[0] != m.cell) {
              f.killers[1] = f.killers[0];
              f.killers[0] = m.cell;
            }
            int32_t& h = history_[me][m.cell];
            h = std::min(h + depth * depth, HISTORY_CAP);
          }
          break;
        }
      }
    }
  }

  // 9. The table entry.
  const Bound bound = best >= beta ? BOUND_LOWER : best > alpha_in && PV ? BOUND_EXACT : BOUND_UPPER;
  table_.store(hash, to_table(best, ply), eval, best_move, depth, bound);
  return best;
}

template <Rule R>
int32_t Tree::root_iteration(Position& pos, RootMove* root, int count, int depth, int32_t alpha, int32_t beta,
                             int* best) {
  Frame& f = frames_[0];
  f.pv_length = 0;
  int32_t best_value = -INFINITE_SCORE;
  for (int i = 0; i < count; ++i) {
    RootMove& rm = root[i];
    pos.make_move<R>(rm.cell);
    int32_t v;
    if (i == 0) {
      v = -node<R, true>(pos, -beta, -alpha, depth - 1, 1);
    } else {
      v = -node<R, false>(pos, -alpha - 1, -alpha, depth - 1, 1);
      if (v > alpha && v < beta && !stop_) v = -node<R, true>(pos, -beta, -alpha, depth - 1, 1);
    }
    pos.undo_move<R>();
    if (stop_) break;
    rm.value = v;
    rm.depth = depth;
    if (v > best_value) best_value = v;
    if (v > alpha || i == 0) {
      *best = i;
      update_pv(0, rm.cell);
      if (v > alpha) alpha = v;
      if (v >= beta) break;
    }
  }
  return best_value;
}

template <Rule R>
TreeResult Tree::search(Position& pos, RootMove* root, int count, int max_depth, const TimePlan& plan,
                        SearchObserver* observer) {
  plan_ = plan;
  nodes_ = 0;
  next_poll_ = 0;
  seldepth_ = 0;
  stop_ = false;
  table_.new_search();
  for (auto& side : history_)
    for (auto& h : side) h /= 4;
  for (int i = 0; i <= MAX_PLY; ++i) frames_[i].killers[0] = frames_[i].killers[1] = Position::NO_CELL;
  max_depth = std::clamp(max_depth, 1, MAX_TREE_PLY - 1);

  // The root moves by their keys; each iteration sorts them by its values.
  std::stable_sort(root, root + count, [](const RootMove& a, const RootMove& b) { return a.order > b.order; });

  TreeResult result;
  int changes = 0;  // best-move changes, halved at every iteration
  int32_t previous = 0;
  for (int depth = 1; depth <= max_depth; ++depth) {
    int32_t window = ASPIRATION_WINDOW;
    int32_t alpha = -INFINITE_SCORE, beta = INFINITE_SCORE;
    if (depth >= ASPIRATION_FROM_DEPTH && !is_forced(previous)) {
      alpha = previous - window;
      beta = previous + window;
    }
    int best = 0;
    int32_t value;
    while (true) {
      value = root_iteration<R>(pos, root, count, depth, alpha, beta, &best);
      if (stop_) break;
      if (value <= alpha && alpha > -INFINITE_SCORE) {
        alpha = std::max(alpha - window, -INFINITE_SCORE);
      } else if (value >= beta && beta < INFINITE_SCORE) {
        beta = std::min(beta + window, INFINITE_SCORE);
      } else {
        break;
      }
      window *= 4;
      if (window > 4 * ASPIRATION_WINDOW * 16) alpha = -INFINITE_SCORE, beta = INFINITE_SCORE;
    }
    // A move that beat the previous best before the clock ran out is the
    // better one at this depth too.
    if (stop_ && best == 0) break;
    if (best != 0) ++changes;
    std::rotate(root, root + best, root + best + 1);
    std::stable_sort(root + 1, root + count, [depth](const RootMove& a, const RootMove& b) {
      const int32_t va = a.depth == depth ? a.value : -INFINITE_SCORE;
      const int32_t vb = b.depth == depth ? b.value : -INFINITE_SCORE;
      return va > vb;
    });
    result.best = 0;
    result.pv_length = frames_[0].pv_length;
    std::copy(frames_[0].pv, frames_[0].pv + frames_[0].pv_length, result.pv);
    if (stop_) break;
    result.depth = depth;
    result.value = value;
    previous = value;
    result.nodes = nodes_;
    result.seldepth = seldepth_;
    report(pos, result, observer);

    // A five found within this depth needs no deeper look.
    if (is_forced(value) && plies_to_five(value) <= depth) break;
    if (plan_.timed) {
      const int64_t elapsed = clock_ms() - plan_.start_ms;
      const int64_t optimum =
          std::min(plan_.maximum_ms, plan_.optimum_ms * (100 + STRETCH_PER_CHANGE_PERCENT * changes) / 100);
      if (elapsed >= optimum) break;
    }
    changes /= 2;
  }
  result.nodes = nodes_;
  result.seldepth = seldepth_;
  return result;
}

void Tree::report(const Position& pos, const TreeResult& result, SearchObserver* observer) const {
  if (observer == nullptr) return;
  SearchIteration it;
  it.depth = result.depth;
  it.value = result.value;
  it.nodes = static_cast<int32_t>(std::min<int64_t>(result.nodes, INT32_MAX));
  it.elapsed_ms = clock_ms() - plan_.start_ms;
  it.pv_length = result.pv_length;
  for (int i = 0; i < result.pv_length; ++i) {
    it.pv[i].x = static_cast<int16_t>(Position::x_of(result.pv[i]));
    it.pv[i].y = static_cast<int16_t>(Position::y_of(result.pv[i]));
  }
  (void)pos;
  observer->iteration_done(it);
}

template TreeResult Tree::search<Rule::FREESTYLE>(Position&, RootMove*, int, int, const TimePlan&, SearchObserver*);
template TreeResult Tree::search<Rule::STANDARD>(Position&, RootMove*, int, int, const TimePlan&, SearchObserver*);
template TreeResult Tree::search<Rule::RENJU>(Position&, RootMove*, int, int, const TimePlan&, SearchObserver*);

}  // namespace quorlith::plus
