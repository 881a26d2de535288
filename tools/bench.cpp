// quorlith-bench: searches a fixed suite of positions and prints nodes, time,
// speed, move and value per position and in total. The last line, "Bench: N",
// is the total node count: a signature of the search for a given build.
//
//   quorlith-bench [--depth D] [--time MS] [--repeat K]
//
// Each position gets a fresh engine, the stones are placed, and one
// find_best_move call searches it, exactly as the engine searches in a game.
// Fixed depth (the default, D = 9; D from 2 to 63): the deadline is out of
// reach, so the iterations 7, 8, ..., D all run (a D below 7 is a single
// iteration at D). The value is the last iteration's root result.
//
// Time budget (--time MS): up to depth 63 under a budget of MS. Each
// position reports the deepest iteration that finished (its value; "none"
// when not even the first one did, and the move is then the root's first
// candidate) and the overrun, the clock when find_best_move returned minus
// its deadline; the largest overrun is printed at the end.
//
// --repeat K runs the suite K times in one process; the first pass uses a new
// engine per position, later passes reuse one engine restarted with
// start_game. The node counts of every pass must agree (fixed depth only);
// a difference is stale state and the tool exits with status 1.
//
// --plus runs the plus brain instead: per position its decision, the
// depth and selective depth reached, its nodes (tree and solver stones),
// speed, move and value. Fixed depth: no clock, iterations up to D; the
// last line, "Plus bench: N", counts every stone placed over the suite and
// the solver suite. With --time MS it plays under that budget with its own
// time plan and reports each answer's overrun past the budget. Then the
// solver suite (positions with wins by fours, and quiet ones) gives the
// win-by-fours solver's speed: "Solver: nodes N ms M nps K".
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "search/plus_search.h"
#include "search/plus_vcf.h"

