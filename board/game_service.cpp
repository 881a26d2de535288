#include "board/game_service.h"

#include <algorithm>
#include <new>
#include <utility>

#include "engine/forbidden.h"
#include "engine/position.h"
#include "patterns/tables.h"

namespace quorlith::board {

namespace {

using Clock = std::chrono::steady_clock;

int64_t ms_since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string square_text(Square s) { return std::to_string(s.x) + "," + std::to_string(s.y); }

Reply no_game(GameId id) { return Reply{Refusal::NOT_FOUND, "no game " + std::to_string(id), {}, false}; }

Reply conflict(std::string error) { return Reply{Refusal::CONFLICT, std::move(error), {}, false}; }

// The brain of a new game: the exact engine's is one for all (it keeps
// nothing between moves), the plus brain's is the game's own.
std::unique_ptr<Brain> own_brain(BrainKind kind) {
  return kind == BrainKind::PLUS ? make_plus_brain() : nullptr;
}

bool on_board(Square s, int size) { return s.x >= 0 && s.y >= 0 && s.x < size && s.y < size; }

const char* forbidden_name(Forbidden kind) {
  switch (kind) {
    case Forbidden::OVERLINE: return "an overline";
    case Forbidden::DOUBLE_FOUR: return "a double four";
    case Forbidden::DOUBLE_THREE: return "a double three";
    case Forbidden::NONE: break;
  }
  return "allowed";
}

// Why black may not play s in renju, as the refusal says it.
std::string forbidden_text(Square s, Forbidden kind) {
  return "square " + square_text(s) + " is forbidden to black in renju (" + forbidden_name(kind) + ")";
}

std::vector<Square> line_of(const Engine::PvMove* moves, int count) {
  std::vector<Square> line;
  line.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) line.push_back(Square{moves[i].x, moves[i].y});
  return line;
}

std::vector<Square> root_line_of(const Engine& e) {
  Engine::PvMove moves[MAX_PLY];
  return line_of(moves, root_line(e, moves));
}

// A square of the current position that is empty, as a move (engine cells
// (0, 0) mean none).
std::optional<Square> open_square(const Engine& e, int engine_x, int engine_y) {
  const Square s{engine_x - BORDER, engine_y - BORDER};
  if (!e.is_open_square(s.x, s.y)) return std::nullopt;
  return s;
}

// True when the root of the position has exactly one candidate and no five
// of its own: the search then answers without searching (see SearchSummary).
// Trial stones of the threat check are taken back; nothing else changes.
bool single_reply(Engine& e) {
  if (e.threat_check() == 1) return false;
  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  e.generate_candidates(list, count);
  return count == 1;
}

// The search that quorlith-inspect runs for --depth: a fresh transposition
// table, the search state cleared, one root call at the full window. The
// service's limit is armed after the clearing; until it passes, the search
// is exactly the tool's.
struct FixedResult {
  ScoredMove root;
  bool finished;
};
FixedResult fixed_depth_search(Engine& e, int depth) {
  std::fill(std::begin(e.transposition_table), std::end(e.transposition_table), HashEntry{});
  e.clear_search_without_deadline();
  e.deadline_ms = clock_ms() + FIXED_DEPTH_LIMIT_MS;
  const ScoredMove root = e.alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
  return FixedResult{root, !e.stop};
}

}  // namespace

std::optional<int> forced_plies(int32_t value) {
  if (value >= MATE_BAND && value < WIN_SCORE) return WIN_SCORE - value;
  if (value <= -MATE_BAND && value > -WIN_SCORE) return -(WIN_SCORE + value);
  return std::nullopt;
}

