#include "protocol/front_end.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

namespace quorlith {

namespace {

// Reply texts, without their line end.
constexpr std::string_view NOT_STARTED = "ERROR START command must be issued first";
constexpr std::string_view BAD_PARAMETER = "ERROR bad command parameter";
constexpr std::string_view UNKNOWN_COMMAND = "UNKNOWN command";

// Lines kept between commands never hold more than this; a longer buffer is
// released after its command.
constexpr std::size_t KEPT_LINE_CAPACITY = 4096;

[[nodiscard]] bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && match_keyword(a, b).has_value();
}

[[nodiscard]] int32_t saturating_thousandfold(int32_t seconds) {
  const int64_t ms = int64_t{seconds} * 1000;
  return static_cast<int32_t>(std::clamp<int64_t>(ms, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::unique_ptr<Engine> make_engine_on_heap() {
  return std::unique_ptr<Engine>(new (std::nothrow) Engine());
}

FrontEnd::FrontEnd(std::istream& in, std::ostream& out, EngineFactory make_engine,
                   LineEnd line_end, Brain& brain, EngineRecycler recycle_engine)
    : in_(in),
      out_(out),
      make_engine_(make_engine),
      recycle_engine_(recycle_engine),
      line_end_(line_end_text(line_end)),
      brain_(brain) {}

FrontEnd::~FrontEnd() {
  if (recycle_engine_ && settings_.engine) recycle_engine_(std::move(settings_.engine));
}

void FrontEnd::run() {
  while (step() == Step::COMMAND_DONE) {
  }
}

FrontEnd::Step FrontEnd::step() {
  const LineStatus status = read_line(*in_.rdbuf(), line_);
  if (status == LineStatus::END_OF_INPUT) return Step::END_OF_INPUT;
  Step next = Step::COMMAND_DONE;
  if (status == LineStatus::OVERLONG) {
    reply_and_flush(UNKNOWN_COMMAND);  // an overlong line matches no keyword
  } else {
    next = dispatch_command(line_);
  }
  if (line_.capacity() > KEPT_LINE_CAPACITY) std::string().swap(line_);
  return next;
}

// The keywords are tried in this order and the first match decides: "start"
// before "st", so every line beginning with "start" is START and every other
// line beginning with "st" (even "stop") is st. RESTART, TAKEBACK and
// RECTSTART come after all the others, so no line that an older keyword
// matches changes meaning.
FrontEnd::Step FrontEnd::dispatch_command(std::string_view line) {
  const bool in_game = settings_.board_size != 0;
  if (auto rest = match_keyword("info", line)) {
    command_info(*rest);
  } else if (auto rest = match_keyword("start", line)) {
    start_new_game(read_number(*rest));
    flush();
  } else if (auto rest = match_keyword("st", line)) {
    command_st(*rest);
  } else if (auto rest = match_keyword("sd", line)) {
    command_sd(*rest);
  } else if (auto rest = match_keyword("turn", line)) {
    if (!in_game) {
      not_started();
    } else if (const auto square = parse_free_square(*rest)) {
      record_stone(square->x, square->y);
      engine_turn();
    }
  } else if (auto rest = match_keyword("play", line)) {
    if (!in_game) {
      not_started();
    } else if (const auto square = parse_free_square(*rest)) {
      play_and_echo(square->x, square->y);
    }
  } else if (match_keyword("begin", line)) {
    if (!in_game) {
      not_started();
    } else {
      engine_turn();
    }
  } else if (match_keyword("about", line)) {
    reply_and_flush(brain_.about());
  } else if (match_keyword("end", line)) {
    return Step::END;
  } else if (match_keyword("board", line)) {
    if (!in_game) {
      // The board lines that follow are then read as commands of their own.
      not_started();
    } else {
      return command_board();
    }
  } else if (match_keyword("restart", line)) {
    command_restart();
  } else if (auto rest = match_keyword("takeback", line)) {
    command_takeback(*rest);
  } else if (auto rest = match_keyword("rectstart", line)) {
    command_rectstart(*rest);
  } else {
    reply_and_flush(UNKNOWN_COMMAND);
  }
  return Step::COMMAND_DONE;
}

// Each key only has to begin the text; no key begins another, so at most one
// applies. Unknown keys (folder, ...) are ignored without a reply, and so is
// rule by a brain that plays freestyle alone.
void FrontEnd::command_info(std::string_view rest) {
  GameSettings& s = settings_;
  if (auto value = match_keyword("rule", rest); value && brain_.plays_other_rules()) {
    const int32_t n = read_number(*value);
    if (const auto rule = rule_from_info(n)) {
      brain_.set_rule(*rule);
    } else {
      char text[160];
      const int length = std::snprintf(text, sizeof text,
                                       "MESSAGE rule %d is not played here; rules played: 0 (five or more), "
                                       "1 (exactly five), 4 (renju); the game stays at rule %d",
                                       static_cast<int>(n), static_cast<int>(brain_.rule()));
      reply_and_flush(std::string_view(text, static_cast<std::size_t>(length)));
    }
  }
  if (auto value = match_keyword("max_memory", rest)) {
    s.max_memory = read_number(*value);
    // Between moves, so that a brain sizes its tables outside any move's time.
    brain_.memory_limit_changed(s.max_memory);
  }
  if (auto value = match_keyword("timeout_match", rest)) s.timeout_match = read_number(*value);
  if (auto value = match_keyword("timeout_turn", rest)) {
    s.timeout_turn = read_number(*value);
    s.declared_turn_limit = s.timeout_turn;
  }
  if (auto value = match_keyword("time_left", rest)) {
    s.time_left = read_number(*value);
    s.time_left_sent = true;
  }
}

// The replies of st and sd are not flushed: they reach the reader with the
// next flushed reply.
void FrontEnd::command_st(std::string_view rest) {
  GameSettings& s = settings_;
  s.st_seconds = read_number(rest);
  if (s.st_seconds < 1) {
    reply("Please Set Correct Time!");
    return;
  }
  s.timeout_turn = saturating_thousandfold(s.st_seconds);
  s.declared_turn_limit = s.timeout_turn;
  char text[64];
  const int length = std::snprintf(text, sizeof text, "Set Time to %3.2fs.",
                                   static_cast<double>(s.st_seconds));
  reply(std::string_view(text, static_cast<std::size_t>(length)));
}

void FrontEnd::command_sd(std::string_view rest) {
  GameSettings& s = settings_;
  s.sd_depth = read_number(rest);
  if (s.sd_depth < 1) {
    reply("Please Set Correct Depth!");
    return;
  }
  if (!s.engine) {
    reply("ZEM Engine Not Initialized!");
    return;
  }
  // The principal variation has MAX_PLY rows, so deeper requests are
  // clamped, and the reply names the depth that will be searched.
  s.sd_depth = std::min(s.sd_depth, MAX_SD_DEPTH);
  s.engine->max_depth = s.sd_depth;
  char text[48];
  const int length = std::snprintf(text, sizeof text, "Set Depth to %d.", s.sd_depth);
  reply(std::string_view(text, static_cast<std::size_t>(length)));
}

// Board lines are "x,y,who" up to a line that is exactly "done" (any case).
// Every valid line places the next stone of the game whatever its who, so the
// lines must come in play order. A line that is not valid is skipped without
// a reply; so is a square that already holds a stone, which lets a manager
// send the whole position again before every move: the stones already on the
// board are passed over and only the new ones are placed.
FrontEnd::Step FrontEnd::command_board() {
  // A buffer of its own: line_ still holds the BOARD line being carried out.
  std::string text;
  for (;;) {
    const LineStatus status = read_line(*in_.rdbuf(), text);
    if (status == LineStatus::END_OF_INPUT) return Step::END_OF_INPUT;
    if (status == LineStatus::OVERLONG) continue;
    if (const auto board_line = parse_board_line(text, settings_.board_size)) {
      const Square sq = board_line->square;
      if (settings_.engine->is_open_square(sq.x, sq.y)) record_stone(sq.x, sq.y);
    }
    if (equals_ignoring_case("done", text)) break;
  }
  engine_turn();
  return Step::COMMAND_DONE;
}

// RESTART: a new game on the board of the game in progress, exactly as
// START with its size.
void FrontEnd::command_restart() {
  if (settings_.board_size == 0) {
    not_started();
    return;
  }
  start_new_game(settings_.board_size);
  flush();
}

// TAKEBACK x,y: takes back the last stone of the game when it stands on x,y
// (a board program's Undo button). Any other square, or no stone at all,
// is a bad parameter and changes nothing.
void FrontEnd::command_takeback(std::string_view rest) {
  if (settings_.board_size == 0) {
    not_started();
    return;
  }
  Engine& engine = *settings_.engine;
  const auto square = parse_move(rest, settings_.board_size);
  const bool is_last_stone = square && engine.move_count > 0 &&
                             engine.move_history[engine.move_count - 1].x == square->x + BORDER &&
                             engine.move_history[engine.move_count - 1].y == square->y + BORDER;
  if (!is_last_stone) {
    reply_and_flush(BAD_PARAMETER);
    return;
  }
  engine.undo_stone();
  --settings_.move_number;
  reply_and_flush("OK");
}

// RECTSTART w,h: only square boards exist here, so w equal to h is START w
// with all its replies; any other shape is refused by name and changes
// nothing.
void FrontEnd::command_rectstart(std::string_view rest) {
  const auto shape = parse_board_shape(rest);
  if (!shape) {
    reply_and_flush(BAD_PARAMETER);
    return;
  }
  if (shape->width != shape->height) {
    char text[96];
    const int length =
        std::snprintf(text, sizeof text,
                      "ERROR rectangular boards are not supported, only square boards from %d to %d",
                      MIN_BOARD_SIZE, MAX_BOARD_SIZE);
    reply_and_flush(std::string_view(text, static_cast<std::size_t>(length)));
    return;
  }
  start_new_game(shape->width);
  flush();
}

std::optional<Square> FrontEnd::parse_free_square(std::string_view rest) {
  const auto square = parse_move(rest, settings_.board_size);
  if (!square || !settings_.engine->is_open_square(square->x, square->y)) {
    reply_and_flush(BAD_PARAMETER);
    return std::nullopt;
  }
  return square;
}

// START n. Sizes the protocol refuses, and sizes beyond this engine's grid,
// change nothing, a game in progress included. Otherwise the old engine goes
// before the new one is made, so two never live at once.
void FrontEnd::start_new_game(int32_t n) {
  GameSettings& s = settings_;
  if (n < MIN_BOARD_SIZE) {
    reply("Na tomhle nejde hrat!");
    return;
  }
  if (n > PROTOCOL_MAX_BOARD_SIZE || n > MAX_BOARD_SIZE) {
    const int32_t limit = n > PROTOCOL_MAX_BOARD_SIZE ? PROTOCOL_MAX_BOARD_SIZE : MAX_BOARD_SIZE;
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "Moc velka plocha, podporuji max %d policek!", limit);
    reply(std::string_view(text, static_cast<std::size_t>(length)));
    return;
  }
  s.move_number = 1;
  if (recycle_engine_ && s.engine) recycle_engine_(std::move(s.engine));
  s.engine.reset();
  s.board_size = 0;
  s.engine = make_engine_();
  if (!s.engine) {
    reply("ZEM Engine Load Error!");
    return;
  }
  s.engine->start_game(n);
  brain_.new_game();
  s.engine->max_depth = brain_.default_depth_limit();
  s.engine->time_per_move_ms = START_TIME_PER_MOVE_MS;
  s.board_size = n;
  reply("OK");
}

// Callers guarantee an empty board square.
void FrontEnd::record_stone(int32_t x, int32_t y) {
  settings_.engine->place_stone(x, y);
  ++settings_.move_number;
}

void FrontEnd::play_and_echo(int32_t x, int32_t y) {
  record_stone(x, y);
  write_move(x, y);
  flush();
}

void FrontEnd::reply(std::string_view text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  out_.write(line_end_.data(), static_cast<std::streamsize>(line_end_.size()));
}

void FrontEnd::reply_and_flush(std::string_view text) {
  reply(text);
  flush();
}

void FrontEnd::write_move(int32_t x, int32_t y) {
  char text[32];
  char* end = std::to_chars(text, text + 12, x).ptr;
  *end++ = ',';
  end = std::to_chars(end, end + 12, y).ptr;
  reply(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void FrontEnd::not_started() { reply_and_flush(NOT_STARTED); }

// A reader that has gone away leaves the stream failed; replies are then
// dropped and the commands still run to the end of input.
void FrontEnd::flush() { out_.flush(); }

}  // namespace quorlith