namespace {

using quorlith::Engine;

struct BenchPosition {
  const char* name;
  int size;
  // Protocol moves "x,y" separated by spaces; stones alternate from side 0.
  const char* moves;
};

// Openings and middlegames from engine games, quiet ones and ones where a
// side has a forcing threat (an open four to answer, a four-three).
constexpr BenchPosition SUITE[] = {
    {"15 opening diagonal", 15, "7,7 8,8 6,8"},
    {"15 opening direct", 15, "7,7 7,8 8,9 8,8"},
    {"15 opening line", 15, "7,7 8,7 9,7 7,6 9,8"},
    {"15 early middle", 15, "7,7 8,8 6,8 8,6 7,9 7,6 8,9 6,6 5,6 5,7 7,10 7,11"},
    {"15 middle", 15,
     "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7"},
    {"15 late middle", 15,
     "7,7 8,7 9,7 7,6 9,8 9,6 8,6 10,8 10,5 6,8 9,4 6,9 11,6 8,3 10,4 5,8 8,8"},
    {"15 open-four threat", 15,
     "7,7 8,7 9,7 7,6 9,8 9,6 8,6 10,8 10,5 6,8 9,4 6,9 11,6"},
    {"15 four-three", 15,
     "7,7 8,8 6,8 8,6 7,9 7,6 8,9 6,6 5,6 5,7 7,10 7,11 6,9 9,9 6,11 9,6 10,6 6,7 9,8 10,7 "
     "5,12 4,13 5,10 4,9"},
    {"15 four-three vs four", 15,
     "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7 9,6 4,7 3,9 2,10 3,10 "
     "10,8 11,8 3,7"},
    {"20 opening", 20, "10,10 11,11 9,11"},
    {"20 opening direct", 20, "10,10 10,11 12,10 11,10"},
    {"20 quiet middle", 20,
     "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 "
     "11,9"},
    {"20 long middle", 20,
     "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 "
     "11,9 12,8 12,7 11,6 15,13 10,7 9,8 9,6 11,8 13,6"},
    {"20 open-four threat", 20,
     "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 "
     "11,9 12,8 12,7 11,6 15,13 10,7 9,8 9,6"},
    {"20 wide middle", 20,
     "10,10 9,9 11,9 9,11 10,8 10,11 9,8 11,11 12,11 12,10 10,7 10,6 11,8 8,8"},
};

struct Result {
  int32_t nodes = 0;
  int64_t ms = 0;
  int x = -4, y = -4;
  int32_t value = 0;
  int depth_reached = 0;  // deepest iteration that ran to its end
  int64_t overrun_ms = 0;
};

bool place_moves(Engine& e, const char* moves) {
  const char* p = moves;
  while (*p != '\0') {
    char* end = nullptr;
    const long x = std::strtol(p, &end, 10);
    if (end == p || *end != ',') return false;
    p = end + 1;
    const long y = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
    while (*p == ' ') ++p;
    if (!e.is_open_square(static_cast<int>(x), static_cast<int>(y))) return false;
    e.place_stone(static_cast<int>(x), static_cast<int>(y));
  }
  return true;
}

// One find_best_move call: to depth D with the deadline out of reach, or up
// to depth 63 under a budget.
Result search(Engine& e, int depth, int64_t budget_ms) {
  Result res;
  e.max_depth = depth;
  e.time_per_move_ms = budget_ms < 0 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(budget_ms);
  Engine::SearchReport report;
  const int64_t start = quorlith::clock_ms();
  int x = -1, y = -1;
  e.find_best_move(&x, &y, &report);
  const int64_t end = quorlith::clock_ms();
  res.ms = end - start;
  res.nodes = e.nodes;
  res.x = x;
  res.y = y;
  res.depth_reached = report.depth_reached;
  res.value = report.value;
  if (budget_ms >= 0) res.overrun_ms = end - e.deadline_ms;
  return res;
}

int64_t per_second(int64_t nodes, int64_t ms) { return nodes * 1000 / std::max<int64_t>(ms, 1); }

void usage() {
  std::fprintf(stderr, "usage: quorlith-bench [--depth D] [--time MS] [--repeat K] [--plus]\n");
}

// Threat positions for the solvers' speed (15 x 15): wins by fours of
// several lengths, and wins by threes and fours the exact engine's depth-9
// search does not see.
constexpr BenchPosition SOLVER_SUITE[] = {
    {"fours 4", 15, "7,7 6,9 8,11 8,9 9,9 7,5 9,5 8,3 5,7 10,6 5,5 5,3 8,2 10,7 9,7 4,9"},
    {"fours 6", 15, "7,7 9,9 8,8 9,10 8,7 7,11 5,11 9,7 7,9 10,5 6,7 10,9 10,7 6,5 10,8 4,6 5,5 10,10"},
    {"fours 8", 15,
     "7,7 6,8 5,10 7,8 6,7 5,8 7,6 8,5 4,8 6,5 5,6 5,9 3,8 3,5 4,7 1,4 9,7 7,9 7,5 7,11 8,9 5,4 "
     "8,3 8,12 6,6"},
    {"threats 5", 15, "10,5 7,7 8,5 6,7 9,4 8,7 9,7 9,5"},
    {"threats 6", 15, "7,7 7,10 7,6 6,10 6,6 8,10 5,10 8,8"},
    {"threats 7", 15, "4,8 8,7 7,5 6,6 4,7 8,6 8,5"},
    {"threats 8", 15, "4,7 8,7 7,8 4,4 10,10 5,4 5,8 3,6"},
    {"threats 9", 15, "10,10 7,5 10,7 6,6 9,8 8,4 9,3 9,5"},
    {"quiet 15", 15, "7,7 8,8 6,8 8,6 7,9 7,6 8,9 6,6 5,6 5,7 7,10 7,11"},
    {"quiet 20", 20,
     "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 11,9"},
};

constexpr int64_t SOLVER_NODE_LIMIT = 3'000'000;

// The end of one pass over the suite: its totals, under the clock its worst
// overrun, and without it whether the pass placed as many stones per
// position as the first. False when it did not: the search kept state it
// should have forgotten.
bool finish_pass(int pass, bool timed, int64_t nodes, int64_t ms, int64_t worst_overrun, const char* overrun_label,
                 const std::vector<int64_t>& counts, std::vector<int64_t>& first_pass) {
  std::printf("Total nodes %" PRId64 "  ms %" PRId64 "  nps %" PRId64 "\n", nodes, ms, per_second(nodes, ms));
  if (timed) std::printf("%s: %" PRId64 " ms\n", overrun_label, worst_overrun);
  const bool same = timed || pass == 0 || counts == first_pass;
  if (!same) std::printf("Pass %d differs from pass 1: stale search state\n", pass + 1);
  if (pass == 0) first_pass = counts;
  return same;
}

const char* decision_name(quorlith::plus::MoveReport::Decision d) {
  using D = quorlith::plus::MoveReport::Decision;
  switch (d) {
    case D::FOURS: return "fours";
    case D::OWN_VCF: return "vcf";
    case D::OWN_VCT: return "vct";
    case D::SINGLE: return "single";
    case D::SEARCHED: return "search";
  }
  return "?";
}

// The plus brain over the suite, then its win-by-fours solver over the
// solver suite. One player for the whole run, told of a new game before
// each position, as a console brain is between games.
int run_plus(int depth, int64_t budget_ms, int repeat) {
  const bool timed = budget_ms >= 0;
  if (timed)
    std::printf("Plus: time budget %" PRId64 " ms per position\n", budget_ms);
  else
    std::printf("Plus: depth %d, no clock\n", depth);
  auto player = std::make_unique<quorlith::plus::PlusPlayer>();
  std::vector<int64_t> first_pass;
  int status = 0;
  int64_t total = 0;
  for (int pass = 0; pass < repeat; ++pass) {
    int64_t nodes_sum = 0, ms_sum = 0, worst_overrun = INT64_MIN;
    std::vector<int64_t> counts;
    int index = 0;
    for (const BenchPosition& pos : SUITE) {
      ++index;
      auto e = std::make_unique<Engine>();
      e->start_game(pos.size);
      if (!place_moves(*e, pos.moves)) return 2;
      player->new_game();
      e->max_depth = timed ? quorlith::MAX_PLY - 1 : depth;
      e->time_per_move_ms = timed ? static_cast<int32_t>(budget_ms) : quorlith::DEFAULT_TIME_PER_MOVE_MS;
      quorlith::plus::TimePlan untimed;
      quorlith::plus::MoveReport report;
      int x = -1, y = -1;
      const int64_t start = quorlith::clock_ms();
      player->find_move(*e, &x, &y, &report, nullptr, timed ? nullptr : &untimed);
      const int64_t ms = quorlith::clock_ms() - start;
      nodes_sum += report.nodes;
      ms_sum += ms;
      counts.push_back(report.nodes);
      std::printf("%2d %-24s %-6s moves %3d  depth %2d/%-2d  nodes %9" PRId64 "  ms %5" PRId64 "  nps %8" PRId64
                  "  move %2d,%-2d value %6d",
                  index, pos.name, decision_name(report.decision), report.moves, report.depth, report.seldepth,
                  report.nodes, ms, per_second(report.nodes, ms), x, y, report.value);
      if (timed) {
        const int64_t overrun = ms - budget_ms;
        worst_overrun = std::max(worst_overrun, overrun);
        std::printf("  overrun %4" PRId64 " ms", overrun);
      }
      std::printf("\n");
    }
    if (!finish_pass(pass, timed, nodes_sum, ms_sum, worst_overrun, "Largest overrun past the budget", counts,
                     first_pass))
      status = 1;
    total = nodes_sum;
  }

  // The win-by-fours solver alone, from a fresh table, under one node
  // limit each.
  int64_t suite_nodes = 0, suite_ms = 0;
  quorlith::plus::VcfSolver solver;
  for (const BenchPosition& pos : SOLVER_SUITE) {
    auto e = std::make_unique<Engine>();
    e->start_game(pos.size);
    if (!place_moves(*e, pos.moves)) return 2;
    quorlith::Position& board = player->follow(*e);
    solver.clear();
    int first = 0;
    const int64_t start = quorlith::clock_ms();
    const int plies = solver.solve<quorlith::Rule::FREESTYLE>(board, 40, SOLVER_NODE_LIMIT, &first);
    const int64_t ms = quorlith::clock_ms() - start;
    suite_nodes += solver.nodes();
    suite_ms += ms;
    std::printf("   %-12s vcf %-3s (%2d plies)  nodes %9" PRId64 "  ms %5" PRId64 "  nps %9" PRId64 "\n", pos.name,
                plies > 0 ? "yes" : "no", plies, solver.nodes(), ms, per_second(solver.nodes(), ms));
  }
  std::printf("Solver: nodes %" PRId64 "  ms %" PRId64 "  nps %" PRId64 "\n", suite_nodes, suite_ms,
              per_second(suite_nodes, suite_ms));
  if (!timed) std::printf("Plus bench: %" PRId64 "\n", total + suite_nodes);
  return status;
}

}  // namespace