struct GameService::Game {
  GameId id = 0;
  // Touched only with mutex_ held while the game is idle, and only by the
  // worker, without the lock, while it is busy.
  std::unique_ptr<Engine> engine;
  std::unique_ptr<Brain> own_brain;  // the plus brain's memory
  Brain* brain = nullptr;            // own_brain, or the exact engine's
  BrainKind brain_kind = BrainKind::PLUS;
  Rule rule = Rule::FREESTYLE;
  // In renju, the stones again on a board that decides black's forbidden
  // points; kept stone for stone with `stones`.
  std::unique_ptr<Position> renju_board;
  std::vector<Square> forbidden;  // the view's, brought up to date by each stone
  int size = 0;
  bool engine_first = false;
  int time_ms = 0;
  std::optional<int> depth;
  std::vector<Square> stones;
  std::vector<Square> winning_line;
  Status result = Status::PLAYING;  // PLAYING or how the game ended
  bool busy = false;                // a search is queued or running
  bool watching = false;
  bool removed = false;             // no longer in games_
  std::optional<SearchSummary> last_search;
  std::optional<Square> hint;
  std::uint64_t last_used = 0;
  int64_t search_ended_ms = INT64_MIN;  // clock_ms() when the last search ended
};

// Hands each finished iteration of a timed search to the game's state, so
// that the page sees the search as it goes.
class GameService::LiveReport final : public SearchObserver {
 public:
  LiveReport(GameService& service, Game& game, const ProgressListener& progress)
      : service_(service), game_(game), progress_(progress) {}

  void iteration_done(const SearchIteration& it) override {
    latest = it;
    GameView view;
    {
      std::lock_guard lock(service_.mutex_);
      if (!game_.last_search) return;
      SearchSummary& s = *game_.last_search;
      s.depth = it.depth;
      s.value = it.value;
      s.nodes = it.nodes;
      s.time_ms = it.elapsed_ms;
      s.pv = line_of(it.pv, it.pv_length);
      if (!progress_ || game_.removed) return;
      view = service_.view_of(game_);
    }
    progress_(view);
  }

  std::optional<SearchIteration> latest;

 private:
  GameService& service_;
  Game& game_;
  const ProgressListener& progress_;
};

GameService::GameService(ServiceConfig config) : config_(config) {
  config_.max_games = std::clamp(config_.max_games, 1, MAX_MAX_GAMES);
  if (config_.search_threads <= 0)
    config_.search_threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  config_.search_threads = std::clamp(config_.search_threads, 1, MAX_SEARCH_THREADS);
  // Before any game: the tables are then only ever read.
  ensure_pattern_tables();
  if (config_.searches_on_caller) return;
  for (int i = 0; i < config_.search_threads; ++i) workers_.emplace_back([this] { worker_loop(); });
}

