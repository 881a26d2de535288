// The turn policy: how the engine's move is found at each stage of a game,
// and with which time budget.
//
//   move_number 1      the centre, no search
//   move_number 2      search, 2000 ms
//   move_number 3      a diagonal neighbour of the centre, no search
//   move_number 4..9   search, timeout_turn but at most 15000 ms
//   move_number 10..   search, timeout_turn lowered in place to 11000 ms at
//                      most, and to 1000 ms once time_left < 35000 ms
//
// Two caps keep every budget inside the limits the manager declared: the
// turn limit last sent (INFO timeout_turn or st) when it is above 0, and half
// of time_left when a match limit is declared and time_left has been sent.
#include <algorithm>
#include <array>

#include "engine/evaluation.h"
#include "protocol/front_end.h"

namespace quorlith {

namespace {

// Where the engine's second stone goes when it opened the game: the first of
// these diagonal neighbours of the centre that is empty and worth more than
// a bare point (move score above 1).
//
//    1 . 2
//    . c .
//    3 . 4
constexpr std::array<Square, 4> THIRD_STONE_OFFSETS{{{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}}};

}  // namespace

void FrontEnd::engine_turn() {
  const int32_t n = settings_.move_number;
  if (n == 1) {
    play_centre();
  } else if (n == 3) {
    play_third_move();
  } else {
    searched_move(plan_budget(n));
  }
}

// The first stone: the centre, (7, 7) on 15 x 15 and (10, 10) on 20 x 20.
void FrontEnd::play_centre() {
  const int32_t c = settings_.board_size / 2;
  // move_number 1 means an empty board, so the centre is free; the search
  // stays as a guard all the same.
  if (!settings_.engine->is_open_square(c, c)) {
    searched_move(cap_budget(early_budget()));
    return;
  }
  record_stone(c, c);
  write_move(c, c);
  flush();
}

// The third stone of the game when the engine opened it. After a board block
// none of the four squares may qualify; the move is then searched with the
// budget of stones 4 to 9.
void FrontEnd::play_third_move() {
  const int32_t c = settings_.board_size / 2;
  const Engine& engine = *settings_.engine;
  for (const Square offset : THIRD_STONE_OFFSETS) {
    const int32_t x = c + offset.x;
    const int32_t y = c + offset.y;
    if (!engine.is_open_square(x, y)) continue;
    if (score_move(engine.cells[x + BORDER][y + BORDER]) <= 1) continue;
    record_stone(x, y);
    write_move(x, y);
    flush();
    return;
  }
  searched_move(cap_budget(early_budget()));
}

int32_t FrontEnd::early_budget() const {
  return std::min(settings_.timeout_turn, EARLY_BUDGET_CAP_MS);
}

int32_t FrontEnd::plan_budget(int32_t n) {
  GameSettings& s = settings_;
  if (n == 2) return cap_budget(SECOND_STONE_BUDGET_MS);
  if (n <= 9) return cap_budget(early_budget());
  // From the tenth stone on the setting itself is lowered, and stays so until
  // INFO timeout_turn or st sets it again.
  if (s.timeout_turn > LATE_TURN_CAP_MS) s.timeout_turn = LATE_TURN_CAP_MS;
  if (s.time_left < TIME_TROUBLE_BELOW_MS) s.timeout_turn = TIME_TROUBLE_BUDGET_MS;
  return cap_budget(s.timeout_turn);
}

int32_t FrontEnd::cap_budget(int32_t budget_ms) const {
  const GameSettings& s = settings_;
  // The search would read 0 or less as its default; bound that value too.
  if (budget_ms <= 0) budget_ms = SEARCH_DEFAULT_BUDGET_MS;
  if (s.declared_turn_limit > 0) budget_ms = std::min(budget_ms, s.declared_turn_limit);
  if (s.timeout_match > 0 && s.time_left_sent) {
    // Never 0: the search would take that for its 8000 ms default.
    budget_ms = std::min(budget_ms, std::max(s.time_left / 2, int32_t{1}));
  }
  return budget_ms;
}

// 1. hand the budget to the search; 2. play and count the answer; 3. write
// and flush it; 4. only then restore the depth limit, so a depth set by sd
// governs exactly one searched move.
void FrontEnd::searched_move(int32_t budget_ms) {
  Engine& engine = *settings_.engine;
  engine.time_per_move_ms = budget_ms;
  last_search_ = SearchRequest{budget_ms, engine.max_depth, settings_.move_number};
  ++searches_run_;

  int x = -1;
  int y = -1;
  brain_.before_search(settings_);
  bool found = brain_.find_move(engine, &x, &y);
  if (found && !engine.is_open_square(x, y)) {
    // The search promises an empty cell; should it ever fail, the first free
    // square in row order is still a legal move.
    found = false;
    for (int32_t row = 0; row < settings_.board_size && !found; ++row)
      for (int32_t col = 0; col < settings_.board_size && !found; ++col)
        if (engine.is_open_square(col, row)) {
          x = col;
          y = row;
          found = true;
        }
  }
  if (found) {
    record_stone(x, y);
    write_move(x, y);
    flush();
  } else {
    reply_and_flush("ERROR board is full");
  }
  engine.max_depth = brain_.default_depth_limit();
}

}  // namespace quorlith
