#include "search/plus_search.h"

#include <algorithm>
#include <limits>

#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"
#include "search/scan.h"

namespace quorlith {

namespace {

// The defaults find_best_move applies to a budget of 0 or less and to a
// depth limit below 2.
constexpr int32_t DEFAULT_TIME_MS = 8000;
constexpr int32_t DEFAULT_MAX_DEPTH = 15;
// The alpha-beta iterations start here: a few candidates fewer than the
// exact search has, and a budget shared with the solvers, make a shallow
// finished iteration worth more than a deep unfinished one.
constexpr int FIRST_ITERATION_DEPTH = 5;
constexpr int DEEPEST_SEARCH = MAX_PLY - 1;
// Solver stones per millisecond assumed when a budget becomes node limits
// (measured at about 1.2 million per second; see quorlith-bench --plus).
constexpr int64_t SOLVER_NODES_PER_MS = 1200;
// Kept back from the end of the budget so that the reply reaches the
// manager inside it: 1/20 of the budget, at most 30 ms.
constexpr int32_t MAX_RESERVE_MS = 30;
// A deadline no untimed search comes near.
constexpr int64_t FAR_AWAY_MS = std::numeric_limits<int64_t>::max() / 4;

// Tiers of a root candidate by what the opponent has after it.
constexpr int SAFE = 0;         // no win found for the opponent
constexpr int LOSES_VCT = 1;    // the opponent wins by threes and fours
constexpr int LOSES_VCF = 2;    // the opponent wins by fours

void sort_by_key(ScoredMove* list, int count) {
  for (int i = 1; i < count; ++i) {
    const ScoredMove item = list[i];
    int j = i;
    while (j > 0 && list[j - 1].score < item.score) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = item;
  }
}

bool write_answer(int x, int y, int* x_out, int* y_out) {
  *x_out = x - BORDER;
  *y_out = y - BORDER;
  return true;
}

// One alpha-beta iteration at the root over the given moves: each child is
// searched by the exact alpha_beta with the window, table and principal
// variation bookkeeping its own root would use, so the children see exactly
// what they would see below an exact root.
ScoredMove root_iteration(Engine& e, const ScoredMove* moves, int count, int depth) {
  constexpr int32_t alpha = -ROOT_BOUND;
  constexpr int32_t beta = ROOT_BOUND;
  ScoredMove best{0, 0, alpha - 1};
  e.pv_length[0] = 0;

  // 1. Order: the previous iteration's move first, then the given order.
  ScoredMove list[MAX_CANDIDATES];
  std::copy(moves, moves + count, list);
  if (e.follow_pv) {
    e.follow_pv = false;
    for (int i = 0; i < count; ++i) {
      if (list[i].x == e.pv[0][0].x && list[i].y == e.pv[0][0].y) {
        e.follow_pv = true;
        list[i].score = PV_MOVE_SCORE;
        break;
      }
    }
  }
  sort_by_key(list, count);

  // 2. Each move, as the exact root tries it.
  for (int i = 0; i < count; ++i) {
    const int x = list[i].x;
    const int y = list[i].y;
    e.make_move(x, y);
    int32_t m;
    const HashEntry& probe = e.transposition_table[e.hash_index];
    if (probe.check1 == e.hash_check1 && probe.check2 == e.hash_check2 && probe.depth == depth - 1) {
      m = probe.score;
    } else {
      int16_t cb = static_cast<int16_t>(-1 - best.score);
      if (cb >= MATE_BAND) cb = static_cast<int16_t>(cb + 1);
      int16_t ca = static_cast<int16_t>(-beta);
      if (ca <= -MATE_BAND) ca = static_cast<int16_t>(ca - 1);
      ++e.ply;
      const ScoredMove r = e.alpha_beta(depth - 1, false, ca, cb);
      --e.ply;
      m = pass_up(r.score);
      if (-cb <= m && m <= -ca) {
        HashEntry& slot = e.transposition_table[e.hash_index];
        slot.check1 = e.hash_check1;
        slot.check2 = e.hash_check2;
        slot.score = static_cast<int16_t>(m);
        slot.depth = static_cast<int16_t>(depth - 1);
        slot.reply = Point{static_cast<uint8_t>(r.x), static_cast<uint8_t>(r.y)};
      }
    }
    e.undo_stone();
    if (e.stop) return ScoredMove{0, 0, 0};
    if (m > best.score) {
      best = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), m};
      e.update_pv(x, y);
    }
  }
  return best;
}

}  // namespace

PlusPlan plus_plan_for(int32_t budget_ms) {
  PlusPlan plan;
  const int64_t nodes_per_permille = int64_t{std::max(budget_ms, 1)} * SOLVER_NODES_PER_MS / 1000;
  plan.own_vcf_end_permille = 50;
  plan.own_vct_end_permille = 300;
  plan.threat_end_permille = 400;
  plan.check_end_permille = 600;
  plan.own_vcf_nodes = nodes_per_permille * 50;
  plan.own_vct_nodes = nodes_per_permille * 250;
  plan.threat_nodes = nodes_per_permille * 100;
  plan.check_nodes = nodes_per_permille * 200;
  plan.timed = true;
  return plan;
}