GameService::~GameService() {
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    dropped.swap(queue_);
    for (Job& job : dropped) {
      job.game->busy = false;
      --searching_;
    }
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

// ---- Calls ----

Reply GameService::create(const NewGame& request) {
  Reply reply;
  auto refuse = [&](Refusal why, std::string error) {
    reply.refusal = why;
    reply.error = std::move(error);
    return reply;
  };
  if (request.size < MIN_BOARD_SIZE || request.size > MAX_BOARD_SIZE)
    return refuse(Refusal::BAD_INPUT, "size must be from 5 to 32");
  if (request.time_ms < MIN_TIME_MS || request.time_ms > MAX_TIME_MS)
    return refuse(Refusal::BAD_INPUT, "time_ms must be from 50 to 60000");
  if (request.depth && (*request.depth < MIN_FIXED_DEPTH || *request.depth > MAX_FIXED_DEPTH))
    return refuse(Refusal::BAD_INPUT, "depth must be from 1 to 63");
  if (request.stones.size() > static_cast<std::size_t>(request.size * request.size))
    return refuse(Refusal::BAD_INPUT, "more stones than the board holds");
  if (request.brain == BrainKind::EXACT && request.rule != Rule::FREESTYLE)
    return refuse(Refusal::BAD_INPUT, "the exact brain plays freestyle only; the plus brain plays every rule");

  std::lock_guard creating(create_mutex_);
  {
    // Refuse early, before making an engine, when there can be no room.
    std::lock_guard lock(mutex_);
    if (closing_) return refuse(Refusal::UNAVAILABLE, "the board is shutting down");
    const bool idle_game = std::any_of(games_.begin(), games_.end(),
                                       [](const auto& entry) { return !entry.second->busy; });
    if (engines_ >= config_.max_games && !idle_game)
      return refuse(Refusal::UNAVAILABLE, "every game is busy thinking; try again in a moment");
  }

  // 1. The engine and the position, before anything shared changes (the
  //    game is not shared yet, so it is played on without the lock).
  auto g = std::make_shared<Game>();
  g->engine.reset(new (std::nothrow) Engine);
  if (!g->engine) return refuse(Refusal::UNAVAILABLE, "out of memory for another game");
  g->own_brain = own_brain(request.brain);
  g->brain = g->own_brain ? g->own_brain.get() : &exact_brain();
  g->brain_kind = request.brain;
  g->rule = request.rule;
  if (request.rule == Rule::RENJU) {
    g->renju_board.reset(new (std::nothrow) Position);
    if (!g->renju_board) return refuse(Refusal::UNAVAILABLE, "out of memory for another game");
    g->renju_board->start(request.size, Rule::RENJU);
  }
  g->size = request.size;
  g->engine_first = request.engine_first;
  g->time_ms = request.time_ms;
  g->depth = request.depth;
  g->engine->start_game(request.size);
  g->brain->set_rule(request.rule);
  g->brain->new_game();
  for (std::size_t i = 0; i < request.stones.size(); ++i) {
    const Square s = request.stones[i];
    const std::string which = "stone " + std::to_string(i + 1) + " at " + square_text(s);
    if (!on_board(s, request.size))
      return refuse(Refusal::BAD_INPUT, which + " is off the " + std::to_string(request.size) +
                                            "x" + std::to_string(request.size) + " board");
    if (!g->engine->is_open_square(s.x, s.y))
      return refuse(Refusal::BAD_INPUT, which + " goes on an occupied square");
    if (g->result != Status::PLAYING)
      return refuse(Refusal::BAD_INPUT, which + " comes after the end of the game");
    if (g->renju_board && i % 2 == 0) {
      const Forbidden kind = forbidden_kind(*g->renju_board, Position::cell_of(s.x, s.y));
      if (kind != Forbidden::NONE) return refuse(Refusal::BAD_INPUT, which + ": " + forbidden_text(s, kind));
    }
    place_and_judge(*g, s);
  }

  // 2. Room for it, and in. A dropped game is freed after the lock.
  std::shared_ptr<Game> dropped;
  std::lock_guard lock(mutex_);
  if (closing_) return refuse(Refusal::UNAVAILABLE, "the board is shutting down");
  if (!make_room(dropped))
    return refuse(Refusal::UNAVAILABLE, "every game is busy thinking; try again in a moment");
  ++engines_;
  g->id = next_id_++;
  touch(*g);
  games_.emplace(g->id, g);
  continue_play(g);
  reply.game = view_of(*g);
  reply.searching = g->busy;
  return reply;
}

Reply GameService::get(GameId id) {
  std::lock_guard lock(mutex_);
  const auto g = find(id);
  if (!g) return no_game(id);
  touch(*g);
  return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
}

std::optional<Reply> GameService::refuse_change(const Game* g, GameId id) const {
  if (g == nullptr) return no_game(id);
  if (g->busy || (request_sent_ms_ && g->search_ended_ms > *request_sent_ms_)) return conflict(BUSY_ERROR);
  return std::nullopt;
}

void GameService::set_request_sent_ms(std::optional<int64_t> sent_ms) {
  std::lock_guard lock(mutex_);
  request_sent_ms_ = sent_ms;
}

Reply GameService::play(GameId id, Square square) {
  std::lock_guard lock(mutex_);
  const auto g = find(id);
  if (!g) return no_game(id);
  touch(*g);
  if (!on_board(square, g->size))
    return Reply{Refusal::BAD_INPUT,
                 "square " + square_text(square) + " is off the " + std::to_string(g->size) + "x" +
                     std::to_string(g->size) + " board",
                 {},
                 false};
  if (auto refused = refuse_change(g.get(), id)) return *refused;
  if (g->result != Status::PLAYING) return conflict("the game is over");
  if (mover(*g) != Mover::PLAYER) return conflict("it is not your turn");
  if (!g->engine->is_open_square(square.x, square.y))
    return conflict("square " + square_text(square) + " is occupied");
  if (g->renju_board && g->stones.size() % 2 == 0) {
    const Forbidden kind = forbidden_kind(*g->renju_board, Position::cell_of(square.x, square.y));
    if (kind != Forbidden::NONE) return conflict(forbidden_text(square, kind));
  }
  place_and_judge(*g, square);
  continue_play(g);
  return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
}

Reply GameService::undo(GameId id) {
  std::lock_guard lock(mutex_);
  const auto g = find(id);
  if (g) touch(*g);
  if (auto refused = refuse_change(g.get(), id)) return *refused;
  // The player's stones are the black ones when the engine plays white.
  const std::size_t players_parity = g->engine_first ? 1 : 0;
  std::size_t keep = g->stones.size();
  while (keep > 0 && (keep - 1) % 2 != players_parity) --keep;
  if (keep == 0) return conflict("there is no stone of yours to take back");
  --keep;
  while (g->stones.size() > keep) take_back(*g);
  g->result = Status::PLAYING;
  g->winning_line.clear();
  g->hint.reset();
  return Reply{Refusal::NONE, {}, view_of(*g), false};
}

Reply GameService::hint(GameId id, std::optional<int> depth) {
  std::lock_guard lock(mutex_);
  const auto g = find(id);
  if (g) touch(*g);
  if (depth && (*depth < MIN_FIXED_DEPTH || *depth > MAX_FIXED_DEPTH))
    return Reply{Refusal::BAD_INPUT, "depth must be from 1 to 63", {}, false};
  if (auto refused = refuse_change(g.get(), id)) return *refused;
  if (g->result != Status::PLAYING) return conflict("the game is over");
  if (mover(*g) != Mover::PLAYER) return conflict("it is not your turn");
  if (g->stones.empty()) {
    g->hint = Square{g->size / 2, g->size / 2};
  } else {
    queue_search(g, SearchSummary::Purpose::HINT, depth ? depth : g->depth);
  }
  return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
}

Reply GameService::watch(GameId id, bool on) {
  std::lock_guard lock(mutex_);
  const auto g = find(id);
  if (!g) return no_game(id);
  touch(*g);
  if (on && g->result != Status::PLAYING) return conflict("the game is over");
  g->watching = on;
  if (on && !g->busy) continue_play(g);
  return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
}

Reply GameService::remove(GameId id) {
  std::shared_ptr<Game> g;
  {
    std::lock_guard lock(mutex_);
    g = find(id);
    if (!g) return no_game(id);
    games_.erase(id);
    g->removed = true;
    g->watching = false;
    // A busy game's engine belongs to its search; the worker frees it.
    if (!g->busy) --engines_;
  }
  return Reply{};  // an idle game's engine is freed here, after the lock
}

Reply GameService::wait_until_idle(GameId id, std::chrono::milliseconds limit) {
  if (config_.searches_on_caller) {
    // Nobody else runs the searches: run them here until the game is idle.
    while (true) {
      {
        std::lock_guard lock(mutex_);
        const auto g = find(id);
        if (!g) return no_game(id);
        if (!g->busy || queue_.empty()) return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
      }
      run_next_search();
    }
  }
  std::unique_lock lock(mutex_);
  job_done_.wait_for(lock, limit, [&] {
    const auto g = find(id);
    return !g || !g->busy;
  });
  const auto g = find(id);
  if (!g) return no_game(id);
  return Reply{Refusal::NONE, {}, view_of(*g), g->busy};
}

ServiceStats GameService::stats() {
  std::lock_guard lock(mutex_);
  return ServiceStats{engines_, static_cast<int>(games_.size()), searching_};
}

// ---- Game state, with mutex_ held ----

std::shared_ptr<GameService::Game> GameService::find(GameId id) {
  const auto it = games_.find(id);
  return it == games_.end() ? nullptr : it->second;
}

Mover GameService::mover(const Game& g) const {
  const bool black_to_move = g.stones.size() % 2 == 0;
  return black_to_move == g.engine_first ? Mover::ENGINE : Mover::PLAYER;
}

void GameService::touch(Game& g) { g.last_used = ++use_clock_; }

GameView GameService::view_of(const Game& g) const {
  GameView v;
  v.id = g.id;
  v.size = g.size;
  v.brain = g.brain_kind;
  v.rule = g.rule;
  v.engine_first = g.engine_first;
  v.time_ms = g.time_ms;
  v.depth = g.depth;
  v.stones = g.stones;
  v.to_move = mover(g);
  v.status = g.busy ? Status::THINKING : g.result;
  v.winning_line = g.winning_line;
  v.watching = g.watching;
  v.last_search = g.last_search;
  v.hint = g.hint;
  if (g.result == Status::PLAYING) v.forbidden = g.forbidden;
  return v;
}

// The empty squares black may not play in the renju board's position.
static std::vector<Square> forbidden_squares(const Position& pos, int size) {
  std::vector<Square> list;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int cell = Position::cell_of(x, y);
      if (pos.is_empty(cell) && is_forbidden(pos, cell)) list.push_back(Square{x, y});
    }
  return list;
}

