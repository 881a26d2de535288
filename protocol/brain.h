// The brains the front end can run. A brain is what ABOUT names and how a
// searched move is found; everything else (commands, replies, the turn
// policy and its budgets, the opening stones) is the front end's and the
// same for every brain.
#pragma once

#include <memory>
#include <string_view>

#include "engine/engine.h"
#include "patterns/rules.h"
#include "protocol/settings.h"

namespace quorlith {

class Brain {
 public:
  virtual ~Brain() = default;
  // The ABOUT reply, without its line end.
  [[nodiscard]] virtual std::string_view about() const = 0;
  // A new game has started on a fresh engine.
  virtual void new_game() {}
  // The depth limit of a search that no sd command limited: set at START
  // and again after every searched move. The exact brain's 15 is part of
  // its specified behaviour; the plus brain, whose tree goes much deeper in
  // the same time, is limited only by the deepest line it can hold.
  [[nodiscard]] virtual int32_t default_depth_limit() const { return 15; }
  // INFO max_memory was read (bytes; 0: no limit), between moves.
  virtual void memory_limit_changed(int32_t max_memory) { (void)max_memory; }
  // The settings as they stand just before a searched move (the match
  // clock, the memory limit); the exact brain reads none of them.
  virtual void before_search(const GameSettings& settings) { (void)settings; }
  // INFO rule. A brain that plays freestyle alone ignores the key; one
  // that plays other rules takes the value's rule (rule_from_info), or
  // keeps its rule when it does not play that one, and the front end says
  // so in one MESSAGE line.
  [[nodiscard]] virtual bool plays_other_rules() const { return false; }
  [[nodiscard]] virtual Rule rule() const { return Rule::FREESTYLE; }
  virtual void set_rule(Rule rule) { (void)rule; }
  // The move to play under the engine's time_per_move_ms and max_depth, in
  // protocol coordinates; the stone is not placed. False only when the
  // board has no empty cell. observer, when given, is told about each
  // iteration of the search that ran to its end, between iterations, on the
  // searching thread; it never changes what the search does.
  virtual bool find_move(Engine& engine, int* x_out, int* y_out,
                         SearchObserver* observer = nullptr) = 0;
};

// pbrain-quorlith: the exact engine's iterative deepening.
Brain& exact_brain();
// pbrain-quorlith-plus: a search of its own on a board of its own.
std::unique_ptr<Brain> make_plus_brain();

}  // namespace quorlith
