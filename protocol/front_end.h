// The protocol front end: reads command lines, keeps the settings, drives the
// engine and writes every reply. It talks only to the two streams it is
// given, so main wires it to standard input and output and tests drive it
// in-process. Every reply line ends with the line end it is given: this
// system's own unless told otherwise.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/platform.h"
#include "protocol/brain.h"
#include "protocol/parse.h"
#include "protocol/settings.h"

namespace quorlith {

// Constants of the turn policy, in milliseconds unless stated.
constexpr int32_t SECOND_STONE_BUDGET_MS = 2000;  // move_number 2
constexpr int32_t EARLY_BUDGET_CAP_MS = 15000;    // move_number 4 to 9
constexpr int32_t LATE_TURN_CAP_MS = 11000;       // move_number 10 and on
constexpr int32_t TIME_TROUBLE_BELOW_MS = 35000;  // time_left below this
constexpr int32_t TIME_TROUBLE_BUDGET_MS = 1000;
// The exact brain's max_depth after START and after a search (a brain's
// default_depth_limit).
constexpr int32_t SEARCH_DEPTH_AFTER_MOVE = 15;
constexpr int32_t START_MAX_DEPTH = 15;
constexpr int32_t START_TIME_PER_MOVE_MS = 5000;  // set by START
// What the search does with a budget of 0 or less; the front end applies it
// itself so that the caps below also bound it.
constexpr int32_t SEARCH_DEFAULT_BUDGET_MS = 8000;
// START sizes: below MIN is refused as unplayable, above PROTOCOL_MAX as too
// large by the protocol's own limit, above MAX_BOARD_SIZE (the engine's
// grid) as too large for this engine.
constexpr int32_t PROTOCOL_MAX_BOARD_SIZE = 100;
// Deepest search sd accepts: pv has MAX_PLY rows.
constexpr int32_t MAX_SD_DEPTH = MAX_PLY - 1;

// Makes the engine for a new game; nullptr when it cannot be made.
using EngineFactory = std::unique_ptr<Engine> (*)();
std::unique_ptr<Engine> make_engine_on_heap();
// Takes an engine the front end is done with (a new game replaced it, or
// the front end ends) in place of freeing it, so that a caller running
// many sessions in one process can hand it out again from its factory
// instead of making 17 MB afresh each time. Every game starts its engine
// with start_game, which sets everything a game and a search read.
using EngineRecycler = void (*)(std::unique_ptr<Engine> engine);

// What the last search was asked to do: recorded just before find_best_move
// runs, so the budget of every stage can be checked without a clock.
struct SearchRequest {
  int32_t budget_ms = 0;
  int32_t max_depth = 0;
  int32_t move_number = 0;
};

class FrontEnd {
 public:
  // The brain names the engine in ABOUT and finds its searched moves; it
  // must outlive the front end.
  FrontEnd(std::istream& in, std::ostream& out, EngineFactory make_engine = make_engine_on_heap,
           LineEnd line_end = native_line_end(), Brain& brain = exact_brain(),
           EngineRecycler recycle_engine = nullptr);
  ~FrontEnd();
  FrontEnd(const FrontEnd&) = delete;
  FrontEnd& operator=(const FrontEnd&) = delete;

  enum class Step {
    COMMAND_DONE,  // a line was read and carried out
    END,           // END was read
    END_OF_INPUT,  // input ended, also inside a board block
  };

  // The main loop: reads and carries out commands until END or end of input.
  void run();
  // Reads and carries out one command line; anything but COMMAND_DONE means
  // the process should end.
  Step step();

  [[nodiscard]] const GameSettings& settings() const { return settings_; }
  // The engine of the current game, or nullptr.
  [[nodiscard]] const Engine* engine() const { return settings_.engine.get(); }
  // The request of the most recent search; searches_run() counts them.
  [[nodiscard]] const SearchRequest& last_search() const { return last_search_; }
  [[nodiscard]] int searches_run() const { return searches_run_; }

 private:
  Step dispatch_command(std::string_view line);
  void command_info(std::string_view rest);
  void command_st(std::string_view rest);
  void command_sd(std::string_view rest);
  Step command_board();
  // The commands that board programs send beyond the tournament set; tried
  // only after every other keyword.
  void command_restart();
  void command_takeback(std::string_view rest);
  void command_rectstart(std::string_view rest);
  // Parses a TURN or PLAY argument; a bad or occupied square is answered and
  // gives nothing.
  std::optional<Square> parse_free_square(std::string_view rest);

  void start_new_game(int32_t n);
  void record_stone(int32_t x, int32_t y);
  void play_and_echo(int32_t x, int32_t y);

  // The turn policy: finds, plays and prints the engine's move.
  void engine_turn();
  void play_centre();
  void play_third_move();
  // Budget of a searched move at move_number n; from the tenth stone on it
  // lowers timeout_turn in place.
  int32_t plan_budget(int32_t n);
  // The budget of stones 4 to 9.
  int32_t early_budget() const;
  // Caps a budget at the declared turn limit and at half the match clock.
  int32_t cap_budget(int32_t budget_ms) const;
  void searched_move(int32_t budget_ms);

  // One reply line: text (without a line end), then the line end.
  void reply(std::string_view text);
  void reply_and_flush(std::string_view text);
  void write_move(int32_t x, int32_t y);
  void not_started();
  void flush();

  std::istream& in_;
  std::ostream& out_;
  EngineFactory make_engine_;
  EngineRecycler recycle_engine_;
  std::string_view line_end_;
  Brain& brain_;
  GameSettings settings_;
  std::string line_;
  SearchRequest last_search_;
  int searches_run_ = 0;
};

}  // namespace quorlith