void GameService::place_and_judge(Game& g, Square s) {
  const Mover by = mover(g);
  const bool black = g.stones.size() % 2 == 0;
  const bool lost_on_forbidden =
      black && g.renju_board && is_forbidden(*g.renju_board, Position::cell_of(s.x, s.y));
  g.engine->place_stone(s.x, s.y);
  g.stones.push_back(s);
  if (g.renju_board) g.renju_board->make_move(Position::cell_of(s.x, s.y));
  g.hint.reset();
  std::vector<Square> five = lines_of_five_through(*g.engine, s, g.rule);
  if (lost_on_forbidden) {
    g.result = by == Mover::ENGINE ? Status::PLAYER_WON : Status::ENGINE_WON;
  } else if (!five.empty()) {
    g.winning_line = std::move(five);
    g.result = by == Mover::ENGINE ? Status::ENGINE_WON : Status::PLAYER_WON;
  } else if (g.stones.size() == static_cast<std::size_t>(g.size * g.size)) {
    g.result = Status::DRAW;
  }
  if (g.renju_board) g.forbidden = forbidden_squares(*g.renju_board, g.size);
}

void GameService::take_back(Game& g) {
  g.engine->undo_stone();
  g.stones.pop_back();
  if (g.renju_board) {
    g.renju_board->undo_move();
    g.forbidden = forbidden_squares(*g.renju_board, g.size);
  }
}