// Fixed depths when --depth is not given: the exact engine's, and the plus
// brain's, about what its tree (whose answers to threats cost no depth)
// reaches in 1 s.
constexpr int DEFAULT_DEPTH = 9;
constexpr int DEFAULT_PLUS_DEPTH = 10;

int main(int argc, char** argv) {
  int depth = 0;
  int64_t budget_ms = -1;
  int repeat = 1;
  bool plus = false;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--plus") == 0) {
      plus = true;
    } else if (std::strcmp(argv[i], "--depth") == 0 && has_value) {
      depth = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--time") == 0 && has_value) {
      budget_ms = std::atoll(argv[++i]);
    } else if (std::strcmp(argv[i], "--repeat") == 0 && has_value) {
      repeat = std::atoi(argv[++i]);
    } else {
      usage();
      return 2;
    }
  }
  if (depth == 0) depth = plus ? DEFAULT_PLUS_DEPTH : DEFAULT_DEPTH;
  if (depth < 2 || repeat < 1 || (budget_ms != -1 && (budget_ms < 1 || budget_ms > INT32_MAX))) {
    usage();
    return 2;
  }
  if (plus) return run_plus(depth, budget_ms, repeat);
  const bool timed = budget_ms >= 0;
  if (timed) depth = quorlith::MAX_PLY - 1;

  std::vector<int64_t> first_pass;
  std::unique_ptr<Engine> reused;
  int status = 0;
  for (int pass = 0; pass < repeat; ++pass) {
    if (timed)
      std::printf("Pass %d: time budget %" PRId64 " ms per position\n", pass + 1, budget_ms);
    else
      std::printf("Pass %d: depth %d\n", pass + 1, depth);
    int64_t total_nodes = 0, total_ms = 0, worst_overrun = INT64_MIN;
    std::vector<int64_t> counts;
    int index = 0;
    for (const BenchPosition& pos : SUITE) {
      ++index;
      std::unique_ptr<Engine> fresh;
      Engine* e;
      if (pass == 0) {
        fresh = std::make_unique<Engine>();
        e = fresh.get();
      } else {
        if (!reused) reused = std::make_unique<Engine>();
        e = reused.get();
      }
      e->start_game(pos.size);
      if (!place_moves(*e, pos.moves)) {
        std::fprintf(stderr, "position %d (%s): bad move list\n", index, pos.name);
        return 2;
      }
      const Result r = search(*e, depth, budget_ms);
      total_nodes += r.nodes;
      total_ms += r.ms;
      counts.push_back(r.nodes);
      std::printf("%2d %-24s nodes %10" PRId32 "  ms %6" PRId64 "  nps %9" PRId64 "  move %2d,%-2d", index,
                  pos.name, r.nodes, r.ms, per_second(r.nodes, r.ms), r.x, r.y);
      if (r.depth_reached > 0)
        std::printf(" value %6" PRId32, r.value);
      else
        std::printf(" value   none");
      if (timed) {
        std::printf("  depth %2d  overrun %3" PRId64 " ms", r.depth_reached, r.overrun_ms);
        worst_overrun = std::max(worst_overrun, r.overrun_ms);
      }
      std::printf("\n");
    }
    if (!finish_pass(pass, timed, total_nodes, total_ms, worst_overrun, "Largest overrun", counts, first_pass))
      status = 1;
    if (!timed && pass + 1 == repeat) std::printf("Bench: %" PRId64 "\n", total_nodes);
  }
  return status;
}
