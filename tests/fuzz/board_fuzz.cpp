// Fuzz target: stone sequences on any board size through make_move and
// undo_stone. After every undo, every one of the first 16 stones and every
// 8th stone after them, and at the end, the kept state must equal a
// recomputation from the stones (a recount costs as much as a few hundred
// stones, and a state gone wrong stays wrong until it is checked); the threat check, the candidates and a
// short search must leave the position exactly as they found it, and every
// candidate and every answer must be an empty board cell.
//
// Input: the first byte picks the size (5 to 32); then byte pairs. A pair
// whose first byte is 255 takes the last stone back; any other pair names
// square (a mod size, b mod size), skipped when it already holds a stone.
// The last byte, if there is an odd one, picks the search depth (1 to 3)
// and, with its high bit, a deepening search on a 1 ms budget besides
// (which costs a millisecond or more: a run keeps most inputs fast).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "tests/common/game_state.h"
#include "tests/fuzz/fuzz_check.h"

namespace quorlith::fuzz {
namespace {

constexpr uint8_t UNDO = 255;

using test_support::GameState;

bool is_empty_board_cell(const Engine& e, int x, int y) {
  return e.is_open_square(x - BORDER, y - BORDER);
}

void check_consistent(const Engine& e, const char* after) {
  const std::string fault = e.verify();
  require(fault.empty(), after, fault);
}

// The threat check, the candidate list and one root search of the given
// depth with no deadline in reach, and when asked a deepening search under
// the clock: each must leave the position unchanged.
void search_position(Engine& e, int depth, bool deepening) {
  const GameState before(e);

  e.threat_check();
  require(GameState(e) == before, "threat_check changed the position");

  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  e.generate_candidates(list, count);
  require(count >= 0 && count <= MAX_CANDIDATES, "candidate count out of range");
  for (int i = 0; i < count; ++i)
    require(is_empty_board_cell(e, list[i].x, list[i].y), "candidate on no empty cell");

  e.clear_search_without_deadline();
  const ScoredMove best = e.alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
  require(GameState(e) == before, "alpha_beta changed the position");
  if (best.x != 0) require(is_empty_board_cell(e, best.x, best.y), "search answered a stone");
  check_consistent(e, "after the search:");
  if (!deepening) return;

  // A deepening search on a 1 ms budget must still name an empty cell,
  // unless the board is full.
  e.time_per_move_ms = 1;
  e.max_depth = 15;
  int x = -1, y = -1;
  const bool answered = e.find_best_move(&x, &y);
  require(answered == (e.move_count < e.size * e.size), "find_best_move on a full board");
  if (answered) require(e.is_open_square(x, y), "find_best_move answered no empty cell");
  require(GameState(e) == before, "find_best_move changed the position");
}

void run_stones(const uint8_t* data, std::size_t size) {
  if (size == 0) return;
  // One engine for the whole run: it is 17 MB, and start_game resets it.
  static const std::unique_ptr<Engine> engine(new Engine());
  Engine& e = *engine;
  const int n = MIN_BOARD_SIZE + data[0] % (MAX_BOARD_SIZE - MIN_BOARD_SIZE + 1);
  e.start_game(n);

  std::size_t i = 1;
  for (; i + 1 < size; i += 2) {
    if (data[i] == UNDO) {
      if (e.move_count == 0) continue;
      e.undo_stone();
      check_consistent(e, "after undo_stone:");
      continue;
    }
    const int x = data[i] % n;
    const int y = data[i + 1] % n;
    if (!e.is_open_square(x, y)) continue;
    e.place_stone(x, y);
    if (e.move_count <= 16 || e.move_count % 8 == 0) check_consistent(e, "after place_stone:");
  }
  check_consistent(e, "after the stones:");
  const int depth = i < size ? 1 + (data[i] & 0x7f) % 3 : 1;
  search_position(e, depth, i < size && (data[i] & 0x80) != 0);
}

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quorlith::fuzz::run_stones(data, size);
  return 0;
}
