#include "search/plus_search.h"

#include <algorithm>
#include <limits>

#include "engine/evaluation.h"
#include "engine/platform.h"
#include "patterns/pattern_rules.h"
#include "search/move_order.h"

namespace quorlith {

namespace {

// Solver stones per millisecond assumed when a budget becomes node limits
// (quorlith-bench --plus measures about 2 million per second on a busy
// machine). The clock ends each phase too, whichever comes first.
constexpr int64_t SOLVER_NODES_PER_MS = 2000;
// Kept back from the end of the budget so that the reply reaches the
// manager inside it, on a busy machine too: 1/20 of the budget, at most
// 50 ms.
constexpr int32_t MAX_RESERVE_MS = 50;
// Moves step 6 looks at, at most, before it plays the principal move.
constexpr int MAX_VERIFIED_MOVES = 4;
// Stones a candidate's check may place at least, however many candidates
// share the phase.
constexpr int64_t MIN_CHECK_NODES = 2000;
// A deadline no untimed search comes near.
constexpr int64_t FAR_AWAY_MS = std::numeric_limits<int64_t>::max() / 4;

// Tiers of a root candidate by what the opponent has after it.
constexpr int SAFE = 0;         // no win found for the opponent
constexpr int LOSES_VCT = 1;    // the opponent wins by threes and fours
constexpr int LOSES_VCF = 2;    // the opponent wins by fours

bool write_answer(int x, int y, int* x_out, int* y_out) {
  *x_out = x - BORDER;
  *y_out = y - BORDER;
  return true;
}

}  // namespace

PlusPlan plus_plan_for(int32_t budget_ms) {
  PlusPlan plan;
  const int64_t nodes_per_permille = int64_t{std::max(budget_ms, 1)} * SOLVER_NODES_PER_MS / 1000;
  plan.own_vcf_end_permille = 50;
  plan.own_vct_end_permille = 300;
  plan.threat_end_permille = 400;
  plan.check_end_permille = 500;
  plan.search_end_permille = 700;
  plan.own_vcf_nodes = nodes_per_permille * 50;
  plan.own_vct_nodes = nodes_per_permille * 250;
  plan.threat_nodes = nodes_per_permille * 100;
  plan.check_nodes = nodes_per_permille * 150;
  plan.verify_nodes = nodes_per_permille * 300;
  plan.timed = true;
  return plan;
}

namespace {

// The tree's iteration reports as a report of the whole move: the solvers'
// stones before the tree added to its nodes, and the time counted from the
// start of the move.
class MoveReports final : public SearchObserver {
 public:
  MoveReports(SearchObserver* out, int64_t nodes_before, int64_t ms_before)
      : out_(out), nodes_before_(nodes_before), ms_before_(ms_before) {}
  void iteration_done(const SearchIteration& it) override {
    SearchIteration whole = it;
    whole.nodes = static_cast<int32_t>(std::min<int64_t>(nodes_before_ + it.nodes, INT32_MAX));
    whole.elapsed_ms += ms_before_;
    out_->iteration_done(whole);
  }

