// Micro-benchmarks of the board's inner loop: a make_move + undo_stone pair,
// score_move and evaluate on a 15x15 middlegame, the table building, and
// renju's forbidden-point check.
// Not part of the tests. Run with --benchmark_repetitions=N and read the
// medians.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "engine/forbidden.h"
#include "engine/position.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"
#include "search/scan.h"

namespace {

using namespace quorlith;

// Twenty stones around the centre of a 15x15 board, protocol coordinates,
// alternating from side 0.
constexpr int MIDDLEGAME[][2] = {{7, 7},  {8, 8},  {8, 6},  {6, 8},  {9, 7},  {7, 9},  {6, 6},
                                 {9, 9},  {10, 8}, {5, 7},  {7, 5},  {8, 10}, {10, 6}, {6, 10},
                                 {9, 5},  {11, 9}, {5, 5},  {4, 4},  {11, 7}, {10, 10}};

std::unique_ptr<Engine> middlegame() {
  auto engine = std::make_unique<Engine>();
  engine->start_game(15);
  for (const auto& [x, y] : MIDDLEGAME) engine->place_stone(x, y);
  return engine;
}

// The cells the search would try: every neighbour cell of the box.
std::vector<Point> neighbour_cells(Engine& e) {
  std::vector<Point> cells;
  scan_neighbour_cells(e, [&](int x, int y, const Cell&) {
    cells.push_back(Point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)});
    return false;
  });
  return cells;
}

// One make_move + undo_stone pair per iteration, cycling over the
// neighbour cells so that no single cell's geometry dominates.
void BM_MakeUndoPair(benchmark::State& state) {
  auto engine = middlegame();
  Engine& e = *engine;
  const std::vector<Point> moves = neighbour_cells(e);
  std::size_t i = 0;
  for (auto _ : state) {
    const Point p = moves[i];
    e.make_move(p.x, p.y);
    e.undo_stone();
    benchmark::ClobberMemory();
    if (++i == moves.size()) i = 0;
  }
  state.counters["cells"] = static_cast<double>(moves.size());
}
BENCHMARK(BM_MakeUndoPair);

void BM_ScoreMove(benchmark::State& state) {
  auto engine = middlegame();
  Engine& e = *engine;
  const std::vector<Point> moves = neighbour_cells(e);
  std::size_t i = 0;
  for (auto _ : state) {
    const Point p = moves[i];
    benchmark::DoNotOptimize(score_move(e.cells[p.x][p.y]));
    if (++i == moves.size()) i = 0;
  }
}
BENCHMARK(BM_ScoreMove);

void BM_Evaluate(benchmark::State& state) {
  auto engine = middlegame();
  Engine& e = *engine;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e.evaluate());
    benchmark::ClobberMemory();
  }
  state.counters["stones"] = e.move_count;
}
BENCHMARK(BM_Evaluate);

// Running every line rule over all 65,536 indices: what the build-time
// generator does. The memo of span classes is process-wide, so only the
// first run pays for the recursive classification; main times that first
// run on its own and prints it in the context block.
void BM_GenerateTables(benchmark::State& state) {
  auto tables = std::make_unique<GeneratedTables>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(generate_tables(*tables));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GenerateTables)->Unit(benchmark::kMillisecond);

// The derived tables that every start_game rebuilds.
void BM_BuildPatternTables(benchmark::State& state) {
  for (auto _ : state) {
    build_pattern_tables();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BuildPatternTables)->Unit(benchmark::kMicrosecond);

// Renju's forbidden-point check for black, one empty cell per iteration,
// over random crowded corners of a board (a fifth to two fifths black, a
// few white stones): overlines, double fours, threes and the recursion
// into their straight fours are all common there, far more than in games.
// Items per second: cells judged.
void BM_ForbiddenCheck(benchmark::State& state) {
  std::mt19937 random(20);
  std::vector<std::unique_ptr<Position>> boards;
  std::vector<std::pair<int, int>> cells;  // (board, cell)
  for (int b = 0; b < 16; ++b) {
    auto pos = std::make_unique<Position>();
    pos->start(15, Rule::RENJU);
    const int black_pct = 20 + static_cast<int>(random() % 20);
    for (int y = 1; y < 14; ++y)
      for (int x = 1; x < 14; ++x) {
        if (static_cast<int>(random() % 100) >= black_pct) continue;
        // A white stone now and then, so that the stones can alternate.
        if (pos->side_to_move() == WHITE) {
          int w;
          do w = Position::cell_of(static_cast<int>(random() % 15), static_cast<int>(random() % 15));
          while (!pos->is_empty(w) || w == Position::cell_of(x, y));
          pos->make_move(w);
        }
        if (pos->is_empty(Position::cell_of(x, y))) pos->make_move(Position::cell_of(x, y));
      }
    for (int cell = 0; cell < Position::CELL_COUNT; ++cell)
      if (pos->is_empty(cell)) cells.emplace_back(b, cell);
    boards.push_back(std::move(pos));
  }
  std::size_t i = 0;
  int forbidden = 0;
  for (auto _ : state) {
    const auto [b, cell] = cells[i];
    forbidden += is_forbidden(*boards[static_cast<std::size_t>(b)], cell) ? 1 : 0;
    if (++i == cells.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["cells"] = static_cast<double>(cells.size());
  state.counters["forbidden_share"] = static_cast<double>(forbidden) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ForbiddenCheck);

}  // namespace

// Milliseconds of the first generate_tables call of the process, the one
// that classifies every span from nothing.
double cold_generation_ms() {
  auto tables = std::make_unique<GeneratedTables>();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = generate_tables(*tables);
  const auto stop = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(ok);
  return std::chrono::duration<double, std::milli>(stop - start).count();
}

int main(int argc, char** argv) {
  benchmark::AddCustomContext("generate_tables first call (ms)", std::to_string(cold_generation_ms()));
  benchmark::AddCustomContext("sizeof(Engine)", std::to_string(sizeof(Engine)));
  // The plus board's line and combo tables, built once per process per rule.
  for (const auto& [name, rule] : {std::pair{"freestyle", Rule::FREESTYLE}, std::pair{"exactly five", Rule::STANDARD},
                                   std::pair{"renju", Rule::RENJU}})
    benchmark::AddCustomContext(std::string("line_tables ") + name + " build (ms)",
                                std::to_string(line_tables(rule).build_ms));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
