#include "search/plus_tree.h"

#include <algorithm>
#include <climits>

#include "engine/evaluation.h"
#include "engine/keys.h"
#include "engine/platform.h"
#include "patterns/pattern_rules.h"
#include "search/move_order.h"
#include "search/plus_eval.h"

namespace quorlith {

namespace {

constexpr int32_t INFINITE = ROOT_BOUND;
constexpr uint8_t EXACT = 0;
constexpr uint8_t LOWER = 1;  // the value is at least the stored one
constexpr uint8_t UPPER = 2;  // the value is at most the stored one
// Nodes between two readings of the clock.
constexpr int64_t CLOCK_MASK = 1023;
// Order keys: the table move first, then the move score (0 to 121) ahead of
// everything else; killers and history only sort moves of equal score, a
// killer as if it scored a few points more.
constexpr int32_t TABLE_MOVE_KEY = INT32_MAX;
constexpr int32_t SCORE_UNIT = 1024;
constexpr int32_t KILLER_BONUS = 4 * SCORE_UNIT;
constexpr uint32_t HISTORY_CAP = SCORE_UNIT - 1;
// Nodes from this ply to the last, with this depth left or more, look for a
// win by fours of the side to move, with this many solver stones. Ply 1 is
// left out: a stone of ours takes nothing from the opponent's fours, so
// the root has looked there already.
constexpr int VCF_FIRST_PLY = 2;
constexpr int VCF_LAST_PLY = 4;
constexpr int VCF_MIN_DEPTH = 2;
constexpr int64_t VCF_NODES = 400;
// A win by fours is valued as one this many plies away: its length is not
// known, and a win the threat check counts is sooner.
constexpr int32_t VCF_WIN_PLIES = 60;
// Answers to threats are searched without using up depth (see node) down
// to this many plies per ply of the iteration's depth.
constexpr int EXTENDED_PLIES_PER_DEPTH = 2;

// Forced results count plies from the root, so that a shorter win is worth
// more wherever it is found; the table keeps them counted from the node.
int32_t forced_at_ply(int32_t plies, int ply) {
  const int32_t v = forced_result_score(plies);
  return v > 0 ? v - ply : v + ply;
}
int32_t to_table(int32_t v, int ply) {
  if (v >= MATE_BAND) return v + ply;
  if (v <= -MATE_BAND) return v - ply;
  return v;
}
int32_t from_table(int32_t v, int ply) {
  if (v >= MATE_BAND) return v - ply;
  if (v <= -MATE_BAND) return v + ply;
  return v;
}

bool same(Point p, int x, int y) { return p.x == x && p.y == y; }

}  // namespace

void PlusTree::Release::operator()(Entry* table) const noexcept { release_engine_memory(table); }

PlusTree::PlusTree()
    : table_(static_cast<Entry*>(allocate_engine_memory(sizeof(Entry) * HASH_SIZE))) {
  clear();
}

// The slot of the position after a stone on (x, y) is known before the
// stone is placed: asking for it then hides most of the wait for memory.
void PlusTree::prefetch_after(const Engine& e, int x, int y) const {
  if (!table_) return;
  const uint32_t slot = (e.hash_index + static_cast<uint32_t>(INDEX_KEY[e.side_to_move][y][x])) & HASH_MASK;
  __builtin_prefetch(&table_[slot]);
}

void PlusTree::clear() {
  if (table_) std::fill(table_.get(), table_.get() + HASH_SIZE, Entry{});
  for (auto& row : history_) std::fill(std::begin(row), std::end(row), 0u);
}

int32_t PlusTree::leaf_value(const Engine& e) const {
  return exact_ ? e.evaluate() : plus_evaluate(e.rating_count, e.shape_sum, e.side_to_move);
}

void PlusTree::poll() {
  if ((++nodes_ & CLOCK_MASK) == 0 && clock_ms() >= deadline_ms_) stop_ = true;
}

void PlusTree::store(const Engine& e, int depth, int32_t value, int32_t alpha, int32_t beta,
                     Point move) {
  if (!table_) return;
  Entry& slot = table_[e.hash_index];
  slot.check1 = e.hash_check1;
  slot.check2 = e.hash_check2;
  slot.score = static_cast<int16_t>(value);
  slot.depth = static_cast<int8_t>(depth);
  slot.bound = value <= alpha ? UPPER : value >= beta ? LOWER : EXACT;
  slot.move = move;
}

int32_t PlusTree::node(Engine& e, int depth, int32_t alpha, int32_t beta, int ply) {
  poll();
  if (stop_) return 0;

  // Forced results end the node, as they do in the exact search.
  const int32_t forced = e.threat_check();
  if (forced != 0) return forced_at_ply(forced, ply);
  if (depth <= 0 || ply >= MAX_PLY - 1) return leaf_value(e);

  // The table: a bound deep enough may end the node; its move goes first.
  Point table_move{};
  if (table_) {
    const Entry& entry = table_[e.hash_index];
    if (entry.check1 == e.hash_check1 && entry.check2 == e.hash_check2) {
      table_move = entry.move;
      if (entry.depth >= depth) {
        const int32_t v = from_table(entry.score, ply);
        if (entry.bound == EXACT || (entry.bound == LOWER && v >= beta) ||
            (entry.bound == UPPER && v <= alpha))
          return v;
      }
    }
  }

  // A win by fours, proven by the solver, ends the node too.
  if (solver_ != nullptr && ply >= VCF_FIRST_PLY && ply <= VCF_LAST_PLY && depth >= VCF_MIN_DEPTH) {
    Point first{};
    if (solver_->solve_vcf(e, SolveLimits{VCF_NODES, deadline_ms_}, &first))
      return WIN_SCORE - ply - VCF_WIN_PLIES;
  }

  ScoredMove list[MAX_CANDIDATES];
  const int count = candidates_or_neighbours(e, list);
  if (count == 0) return 0;  // a full board: a draw
  const int me = e.side_to_move;
  const int opp = e.opponent;
  for (int i = 0; i < count; ++i) {
    ScoredMove& m = list[i];
    const Cell& c = e.cells[m.x][m.y];
    if (same(table_move, m.x, m.y)) {
      m.score = TABLE_MOVE_KEY;
      continue;
    }
    // The exact table's move comes with its own key: score it afresh.
    const int32_t score = m.score == HASH_MOVE_SCORE ? score_move(c) : m.score;
    int32_t key = score * SCORE_UNIT + static_cast<int32_t>(std::min(history_[m.x][m.y], HISTORY_CAP));
    if (same(killers_[ply][0], m.x, m.y) || same(killers_[ply][1], m.x, m.y)) key += KILLER_BONUS;
    m.score = key;
  }

  // A node that answers a threat (a four to block, an open three to meet)
  // has few moves, and none of them is a free choice: its stones do not
  // use up depth, so a line of threats is seen to its end rather than cut
  // off halfway. Bounded by the ply, as a line of threats can be long.
  const bool extend = !exact_ && ply < extension_plies_ &&
                      (count == 1 || e.rating_count[opp][RATING_OPEN_FOUR] > 0);
  const int child_depth = extend ? depth : depth - 1;

  const int32_t alpha_in = alpha;
  int32_t best = -INFINITE;
  Point best_move{};
  for (int i = 0; i < count; ++i) {
    const ScoredMove m = take_best(list, count);
    const Cell& c = e.cells[m.x][m.y];
    const bool quiet = c.rating[me] == RATING_NONE && c.rating[opp] == RATING_NONE;
    int32_t v;
    if (child_depth == 0) {
      // A child at the horizon: its threat check and evaluation, mostly
      // without placing the stone.
      poll();
      int32_t forced_after = 0, value_after = 0;
      if (exact_) {
        e.horizon_after(m.x, m.y, &forced_after, &value_after);
      } else {
        Engine::Preview after;
        forced_after = e.horizon_counts_after(m.x, m.y, after);
        value_after = plus_evaluate(after.rating_count, after.shape_sum, opp);
      }
      v = -(forced_after != 0 ? forced_at_ply(forced_after, ply + 1) : value_after);
    } else {
      prefetch_after(e, m.x, m.y);
      e.make_move(m.x, m.y);
      if (i == 0) {
        v = -node(e, child_depth, -beta, -alpha, ply + 1);
      } else {
        v = -node(e, child_depth, -alpha - 1, -alpha, ply + 1);
        if (v > alpha && v < beta) v = -node(e, child_depth, -beta, -alpha, ply + 1);
      }
      e.undo_stone();
    }
    if (stop_) return 0;
    if (v > best) {
      best = v;
      best_move = Point{static_cast<uint8_t>(m.x), static_cast<uint8_t>(m.y)};
      if (v > alpha) {
        alpha = v;
        if (v >= beta) {
          if (quiet && !same(killers_[ply][0], m.x, m.y)) {
            killers_[ply][1] = killers_[ply][0];
            killers_[ply][0] = best_move;
          }
          history_[m.x][m.y] += static_cast<uint32_t>(depth * depth);
          break;
        }
      }
    }
  }
  store(e, depth, to_table(best, ply), to_table(alpha_in, ply), to_table(beta, ply), best_move);
  return best;
}

int32_t PlusTree::root_iteration(Engine& e, RootMove* root, int count, int depth, int* best_index) {
  // The previous iteration's best first, then by key; the entries carry
  // the root move's index in x.
  ScoredMove order[MAX_CANDIDATES];
  for (int i = 0; i < count; ++i)
    order[i] = ScoredMove{static_cast<int16_t>(i), 0, i == *best_index ? INT32_MAX : root[i].move.score};
  sort_by_score(order, count);

  int32_t alpha = -INFINITE;
  const int32_t beta = INFINITE;
  int found = -1;
  for (int i = 0; i < count; ++i) {
    RootMove& rm = root[order[i].x];
    e.make_move(rm.move.x, rm.move.y);
    int32_t v;
    if (i == 0) {
      v = -node(e, depth - 1, -beta, -alpha, 1);
    } else {
      v = -node(e, depth - 1, -alpha - 1, -alpha, 1);
      if (v > alpha && !stop_) v = -node(e, depth - 1, -beta, -alpha, 1);
    }
    e.undo_stone();
    if (stop_) break;
    rm.value = v;
    rm.depth = depth;
    if (v > alpha || found < 0) {
      alpha = std::max(alpha, v);
      found = order[i].x;
    }
  }
  // A move that beat the previous best before the clock ran out is better
  // than it at this depth too.
  if (found >= 0) *best_index = found;
  return alpha;
}

void PlusTree::report_iteration(SearchObserver& observer, const ScoredMove& best, int depth, int32_t value,
                                int64_t start_ms) const {
  SearchIteration it;
  it.depth = depth;
  it.value = value;
  it.nodes = static_cast<int32_t>(std::min<int64_t>(nodes_, INT32_MAX));
  it.elapsed_ms = clock_ms() - start_ms;
  it.pv_length = 1;
  it.pv[0] = Engine::PvMove{static_cast<int16_t>(best.x - BORDER), static_cast<int16_t>(best.y - BORDER)};
  observer.iteration_done(it);
}

PlusTree::Result PlusTree::search(Engine& e, RootMove* root, int count, int max_depth,
                                  int64_t deadline_ms, ThreatSolver* solver, SearchObserver* observer) {
  const int64_t start = observer != nullptr ? clock_ms() : 0;
  Result result;
  solver_ = solver;
  nodes_ = 0;
  stop_ = false;
  deadline_ms_ = deadline_ms;
  for (auto& row : killers_) row[0] = row[1] = Point{};
  for (auto& row : history_)
    for (auto& h : row) h /= 2;

  int best = 0;
  for (int depth = 2; depth <= max_depth && !stop_; ++depth) {
    extension_plies_ = EXTENDED_PLIES_PER_DEPTH * depth;
    const int32_t value = root_iteration(e, root, count, depth, &best);
    if (!stop_) {
      result.depth_reached = depth;
      result.value = value;
      if (observer != nullptr) report_iteration(*observer, root[best].move, depth, value, start);
    }
    if (clock_ms() >= deadline_ms_) break;
  }
  result.best = best;
  result.nodes = nodes_;
  return result;
}

}  // namespace quorlith
