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
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/engine.h"

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
  std::fprintf(stderr, "usage: quorlith-bench [--depth D] [--time MS] [--repeat K]\n");
}

}  // namespace

int main(int argc, char** argv) {
  int depth = 9;
  int64_t budget_ms = -1;
  int repeat = 1;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--depth") == 0 && has_value) {
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
  if (depth < 2 || repeat < 1 || (budget_ms != -1 && (budget_ms < 1 || budget_ms > INT32_MAX))) {
    usage();
    return 2;
  }
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
    std::printf("Total nodes %" PRId64 "  ms %" PRId64 "  nps %" PRId64 "\n", total_nodes, total_ms,
                per_second(total_nodes, total_ms));
    if (timed) std::printf("Largest overrun: %" PRId64 " ms\n", worst_overrun);
    if (!timed && pass > 0 && counts != first_pass) {
      std::printf("Pass %d differs from pass 1: stale search state\n", pass + 1);
      status = 1;
    }
    if (pass == 0) first_pass = counts;
    if (!timed && pass + 1 == repeat) std::printf("Bench: %" PRId64 "\n", total_nodes);
  }
  return status;
}
