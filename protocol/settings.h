// The front end's game-level settings: one record for the life of the
// process.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/engine.h"

namespace quorlith {

struct GameSettings {
  // Side length of the current board; 0 = no game in progress. Non-zero only
  // while engine exists, so "a game is in progress" is board_size != 0.
  int32_t board_size = 0;
  // The one engine; every accepted START replaces it by a fresh one.
  std::unique_ptr<Engine> engine;
  // INFO values, kept from game to game until sent again.
  int32_t max_memory = 0;     // stored only
  int32_t timeout_match = 0;  // > 0: the manager limits the whole match
  // Milliseconds for one move. Set by INFO timeout_turn and st; the turn
  // policy lowers it in place from the tenth stone on.
  int32_t timeout_turn = 0;
  int32_t time_left = 0;  // milliseconds left for the rest of the match
  // The turn limit the manager (or st) last declared. Unlike timeout_turn the
  // turn policy never lowers it: it is the ceiling no search budget may pass.
  // 0 or less: no declared limit.
  int32_t declared_turn_limit = 0;
  // Whether INFO time_left has been sent at all; only then does the match
  // clock cap the budget.
  bool time_left_sent = false;
  int32_t st_seconds = 0;  // last argument of st
  int32_t sd_depth = 0;    // last argument of sd (63 at most once accepted)
  // 1 + stones placed since the last accepted START.
  int32_t move_number = 0;
};

}  // namespace quorlith