bool find_plus_move(Engine& e, ThreatSolver& solver, int* x_out, int* y_out, PlusReport* report) {
  if (e.time_per_move_ms <= 0) e.time_per_move_ms = DEFAULT_TIME_MS;
  return find_plus_move(e, solver, plus_plan_for(e.time_per_move_ms), x_out, y_out, report);
}

bool find_plus_move(Engine& e, ThreatSolver& solver, const PlusPlan& plan, int* x_out, int* y_out,
                    PlusReport* report) {
  PlusReport local;
  PlusReport& rep = report != nullptr ? *report : local;
  rep = PlusReport{};
  if (e.time_per_move_ms <= 0) e.time_per_move_ms = DEFAULT_TIME_MS;
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
  int count = 0;
  e.generate_candidates(list, count);
  if (count == 0) {
    scan_neighbour_cells(e, [&](int x, int y, const Cell&) {
      list[count++] = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), 0};
      return false;
    });
  }
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
  sort_by_key(list, count);

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
  //    needs a check.
  const SolveLimits threat_limits{plan.threat_nodes, phase_end(plan.threat_end_permille)};
  const bool vcf_threat = solved(solver.solve_vcf_after_pass(e, threat_limits, &win));
  int vct_depth = 0;  // the depth of the threat by threes and fours
  if (solved(solver.solve_vct_after_pass(e, threat_limits, &win))) vct_depth = solver.last_vct_depth();
  rep.threat = vcf_threat ? -1 : vct_depth;

  // 4. Against a threat each candidate is checked: first whether the
  //    opponent still wins by fours after it (these checks are small and
  //    done for every candidate), then whether it wins by threes and fours
  //    at the depth of its threat, while the phase lasts. A check stopped
  //    by its limits, and a candidate left unchecked, count as safe.
  int tier[MAX_CANDIDATES] = {};
  for (int i = 0; i < count; ++i) tier[i] = SAFE;
  if (vcf_threat || vct_depth > 0) {
    const int64_t check_end = phase_end(plan.check_end_permille);
    const int64_t per_candidate = std::max<int64_t>(plan.check_nodes / count, 1);
    const SolveLimits limits{per_candidate, check_end};
    const int me = e.side_to_move;
    Point reply{};
    auto check = [&](int i, auto&& solve) {
      const Point stone{static_cast<uint8_t>(list[i].x), static_cast<uint8_t>(list[i].y)};
      solver.set_hint_stone(stone, me);
      e.make_move(stone.x, stone.y);
      const bool lost = solved(solve());
      e.undo_stone();
      solver.clear_hint_stone();
      return lost;
    };
    for (int i = 0; i < count; ++i)
      if (check(i, [&] { return solver.solve_vcf(e, limits, &reply); })) tier[i] = LOSES_VCF;
    for (int i = 0; i < count && vct_depth > 0; ++i) {
      if (tier[i] != SAFE) continue;
      if (plan.timed && clock_ms() >= check_end) break;
      if (check(i, [&] { return solver.solve_vct_at_depth(e, limits, vct_depth, &reply); })) tier[i] = LOSES_VCT;
    }
  }
  const int best_tier = *std::min_element(tier, tier + count);
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (tier[i] == LOSES_VCF) ++rep.lose_to_vcf;
    if (tier[i] == LOSES_VCT) ++rep.lose_to_vct;
    if (tier[i] == best_tier) list[kept++] = list[i];
  }
  rep.kept = kept;

  // 5. The exact alpha-beta over what is left, deepened to the end of the
  //    budget. A single candidate left needs no search.
  rep.decision = PlusReport::Decision::SEARCHED;
  if (kept == 1) return write_answer(list[0].x, list[0].y, x_out, y_out);
  e.clear_search_without_deadline();
  e.deadline_ms = search_end;
  e.clock_armed = plan.timed;
  const int last = std::min<int>(e.max_depth, DEEPEST_SEARCH);
  const int first = std::min(FIRST_ITERATION_DEPTH, last);
  for (int depth = first; depth <= last; ++depth) {
    e.follow_pv = true;
    if (e.stop) break;
    const ScoredMove root = root_iteration(e, list, kept, depth);
    if (!e.stop) {
      rep.depth_reached = depth;
      rep.value = root.score;
    }
  }
  e.clock_armed = false;
  rep.search_nodes = e.nodes;

  // The principal move when a root move finished, else the first candidate.
  const int px = e.pv[0][0].x;
  const int py = e.pv[0][0].y;
  for (int i = 0; i < kept; ++i)
    if (list[i].x == px && list[i].y == py) return write_answer(px, py, x_out, y_out);
  return write_answer(list[0].x, list[0].y, x_out, y_out);
}

}  // namespace quorlith