 private:
  SearchObserver* out_;
  int64_t nodes_before_;
  int64_t ms_before_;
};

}  // namespace

bool find_plus_move(Engine& e, PlusMemory& memory, int* x_out, int* y_out, PlusReport* report,
                    SearchObserver* observer) {
  if (e.time_per_move_ms <= 0) e.time_per_move_ms = DEFAULT_TIME_PER_MOVE_MS;
  return find_plus_move(e, memory, plus_plan_for(e.time_per_move_ms), x_out, y_out, report, observer);
}

bool find_plus_move(Engine& e, PlusMemory& memory, const PlusPlan& plan, int* x_out, int* y_out,
                    PlusReport* report, SearchObserver* observer) {
  ThreatSolver& solver = memory.solver;
  PlusReport local;
  PlusReport& rep = report != nullptr ? *report : local;
  rep = PlusReport{};
  if (e.time_per_move_ms <= 0) e.time_per_move_ms = DEFAULT_TIME_PER_MOVE_MS;
  if (e.max_depth < 2) e.max_depth = DEFAULT_MAX_DEPTH;
  const int64_t start = clock_ms();
  const int32_t budget = e.time_per_move_ms;
  auto phase_end = [&](int32_t permille) {
    return plan.timed ? start + int64_t{budget} * permille / 1000 : FAR_AWAY_MS;
  };
  const int32_t reserve = std::min(budget / 20, MAX_RESERVE_MS);
  const int64_t search_end = plan.timed ? start + budget - reserve : FAR_AWAY_MS;

  // 1. The root candidates, as the exact root builds them; a root without
  //    any scoring cell takes every neighbour cell.
  e.clear_search_without_deadline();
  ScoredMove list[MAX_CANDIDATES];
  const int count = candidates_or_neighbours(e, list);
  rep.candidates = count;
  if (count == 0) {
    rep.decision = PlusReport::Decision::NO_CANDIDATE;
    return e.find_best_move(x_out, y_out);
  }
  if (count == 1) {
    rep.decision = PlusReport::Decision::SINGLE_REPLY;
    rep.kept = 1;
    return write_answer(list[0].x, list[0].y, x_out, y_out);
  }
  sort_by_score(list, count);

  const int64_t solver_start = clock_ms();
  auto solved = [&](bool found) {
    rep.solver_nodes += solver.nodes();
    rep.solver_ms = clock_ms() - solver_start;
    return found;
  };
  Point win{};

  // 2. Our own proven wins. A win by threes is trusted only when its first
  //    stone does not leave the opponent a win by fours at the full VCF
  //    depth (the VCT itself looks for those at a shorter depth).
  if (solved(solver.solve_vcf(e, SolveLimits{plan.own_vcf_nodes, phase_end(plan.own_vcf_end_permille)}, &win))) {
    rep.decision = PlusReport::Decision::OWN_VCF;
    return write_answer(win.x, win.y, x_out, y_out);
  }
  if (solved(solver.solve_vct(e, SolveLimits{plan.own_vct_nodes, phase_end(plan.own_vct_end_permille)}, &win))) {
    e.make_move(win.x, win.y);
    Point reply{};
    const bool refuted = solved(solver.solve_vcf(e, SolveLimits{plan.threat_nodes, search_end}, &reply));
    e.undo_stone();
    if (!refuted) {
      rep.decision = PlusReport::Decision::OWN_VCT;
      return write_answer(win.x, win.y, x_out, y_out);
    }
  }

  // 3. What the opponent threatens: its win by fours, and its win by
  //    threes and fours, were it to move now. A stone of ours only takes
  //    from the opponent's lines, so when it threatens nothing no candidate
  //    needs a check; a search stopped by its limits may have missed a
  //    threat, so the candidates are checked then too.
  const SolveLimits threat_limits{plan.threat_nodes, phase_end(plan.threat_end_permille)};
  const bool vcf_threat = solved(solver.solve_vcf_after_pass(e, threat_limits, &win));
  int vct_depth = 0;  // the depth of the threat by threes and fours
  if (solved(solver.solve_vct_after_pass(e, threat_limits, &win))) vct_depth = solver.last_vct_depth();
  const bool unsure = solver.stopped();
  rep.threat = vcf_threat ? -1 : vct_depth;

  // 4. Against a threat each candidate is checked: does the opponent
  //    still win after it, by fours, or by threes and fours? Most answers
  //    that do not stop the threat fall at once (the table and the hint
  //    hold the threat's proof); the rest use up their node limit. So the
  //    checks go in rounds while the phase lasts: every candidate with a
  //    small limit first, then the ones whose check was stopped again with
  //    four times the limit, and so on. What is found to lose is dropped;
  //    a candidate whose last check was stopped, or that the phase had no
  //    time for, stays and is checked again in step 6, should it be the one
  //    to play.
  const bool threatened = vcf_threat || vct_depth > 0 || unsure;
  const int me = e.side_to_move;
  auto opponent_wins_after = [&](const ScoredMove& m, const SolveLimits& limits) {
    solver.set_hint_stone(Point{static_cast<uint8_t>(m.x), static_cast<uint8_t>(m.y)}, me);
    e.make_move(m.x, m.y);
    Point reply{};
    int result = SAFE;
    if (solved(solver.solve_vcf(e, limits, &reply)))
      result = LOSES_VCF;
    else if (solved(solver.solve_vct(e, limits, &reply)))
      result = LOSES_VCT;
    e.undo_stone();
    solver.clear_hint_stone();
    return result;
  };
  int tier[MAX_CANDIDATES] = {};
  bool checked[MAX_CANDIDATES] = {};
  bool open[MAX_CANDIDATES] = {};  // the last check was stopped
  if (threatened) {
    const int64_t check_end = phase_end(plan.check_end_permille);
    const int64_t spent_before = rep.solver_nodes;
    auto phase_over = [&] {
      return rep.solver_nodes - spent_before >= plan.check_nodes || (plan.timed && clock_ms() >= check_end);
    };
    int64_t limit = std::max<int64_t>(plan.check_nodes / count / 16, MIN_CHECK_NODES);
    bool any_open = true;
    for (int round = 0; any_open && !phase_over(); ++round, limit *= 4) {
      any_open = false;
      for (int i = 0; i < count && !phase_over(); ++i) {
        if (round > 0 && !open[i]) continue;
        tier[i] = opponent_wins_after(list[i], SolveLimits{limit, check_end});
        checked[i] = true;
        open[i] = tier[i] == SAFE && solver.stopped();
        any_open = any_open || open[i];
      }
    }
  }
  const int best_tier = *std::min_element(tier, tier + count);
  PlusTree::RootMove root[MAX_CANDIDATES];
  bool root_checked[MAX_CANDIDATES] = {};
  int kept = 0;
  bool unchecked = false;
  for (int i = 0; i < count; ++i) {
    if (tier[i] == LOSES_VCF) ++rep.lose_to_vcf;
    if (tier[i] == LOSES_VCT) ++rep.lose_to_vct;
    if (tier[i] != best_tier) continue;
    root[kept].move = list[i];
    root_checked[kept] = (checked[i] && !open[i]) || !threatened;
    unchecked = unchecked || !root_checked[kept];
    ++kept;
  }
  rep.kept = kept;

  // 5. The plus tree over what is left, to the end of the budget, or
  //    earlier when step 6 may have to check moves. A single candidate
  //    left needs no search.
  rep.decision = PlusReport::Decision::SEARCHED;
  if (kept == 1) return write_answer(root[0].move.x, root[0].move.y, x_out, y_out);
  const int64_t tree_end = unchecked ? std::min(search_end, phase_end(plan.search_end_permille)) : search_end;
  MoveReports reports(observer, rep.solver_nodes, clock_ms() - start);
  const PlusTree::Result found = memory.tree.search(e, root, kept, std::min<int>(e.max_depth, DEEPEST_SEARCH),
                                                    tree_end, &solver, observer != nullptr ? &reports : nullptr);
  rep.depth_reached = found.depth_reached;
  rep.value = found.value;
  rep.search_nodes = found.nodes;

  // 6. The move to play: the tree's best, then the others by the deepest
  //    value each got (the entries carry the root move's index in x). The
  //    first that step 4 found safe, or that the tree proved to win, is
  //    played; any other is checked now with what is left of the budget,
  //    and played unless the opponent wins after it (a check that runs out
  //    of time cannot tell, and the move is played). Failing all that, the
  //    tree's best.
  ScoredMove order[MAX_CANDIDATES];
  for (int i = 0; i < kept; ++i) {
    const int32_t key =
        i == found.best ? INT32_MAX : root[i].depth * (2 * ROOT_BOUND + 1) + root[i].value + ROOT_BOUND;
    order[i] = ScoredMove{static_cast<int16_t>(i), 0, key};
  }
  sort_by_score(order, kept);
  for (int i = 0; i < kept && i < MAX_VERIFIED_MOVES; ++i) {
    const PlusTree::RootMove& rm = root[order[i].x];
    if (root_checked[order[i].x] || rm.value >= MATE_BAND) return write_answer(rm.move.x, rm.move.y, x_out, y_out);
    if (plan.timed && clock_ms() >= search_end) break;
    ++rep.verified;
    if (opponent_wins_after(rm.move, SolveLimits{plan.verify_nodes, search_end}) == SAFE)
      return write_answer(rm.move.x, rm.move.y, x_out, y_out);
    ++rep.lose_to_vct;
  }
  const PlusTree::RootMove& best = root[found.best];
  return write_answer(best.move.x, best.move.y, x_out, y_out);
}

}  // namespace quorlith
