// Fuzz target: stone sequences on any board size through make_move and
// undo_stone. After every stone and every undo the kept state must equal a
// recomputation from the stones; the threat check, the candidates and a
// short search must leave the position exactly as they found it, and every
// candidate and every answer must be an empty board cell.
//
// Input: the first byte picks the size (5 to 32); then byte pairs. A pair
// whose first byte is 255 takes the last stone back; any other pair names
// square (a mod size, b mod size), skipped when it already holds a stone.
// The last byte, if there is an odd one, picks the search depth (1 to 3).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "tests/fuzz/fuzz_check.h"

namespace quorlith::fuzz {
namespace {

constexpr uint8_t UNDO = 255;

struct Fingerprint {
  int32_t move_count;
  int32_t side_to_move;
  uint32_t hash_index;
  uint32_t hash_check1;
  uint32_t hash_check2;
  Point box_min;
  Point box_max;
  int32_t rating_count[2][9];

  bool operator==(const Fingerprint& other) const {
    if (move_count != other.move_count || side_to_move != other.side_to_move ||
        hash_index != other.hash_index || hash_check1 != other.hash_check1 ||
        hash_check2 != other.hash_check2 || !(box_min == other.box_min) ||
        !(box_max == other.box_max))
      return false;
    for (int s = 0; s < 2; ++s)
      for (int r = 0; r < 9; ++r)
        if (rating_count[s][r] != other.rating_count[s][r]) return false;
    return true;
  }
};

Fingerprint fingerprint(const Engine& e) {
  Fingerprint f{e.move_count, e.side_to_move, e.hash_index, e.hash_check1, e.hash_check2,
                e.box_min,    e.box_max,      {}};
  for (int s = 0; s < 2; ++s)
    for (int r = 0; r < 9; ++r) f.rating_count[s][r] = e.rating_count[s][r];
  return f;
}

bool is_empty_board_cell(const Engine& e, int x, int y) {
  return e.is_open_square(x - BORDER, y - BORDER);
}

void check_consistent(const Engine& e, const char* after) {
  const std::string fault = e.verify();
  require(fault.empty(), after, fault);
}

// The threat check, the candidate list and one root search of the given
// depth with no deadline in reach: each must leave the position unchanged.
void search_position(Engine& e, int depth) {
  const Fingerprint before = fingerprint(e);

  e.threat_check();
  require(fingerprint(e) == before, "threat_check changed the position");

  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  e.generate_candidates(list, count);
  require(count >= 0 && count <= MAX_CANDIDATES, "candidate count out of range");
  for (int i = 0; i < count; ++i)
    require(is_empty_board_cell(e, list[i].x, list[i].y), "candidate on no empty cell");

  e.clear_search_without_deadline();
  const ScoredMove best = e.alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
  require(fingerprint(e) == before, "alpha_beta changed the position");
  if (best.x != 0) require(is_empty_board_cell(e, best.x, best.y), "search answered a stone");
  check_consistent(e, "after the search:");

  // A deepening search on a 1 ms budget must still name an empty cell,
  // unless the board is full.
  e.time_per_move_ms = 1;
  e.max_depth = 15;
  int x = -1, y = -1;
  const bool answered = e.find_best_move(&x, &y);
  require(answered == (e.move_count < e.size * e.size), "find_best_move on a full board");
  if (answered) require(e.is_open_square(x, y), "find_best_move answered no empty cell");
  require(fingerprint(e) == before, "find_best_move changed the position");
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
    check_consistent(e, "after place_stone:");
  }
  const int depth = i < size ? 1 + data[i] % 3 : 1;
  search_position(e, depth);
}

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quorlith::fuzz::run_stones(data, size);
  return 0;
}
