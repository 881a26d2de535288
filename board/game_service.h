// The board's game service: several games against the engine at once, each
// owning one Engine and one brain, with the searches on worker threads, or
// run by the owner one at a time (a browser's worker, which has a single
// thread). It knows nothing of HTTP; the front ends translate requests into
// these calls.
//
// Threads. Every call takes the service's lock for a short while and never
// searches. A game whose engine is thinking (a search queued or running) is
// "busy": its Engine then belongs to the worker alone, and every request that
// would change the game is refused with Refusal::CONFLICT until the search
// has ended. A search ends by its own deadline; nothing interrupts it. A game
// removed while busy leaves the table at once and its Engine is freed by the
// worker when the search ends.
//
// Memory. Each game owns one Engine (about 18 MB, nearly all of it the
// transposition table) and its brain (the plus brain's tables take about
// 20 MB more). At most max_games engines exist at a time, removed games
// still searching included: a new game first drops the idle game that was
// used least recently, and is refused while every game is busy.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/referee.h"
#include "protocol/brain.h"

namespace quorlith::board {

using GameId = std::uint64_t;

constexpr int DEFAULT_BOARD_SIZE = 15;
// Time per searched move, in milliseconds.
constexpr int MIN_TIME_MS = 50;
constexpr int MAX_TIME_MS = 60'000;
constexpr int DEFAULT_TIME_MS = 1000;
// Fixed-depth searches: one root search at this depth on a fresh table, the
// search quorlith-inspect runs. It has no clock of its own; the service
// gives up on it after FIXED_DEPTH_LIMIT_MS.
constexpr int MIN_FIXED_DEPTH = 1;
constexpr int MAX_FIXED_DEPTH = MAX_PLY - 1;
constexpr int FIXED_DEPTH_LIMIT_MS = MAX_TIME_MS;
constexpr int DEFAULT_MAX_GAMES = 8;
constexpr int MAX_MAX_GAMES = 64;
constexpr int MAX_SEARCH_THREADS = 16;

// Who moves: the person at the board or the engine. The first stone is
// black; the engine is black when the game was made with engine_first.
enum class Mover { PLAYER, ENGINE };

enum class Status { PLAYING, THINKING, PLAYER_WON, ENGINE_WON, DRAW };

// The brain a game plays with, chosen when it is made: the plus brain
// (pbrain-quorlith-plus), or the exact engine (pbrain-quorlith).
enum class BrainKind { PLUS, EXACT };

// What a search reached. While it runs, it holds the last iteration that ran
// to its end (time-limited searches only) and running is set.
struct SearchSummary {
  enum class Purpose { MOVE, HINT };
  Purpose purpose = Purpose::MOVE;
  Mover side = Mover::ENGINE;  // whose move was searched
  bool fixed_depth = false;    // a search at a set depth (see NewGame::depth)
  bool running = true;
  int stone_count = 0;         // stones on the board when the search began
  int depth = 0;               // deepest iteration completed; 0: none
  int32_t value = 0;           // that iteration's root value, for `side`
  int64_t nodes = 0;
  int64_t time_ms = 0;
  std::vector<Square> pv;      // principal variation, from the searched position
  // The root had a single candidate: it is played without a search, and
  // value is then its ordering key, not a judgement of the position.
  bool only_move = false;
  std::optional<Square> move;  // the square played or hinted, once ended
};

// A value that is a forced result: n > 0 plies until the side to move
// completes five (value WIN_SCORE - n), or -n when the opponent does
// (value -WIN_SCORE + n). Nothing for any other value.
std::optional<int> forced_plies(int32_t value);

struct GameView {
  GameId id = 0;
  int size = 0;
  BrainKind brain = BrainKind::PLUS;
  Rule rule = Rule::FREESTYLE;
  bool engine_first = false;
  int time_ms = 0;
  std::optional<int> depth;  // fixed-depth game
  std::vector<Square> stones;  // in play order, the first black
  Mover to_move = Mover::PLAYER;
  Status status = Status::PLAYING;
  std::vector<Square> winning_line;  // the stones of the five, or empty
  bool watching = false;             // the engine plays both sides
  std::optional<SearchSummary> last_search;
  std::optional<Square> hint;  // the latest hint, until the next stone
  // In renju, while the game goes on: the empty squares black may not play
  // now (in row order); empty under the other rules.
  std::vector<Square> forbidden;
};

struct NewGame {
  int size = DEFAULT_BOARD_SIZE;
  BrainKind brain = BrainKind::PLUS;
  // What wins, and in renju what black may not play. The exact brain plays
  // freestyle only.
  Rule rule = Rule::FREESTYLE;
  bool engine_first = false;
  int time_ms = DEFAULT_TIME_MS;
  // Every search of the game is a search at this depth: for the exact
  // brain the one root search of quorlith-inspect on a fresh table, for the
  // plus brain its own search with this as its deepest iteration. Either is
  // given up after FIXED_DEPTH_LIMIT_MS.
  std::optional<int> depth;
  // A position to start from, in play order, the first black (a loaded
  // BOARD block). It may end with a five or fill the board.
  std::vector<Square> stones;
};

enum class Refusal {
  NONE,
  BAD_INPUT,    // the request is malformed: a value out of range
  NOT_FOUND,    // no such game
  CONFLICT,     // the game is busy, over, not at the player's turn, ...
  UNAVAILABLE,  // no room for another game right now
};

struct Reply {
  Refusal refusal = Refusal::NONE;
  std::string error;  // why, when refused
  GameView game;      // the game's state after the call, when not refused
  bool searching = false;  // the call started (or queued) a search
};

struct ServiceConfig {
  int max_games = DEFAULT_MAX_GAMES;
  int search_threads = 0;  // 0: one per processor core
  // No worker threads: queued searches wait until the owner runs them with
  // run_next_search, on its own thread.
  bool searches_on_caller = false;
};

// Told about a game's state after each finished iteration of its search.
using ProgressListener = std::function<void(const GameView&)>;

// The message of every refusal of a busy game.
inline constexpr const char* BUSY_ERROR = "busy: the engine is thinking";

struct ServiceStats {
  int engines = 0;    // engines alive, removed games still searching included
  int games = 0;      // games that can be reached by id
  int searching = 0;  // games whose search is queued or running
};

class GameService {
 public:
  explicit GameService(ServiceConfig config = {});
  // Drops the queued searches and waits for the running ones to end.
  ~GameService();
  GameService(const GameService&) = delete;
  GameService& operator=(const GameService&) = delete;