void GameService::continue_play(const std::shared_ptr<Game>& g) {
  while (g->result == Status::PLAYING && (g->watching || mover(*g) == Mover::ENGINE)) {
    if (!g->stones.empty()) {
      queue_search(g, SearchSummary::Purpose::MOVE, g->depth);
      return;
    }
    place_and_judge(*g, Square{g->size / 2, g->size / 2});
  }
  g->watching = false;
}

void GameService::queue_search(const std::shared_ptr<Game>& g, SearchSummary::Purpose purpose,
                               std::optional<int> depth) {
  if (closing_) return;
  g->busy = true;
  ++searching_;
  queue_.push_back(Job{g, purpose, depth});
  work_ready_.notify_one();
}

bool GameService::make_room(std::shared_ptr<Game>& dropped) {
  if (engines_ < config_.max_games) return true;
  std::shared_ptr<Game> oldest;
  for (const auto& [id, g] : games_)
    if (!g->busy && (!oldest || g->last_used < oldest->last_used)) oldest = g;
  if (!oldest) return false;
  games_.erase(oldest->id);
  oldest->removed = true;
  --engines_;
  dropped = std::move(oldest);
  return true;
}

// ---- Workers ----

bool GameService::run_next_search(const ProgressListener& progress) {
  Job job;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    job = std::move(queue_.front());
    queue_.pop_front();
  }
  run_job(job, progress);
  return true;
}