  // A new game; when the engine is to move it starts at once. The first
  // stone of a game goes to the centre without a search, as in the console
  // engine.
  Reply create(const NewGame& game);
  Reply get(GameId id);
  // The player's stone; then the engine thinks unless the game is over.
  Reply play(GameId id, Square square);
  // Takes back the player's last stone and everything after it (the
  // engine's answer): the player is to move again.
  Reply undo(GameId id);
  // Searches the player's move without playing it; the square appears as
  // the game's hint when the search ends. depth: a fixed-depth search
  // instead of the game's own kind.
  Reply hint(GameId id, std::optional<int> depth = std::nullopt);
  // on: the engine plays both sides until the game ends or watch is turned
  // off. Off takes effect after the current search, and the engine still
  // answers when that search was a move for the player's side, so a paused
  // game always waits for the player.
  Reply watch(GameId id, bool on);
  Reply remove(GameId id);

  // Waits until the game is not busy or the time is up; its state then.
  // With searches_on_caller, runs the queued searches itself instead,
  // until the game is idle (the limit is then not used).
  Reply wait_until_idle(GameId id, std::chrono::milliseconds limit);
  ServiceStats stats();
  const ServiceConfig& config() const { return config_; }

  // With searches_on_caller: runs the search queued first, to its end, on
  // the calling thread, telling progress (when set) after each of its
  // finished iterations. False when none was queued.
  bool run_next_search(const ProgressListener& progress = {});

  // With searches_on_caller, requests wait while a search runs and are
  // answered after it. sent_ms, on clock_ms()'s clock, is when the request
  // now being answered was sent (nothing: now): a change to a game whose
  // search ended after that is refused as busy, as it would have been on
  // arrival. Holds for the calls that follow, until set again.
  void set_request_sent_ms(std::optional<int64_t> sent_ms);

 private:
  struct Game;
  struct Job {
    std::shared_ptr<Game> game;
    SearchSummary::Purpose purpose;
    std::optional<int> depth;  // a hint's own fixed depth
  };
  class LiveReport;

  // All private members below run with mutex_ held unless they say so.
  std::shared_ptr<Game> find(GameId id);
  // What a call that changes a game answers when it cannot: no such game,
  // or the game is busy (or was when the request was sent).
  std::optional<Reply> refuse_change(const Game* g, GameId id) const;
  GameView view_of(const Game& g) const;
  Mover mover(const Game& g) const;
  void touch(Game& g);
  // Plays a stone on an idle game and judges it: five under the game's
  // rule, a forbidden point of black's in renju (black loses), full board.
  void place_and_judge(Game& g, Square s);
  // Takes back the game's last stone.
  void take_back(Game& g);
  // Lets the engine play while it is to move (and while watching).
  void continue_play(const std::shared_ptr<Game>& g);
  void queue_search(const std::shared_ptr<Game>& g, SearchSummary::Purpose purpose,
                    std::optional<int> depth);
  // Makes room for one more engine, dropping the idle game used least
  // recently when needed (handed to dropped, to be freed without the lock);
  // false when every game is busy.
  bool make_room(std::shared_ptr<Game>& dropped);

  void worker_loop();
  // Runs one search; called without the lock.
  void run_job(const Job& job, const ProgressListener& progress = {});

  ServiceConfig config_;
  std::mutex mutex_;
  // Creations one at a time: a new game's engine is made and checked before
  // the lock is taken, and this keeps the engines in existence at most one
  // above max_games while that happens.
  std::mutex create_mutex_;
  std::condition_variable work_ready_;
  std::condition_variable job_done_;
  std::map<GameId, std::shared_ptr<Game>> games_;
  std::deque<Job> queue_;
  std::vector<std::thread> workers_;
  int engines_ = 0;
  int searching_ = 0;
  GameId next_id_ = 1;
  std::uint64_t use_clock_ = 0;
  std::optional<int64_t> request_sent_ms_;
  bool closing_ = false;
};

}  // namespace quorlith::board