void GameService::worker_loop() {
  while (true) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [&] { return closing_ || !queue_.empty(); });
      if (closing_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    run_job(job);
  }
}

void GameService::run_job(const Job& job, const ProgressListener& progress) {
  Game& g = *job.game;
  const bool hint = job.purpose == SearchSummary::Purpose::HINT;
  int time_ms = 0;
  std::optional<int> depth;
  SearchSummary result;
  {
    std::lock_guard lock(mutex_);
    if (!g.removed) {
      time_ms = g.time_ms;
      depth = job.depth;
      result.purpose = job.purpose;
      result.side = mover(g);
      result.fixed_depth = depth.has_value();
      result.stone_count = static_cast<int>(g.stones.size());
      g.last_search = result;
    }
  }

  // 1. The search, without the lock: the engine is the worker's alone.
  //    The exact brain's fixed-depth search is quorlith-inspect's; every
  //    other search is the brain's own.
  if (time_ms != 0) {
    Engine& e = *g.engine;
    const auto started = Clock::now();
    const bool inspect_search = depth && g.brain_kind == BrainKind::EXACT;
    std::optional<Square> move;
    if (inspect_search) {
      const FixedResult fixed = fixed_depth_search(e, *depth);
      move = open_square(e, fixed.root.x, fixed.root.y);
      if (fixed.finished) {
        result.depth = *depth;
        result.value = fixed.root.score;
        result.pv = root_line_of(e);
      }
      // Given up at the limit: the best root move that finished, else the
      // first one the root tried.
      if (!move) move = open_square(e, e.pv[0][0].x, e.pv[0][0].y);
      if (!move) move = open_square(e, e.root_first_candidate.x, e.root_first_candidate.y);
    }
    if (!move) {
      // The brain's search: under the game's time, or to the plus brain's
      // fixed depth under the limit of fixed-depth searches; after an
      // inspect search that named no square (never seen), a short search
      // of the exact engine that always names an empty cell.
      e.time_per_move_ms = inspect_search ? MIN_TIME_MS : depth ? FIXED_DEPTH_LIMIT_MS : time_ms;
      // (The plus brain takes a depth below 2 for its default.)
      e.max_depth = depth && !inspect_search ? std::max(*depth, 2) : g.brain->default_depth_limit();
      Brain& brain = inspect_search ? exact_brain() : *g.brain;
      LiveReport live(*this, g, progress);
      int x = -1, y = -1;
      if (brain.find_move(e, &x, &y, &live)) move = Square{x, y};
      if (live.latest && !inspect_search) {
        result.depth = live.latest->depth;
        result.value = live.latest->value;
        result.pv = line_of(live.latest->pv, live.latest->pv_length);
      }
    }
    result.nodes = e.nodes;
    result.time_ms = ms_since(started);
    // A cut iteration may have found a better first move than the line of
    // the last finished one; only that move is known then.
    if (move && (result.pv.empty() || result.pv.front() != *move)) result.pv = {*move};
    result.only_move = move.has_value() && single_reply(e);
    result.move = move;
  }

  // 2. The result into the game; the game's turn goes on from there.
  std::unique_ptr<Engine> freed;  // freed after the lock
  {
    std::lock_guard lock(mutex_);
    g.busy = false;
    g.search_ended_ms = clock_ms();
    --searching_;
    if (g.removed) {
      freed = std::move(g.engine);
      --engines_;
    } else {
      result.running = false;
      g.last_search = result;
      touch(g);
      if (!result.move) {
        g.result = Status::DRAW;  // no empty square left
      } else if (hint) {
        g.hint = result.move;
      } else {
        place_and_judge(g, *result.move);
      }
      continue_play(job.game);
    }
  }
  job_done_.notify_all();
}

}  // namespace quorlith::board
