// The game service: legality and turns, the end of a game, undo, hints,
// watching, the bound on games, busy games, fixed-depth searches that
// reproduce quorlith-inspect, and many games at once (also run under
// ThreadSanitizer by the tsan preset).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "board/game_service.h"
#include "tests/board/board_test_support.h"

namespace quorlith::board {
namespace {

using namespace std::chrono_literals;
using test::squares;

// Long enough for any search under the sanitizers.
constexpr auto WAIT = 120s;

GameView idle(GameService& service, GameId id) {
  const Reply r = service.wait_until_idle(id, WAIT);
  EXPECT_EQ(r.refusal, Refusal::NONE) << r.error;
  EXPECT_NE(r.game.status, Status::THINKING) << "still thinking after the wait";
  return r.game;
}

GameView created(GameService& service, const NewGame& game) {
  const Reply r = service.create(game);
  EXPECT_EQ(r.refusal, Refusal::NONE) << r.error;
  return r.game;
}

NewGame position(int size, const std::string& moves, bool engine_first = false, int time_ms = 100) {
  NewGame g;
  g.size = size;
  g.engine_first = engine_first;
  g.time_ms = time_ms;
  g.stones = squares(moves);
  return g;
}

bool all_distinct_on_board(const GameView& g) {
  std::set<std::pair<int, int>> seen;
  for (const Square s : g.stones) {
    if (s.x < 0 || s.y < 0 || s.x >= g.size || s.y >= g.size) return false;
    if (!seen.emplace(s.x, s.y).second) return false;
  }
  return true;
}

TEST(GameService, PlayerMoveAndTheEnginesAnswer) {
  GameService service;
  const GameView fresh = created(service, NewGame{});
  EXPECT_EQ(fresh.size, 15);
  EXPECT_EQ(fresh.status, Status::PLAYING);
  EXPECT_EQ(fresh.to_move, Mover::PLAYER);
  EXPECT_FALSE(fresh.last_search);

  NewGame quick;
  quick.time_ms = 100;
  const GameId id = created(service, quick).id;
  const Reply played = service.play(id, {7, 7});
  ASSERT_EQ(played.refusal, Refusal::NONE) << played.error;
  EXPECT_TRUE(played.searching);
  EXPECT_EQ(played.game.status, Status::THINKING);
  EXPECT_EQ(played.game.to_move, Mover::ENGINE);

  const GameView g = idle(service, id);
  ASSERT_EQ(g.stones.size(), 2u);
  EXPECT_EQ(g.stones[0], (Square{7, 7}));
  EXPECT_EQ(g.status, Status::PLAYING);
  EXPECT_EQ(g.to_move, Mover::PLAYER);
  ASSERT_TRUE(g.last_search);
  const SearchSummary& s = *g.last_search;
  EXPECT_FALSE(s.running);
  EXPECT_EQ(s.purpose, SearchSummary::Purpose::MOVE);
  EXPECT_EQ(s.side, Mover::ENGINE);
  EXPECT_EQ(s.stone_count, 1);
  ASSERT_TRUE(s.move);
  EXPECT_EQ(*s.move, g.stones[1]);
  ASSERT_FALSE(s.pv.empty());
  EXPECT_EQ(s.pv.front(), g.stones[1]);
  EXPECT_GT(s.nodes, 0);

  // The engine opening: its first stone is the centre, at once.
  const Reply opening = service.create(position(20, "", true));
  EXPECT_FALSE(opening.searching);
  EXPECT_EQ(opening.game.stones, (std::vector<Square>{{10, 10}}));
  EXPECT_EQ(opening.game.to_move, Mover::PLAYER);
}

TEST(GameService, IllegalMovesChangeNothing) {
  GameService service;
  const GameId id = created(service, position(15, "7,7 8,8")).id;
  const auto stones_now = [&] { return service.get(id).game.stones; };
  const auto before = stones_now();

  for (const Square off : {Square{-1, 0}, Square{15, 3}, Square{3, 15}, Square{0, -7}}) {
    const Reply r = service.play(id, off);
    EXPECT_EQ(r.refusal, Refusal::BAD_INPUT) << off.x << "," << off.y;
    EXPECT_NE(r.error.find("off the 15x15 board"), std::string::npos) << r.error;
  }
  const Reply occupied = service.play(id, {8, 8});
  EXPECT_EQ(occupied.refusal, Refusal::CONFLICT);
  EXPECT_EQ(occupied.error, "square 8,8 is occupied");
  EXPECT_EQ(service.play(999, {1, 1}).refusal, Refusal::NOT_FOUND);
  EXPECT_EQ(service.undo(999).refusal, Refusal::NOT_FOUND);
  EXPECT_EQ(service.hint(id, 0).refusal, Refusal::BAD_INPUT);
  EXPECT_EQ(service.hint(id, 64).refusal, Refusal::BAD_INPUT);
  EXPECT_EQ(stones_now(), before);

  // Bad settings and positions make no game.
  const ServiceStats stats = service.stats();
  NewGame bad;
  for (const int size : {4, 33, -1}) {
    bad.size = size;
    EXPECT_EQ(service.create(bad).refusal, Refusal::BAD_INPUT) << size;
  }
  bad = NewGame{};
  for (const int time_ms : {0, 49, 60'001}) {
    bad.time_ms = time_ms;
    EXPECT_EQ(service.create(bad).refusal, Refusal::BAD_INPUT) << time_ms;
  }
  bad = NewGame{};
  bad.depth = 0;
  EXPECT_EQ(service.create(bad).refusal, Refusal::BAD_INPUT);
  EXPECT_EQ(service.create(position(15, "7,7 15,0")).error, "stone 2 at 15,0 is off the 15x15 board");
  EXPECT_EQ(service.create(position(15, "7,7 8,8 7,7")).error,
            "stone 3 at 7,7 goes on an occupied square");
  EXPECT_EQ(service.create(position(15, "0,0 0,1 1,0 1,1 2,0 2,1 3,0 3,1 4,0 5,5")).error,
            "stone 10 at 5,5 comes after the end of the game");
  EXPECT_EQ(service.stats().games, stats.games);
  EXPECT_EQ(service.stats().engines, stats.engines);
}

// Black on the left edge: x x x . x x in row 3, white far away.
constexpr const char* BLACK_OVERLINE_NEXT = "0,3 10,10 1,3 10,12 2,3 12,10 4,3 12,12 5,3 14,14";

TEST(GameService, PlayersFiveEndsTheGameAndUndoReopensIt) {
  GameService service;
  const GameId id = created(service, position(15, BLACK_OVERLINE_NEXT)).id;
  const Reply won = service.play(id, {3, 3});
  ASSERT_EQ(won.refusal, Refusal::NONE) << won.error;
  EXPECT_FALSE(won.searching);
  EXPECT_EQ(won.game.status, Status::PLAYER_WON);
  EXPECT_EQ(won.game.winning_line, squares("0,3 1,3 2,3 3,3 4,3 5,3"));

  EXPECT_EQ(service.play(id, {7, 7}).error, "the game is over");
  EXPECT_EQ(service.hint(id).error, "the game is over");
  EXPECT_EQ(service.watch(id, true).error, "the game is over");

  const Reply undone = service.undo(id);
  ASSERT_EQ(undone.refusal, Refusal::NONE) << undone.error;
  EXPECT_EQ(undone.game.status, Status::PLAYING);
  EXPECT_TRUE(undone.game.winning_line.empty());
  EXPECT_EQ(undone.game.stones, squares(BLACK_OVERLINE_NEXT));
  EXPECT_EQ(undone.game.to_move, Mover::PLAYER);
  // The engine's board was taken back too: the same five again.
  EXPECT_EQ(service.play(id, {3, 3}).game.status, Status::PLAYER_WON);
}

TEST(GameService, EnginesFiveAndALoadedFinishedGame) {
  GameService service;
  // White (the engine) has four in a row and is to move.
  const char* white_four = "0,14 7,7 2,14 8,7 4,14 9,7 6,14 10,7 8,14";
  NewGame exact = position(15, white_four);
  exact.brain = BrainKind::EXACT;  // whose search reports the five's value
  const Reply r = service.create(exact);
  ASSERT_EQ(r.refusal, Refusal::NONE) << r.error;
  EXPECT_TRUE(r.searching);
  const GameView g = idle(service, r.game.id);
  EXPECT_EQ(g.status, Status::ENGINE_WON);
  ASSERT_EQ(g.winning_line.size(), 5u);
  EXPECT_NE(std::find(g.winning_line.begin(), g.winning_line.end(), Square{7, 7}), g.winning_line.end());
  ASSERT_TRUE(g.last_search);
  EXPECT_EQ(g.last_search->value, WIN_SCORE - 1);
  EXPECT_EQ(forced_plies(g.last_search->value), 1);

  // A loaded game that already ended is over at once, with its line.
  const Reply ended = service.create(position(15, std::string(BLACK_OVERLINE_NEXT) + " 3,3"));
  ASSERT_EQ(ended.refusal, Refusal::NONE) << ended.error;
  EXPECT_EQ(ended.game.status, Status::PLAYER_WON);
  EXPECT_EQ(ended.game.winning_line.size(), 6u);
}

TEST(GameService, TheGamesRuleDecidesItsFivesAndRenjuRefusesBlacksForbiddenPoints) {
  GameService service;
  auto with_rule = [](const std::string& moves, Rule rule, bool engine_first = false) {
    NewGame g = position(15, moves, engine_first);
    g.rule = rule;
    return g;
  };

  // Exactly five: black's six is nothing, its exact five wins.
  const GameView standard = created(service, with_rule(BLACK_OVERLINE_NEXT, Rule::STANDARD));
  EXPECT_EQ(standard.rule, Rule::STANDARD);
  EXPECT_TRUE(standard.forbidden.empty());
  const Reply six = service.play(standard.id, {3, 3});
  ASSERT_EQ(six.refusal, Refusal::NONE) << six.error;
  EXPECT_TRUE(six.searching);
  EXPECT_TRUE(six.game.winning_line.empty());
  EXPECT_EQ(idle(service, standard.id).status, Status::PLAYING);
  const char* black_four = "0,3 10,10 1,3 10,12 2,3 12,10 3,3 12,12 14,0 14,14";
  for (const Rule rule : {Rule::STANDARD, Rule::RENJU}) {
    const Reply five = service.play(created(service, with_rule(black_four, rule)).id, {4, 3});
    EXPECT_EQ(five.game.status, Status::PLAYER_WON) << static_cast<int>(rule);
    EXPECT_EQ(five.game.winning_line, squares("0,3 1,3 2,3 3,3 4,3"));
  }

  // Renju: black's overline is marked and refused, and changes nothing; a
  // loaded board may not hold one either.
  const GameView renju = created(service, with_rule(BLACK_OVERLINE_NEXT, Rule::RENJU));
  EXPECT_EQ(renju.forbidden, squares("3,3"));
  const Reply refused = service.play(renju.id, {3, 3});
  EXPECT_EQ(refused.refusal, Refusal::CONFLICT);
  EXPECT_EQ(refused.error, "square 3,3 is forbidden to black in renju (an overline)");
  EXPECT_EQ(service.get(renju.id).game.stones, squares(BLACK_OVERLINE_NEXT));
  const Reply loaded = service.create(with_rule(std::string(BLACK_OVERLINE_NEXT) + " 3,3", Rule::RENJU));
  EXPECT_EQ(loaded.refusal, Refusal::BAD_INPUT);
  EXPECT_EQ(loaded.error, "stone 11 at 3,3: square 3,3 is forbidden to black in renju (an overline)");

  // White's six wins in renju, and is nothing under exactly five.
  const char* white_overline_next = "10,10 0,3 10,12 1,3 12,10 2,3 12,12 4,3 14,14 5,3 14,0";
  const Reply white_six = service.play(created(service, with_rule(white_overline_next, Rule::RENJU, true)).id, {3, 3});
  EXPECT_EQ(white_six.game.status, Status::PLAYER_WON);
  EXPECT_EQ(white_six.game.winning_line.size(), 6u);
  const GameId no_five = created(service, with_rule(white_overline_next, Rule::STANDARD, true)).id;
  EXPECT_TRUE(service.play(no_five, {3, 3}).searching);
  idle(service, no_five);

  // The exact brain plays freestyle only.
  NewGame exact = with_rule("", Rule::RENJU);
  exact.brain = BrainKind::EXACT;
  EXPECT_EQ(service.create(exact).error, "the exact brain plays freestyle only; the plus brain plays every rule");

  // The plus brain as black in renju: white's four on the diagonal from
  // 3,3 can only be blocked at 7,7, where black would make two open
  // threes. It plays elsewhere, and white's five there ends the game.
  const GameView blocked =
      created(service, with_rule("2,2 3,3 7,5 4,4 7,6 5,5 8,7 6,6 9,7 0,14", Rule::RENJU, true));
  EXPECT_NE(std::find(blocked.forbidden.begin(), blocked.forbidden.end(), Square{7, 7}), blocked.forbidden.end());
  const GameView answered = idle(service, blocked.id);
  ASSERT_EQ(answered.stones.size(), 11u);
  EXPECT_NE(answered.stones.back(), (Square{7, 7}));
  EXPECT_EQ(service.play(blocked.id, {7, 7}).game.status, Status::PLAYER_WON);
}

// 5 x 5 without a five anywhere:    B B W W B
//                                   W W B B W
//                                   B B W W B
//                                   W W B B W
//                                   B B W W B   (the last black stone: 4,4)
TEST(GameService, FullBoardIsADraw) {
  std::string moves;
  std::vector<Square> black, white;
  const char* rows[] = {"BBWWB", "WWBBW", "BBWWB", "WWBBW", "BBWWB"};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) (rows[y][x] == 'B' ? black : white).push_back({x, y});
  black.erase(std::find(black.begin(), black.end(), Square{4, 4}));
  for (std::size_t i = 0; i < white.size(); ++i)
    moves += std::to_string(black[i].x) + "," + std::to_string(black[i].y) + " " +
             std::to_string(white[i].x) + "," + std::to_string(white[i].y) + " ";
  GameService service;
  const GameId id = created(service, position(5, moves)).id;
  const Reply last = service.play(id, {4, 4});
  ASSERT_EQ(last.refusal, Refusal::NONE) << last.error;
  EXPECT_EQ(last.game.status, Status::DRAW);
  EXPECT_TRUE(last.game.winning_line.empty());
  EXPECT_EQ(service.play(id, {0, 0}).error, "the game is over");
}

TEST(GameService, UndoTakesBackTheMoveAndTheAnswer) {
  GameService service;
  // The engine opened at the centre: nothing of the player's to take back.
  const GameId id = created(service, position(15, "", true)).id;
  EXPECT_EQ(service.undo(id).error, "there is no stone of yours to take back");
  ASSERT_EQ(service.play(id, {8, 8}).refusal, Refusal::NONE);
  ASSERT_EQ(idle(service, id).stones.size(), 3u);
  const Reply undone = service.undo(id);
  ASSERT_EQ(undone.refusal, Refusal::NONE) << undone.error;
  EXPECT_EQ(undone.game.stones, (std::vector<Square>{{7, 7}}));
  EXPECT_EQ(undone.game.to_move, Mover::PLAYER);
  // The engine's board follows: the square is free again.
  EXPECT_EQ(service.play(id, {8, 8}).refusal, Refusal::NONE);
  idle(service, id);
}

TEST(GameService, BusyGamesRefuseChangesUntilTheSearchEnds) {
  GameService service;
  const GameId id = created(service, position(15, "7,7 8,8 6,8 8,6", false, 1500)).id;
  ASSERT_TRUE(service.play(id, {7, 9}).searching);
  for (const Reply& r : {service.play(id, {1, 1}), service.undo(id), service.hint(id)}) {
    EXPECT_EQ(r.refusal, Refusal::CONFLICT);
    EXPECT_EQ(r.error, "busy: the engine is thinking");
  }
  // Pausing queues nothing, so a thinking game takes it.
  EXPECT_EQ(service.watch(id, false).refusal, Refusal::NONE);
  const Reply seen = service.get(id);
  EXPECT_EQ(seen.game.status, Status::THINKING);
  EXPECT_EQ(seen.game.stones.size(), 5u);
  const GameView g = idle(service, id);
  EXPECT_EQ(g.stones.size(), 6u);
  EXPECT_FALSE(g.watching);
}

TEST(GameService, HintSearchesThePlayersMoveWithoutPlayingIt) {
  GameService service;
  const GameId id = created(service, position(15, "7,7 8,8")).id;
  const Reply asked = service.hint(id);
  ASSERT_EQ(asked.refusal, Refusal::NONE) << asked.error;
  EXPECT_TRUE(asked.searching);
  const GameView g = idle(service, id);
  EXPECT_EQ(g.stones.size(), 2u);
  ASSERT_TRUE(g.hint);
  ASSERT_TRUE(g.last_search);
  EXPECT_EQ(g.last_search->purpose, SearchSummary::Purpose::HINT);
  EXPECT_EQ(g.last_search->side, Mover::PLAYER);
  EXPECT_EQ(*g.last_search->move, *g.hint);
  EXPECT_EQ(service.get(id).game.to_move, Mover::PLAYER);
  // The next stone clears it.
  EXPECT_FALSE(service.play(id, *g.hint).game.hint);
  idle(service, id);

  // On an empty board the hint is the centre, without a search.
  const GameId empty = created(service, NewGame{}).id;
  const Reply centre = service.hint(empty);
  EXPECT_FALSE(centre.searching);
  EXPECT_EQ(centre.game.hint, (Square{7, 7}));
}

// The fixed-depth search is quorlith-inspect's: the same move, value and
// nodes for the same position and depth, as a hint for the player and as
// the engine's move in a fixed-depth game.
TEST(GameService, FixedDepthSearchesMatchTheInspectTool) {
  struct Case {
    int size;
    const char* moves;
    int depth;
  };
  const Case hints[] = {
      {15, "7,7 8,8 6,8 8,6 7,9 7,6", 6},
      {15, "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7", 5},
      {20, "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 11,9", 5},
  };
  GameService service;
  for (const Case& c : hints) {
    const test::InspectSearch expected = test::inspect_search(c.size, c.moves, c.depth);
    ASSERT_TRUE(expected.ok) << "quorlith-inspect gave no search for " << c.moves;
    // A game with its own table history first: the fixed search starts
    // from a fresh table all the same.
    NewGame exact = position(c.size, c.moves);
    exact.brain = BrainKind::EXACT;
    const GameId id = created(service, exact).id;
    ASSERT_TRUE(service.hint(id).searching);
    idle(service, id);
    ASSERT_TRUE(service.hint(id, c.depth).searching);
    const GameView g = idle(service, id);
    ASSERT_TRUE(g.last_search);
    const SearchSummary& s = *g.last_search;
    EXPECT_TRUE(s.fixed_depth);
    EXPECT_EQ(s.depth, c.depth);
    EXPECT_EQ(s.value, expected.value) << c.moves;
    EXPECT_EQ(s.nodes, expected.nodes) << c.moves;
    ASSERT_TRUE(s.move);
    EXPECT_EQ(*s.move, expected.move) << c.moves;
    EXPECT_EQ(g.hint, expected.move);
  }

  // Black (the engine) to move with a forced win.
  const char* sharp =
      "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7 9,6 4,7 3,9 2,10 3,10 10,8 11,8 3,7";
  const test::InspectSearch expected = test::inspect_search(15, sharp, 7);
  ASSERT_TRUE(expected.ok);
  NewGame fixed = position(15, sharp, true);
  fixed.brain = BrainKind::EXACT;
  fixed.depth = 7;
  const GameId id = created(service, fixed).id;
  const GameView g = idle(service, id);
  ASSERT_TRUE(g.last_search);
  EXPECT_EQ(g.last_search->depth, 7);
  EXPECT_EQ(g.last_search->value, expected.value);
  EXPECT_EQ(g.last_search->nodes, expected.nodes);
  EXPECT_EQ(g.stones.back(), expected.move);
  EXPECT_EQ(forced_plies(g.last_search->value), WIN_SCORE - expected.value);
}

TEST(GameService, WatchPlaysBothSidesToTheEndAndPauseWaitsForThePlayer) {
  GameService service;
  const GameId id = created(service, position(7, "", false, MIN_TIME_MS)).id;
  const Reply on = service.watch(id, true);
  ASSERT_EQ(on.refusal, Refusal::NONE) << on.error;
  EXPECT_TRUE(on.game.watching);
  // Watching, the game stays busy until it ends.
  const GameView g = idle(service, id);
  EXPECT_NE(g.status, Status::PLAYING);
  EXPECT_FALSE(g.watching);
  EXPECT_TRUE(all_distinct_on_board(g));
  EXPECT_EQ(g.winning_line.empty(), g.status == Status::DRAW);

  // Paused at once: the engine answers for itself after the player's side,
  // and the game then waits for the player.
  const GameId paused = created(service, position(15, "7,7 8,8", false, MIN_TIME_MS)).id;
  ASSERT_TRUE(service.watch(paused, true).searching);
  EXPECT_FALSE(service.watch(paused, false).game.watching);
  const GameView p = idle(service, paused);
  EXPECT_EQ(p.stones.size(), 4u);
  EXPECT_EQ(p.to_move, Mover::PLAYER);
  EXPECT_EQ(p.status, Status::PLAYING);
}

TEST(GameService, GamesAreBoundedAndTheLeastRecentlyUsedIdleOneIsDropped) {
  ServiceConfig config;
  config.max_games = 2;
  GameService service(config);
  const GameId first = created(service, NewGame{}).id;
  const GameId second = created(service, NewGame{}).id;
  service.get(first);  // second is now the one used least recently
  const GameId third = created(service, NewGame{}).id;
  EXPECT_EQ(service.get(second).refusal, Refusal::NOT_FOUND);
  EXPECT_EQ(service.get(first).refusal, Refusal::NONE);
  EXPECT_EQ(service.stats().engines, 2);

  // Both busy: no room, and nothing is dropped.
  for (const GameId id : {first, third}) {
    ASSERT_EQ(service.play(id, {7, 7}).refusal, Refusal::NONE);
  }
  // (Each search takes the default 1000 ms.)
  const Reply refused = service.create(NewGame{});
  EXPECT_EQ(refused.refusal, Refusal::UNAVAILABLE);
  EXPECT_EQ(service.stats().games, 2);

  // A game removed while it thinks is gone at once; its engine is freed
  // when the search ends.
  ASSERT_EQ(service.remove(first).refusal, Refusal::NONE);
  EXPECT_EQ(service.get(first).refusal, Refusal::NOT_FOUND);
  EXPECT_EQ(service.remove(first).refusal, Refusal::NOT_FOUND);
  EXPECT_EQ(service.stats().games, 1);
  idle(service, third);
  for (int i = 0; i < 100 && service.stats().engines > 1; ++i) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(service.stats().engines, 1);
  EXPECT_EQ(service.stats().searching, 0);
}

// Each game keeps the brain it was made with: the plus brain unless asked
// otherwise. A fixed depth is the plus brain's deepest iteration, and each
// of its iterations is reported (no clock can cut them short).
TEST(GameService, EachGamePlaysWithItsOwnBrain) {
  GameService service;
  EXPECT_EQ(created(service, NewGame{}).brain, BrainKind::PLUS);
  const char* opening = "7,7 8,8 6,8";  // quiet: the plus brain runs its tree
  for (const BrainKind brain : {BrainKind::PLUS, BrainKind::EXACT}) {
    NewGame game = position(15, opening, false, 300);
    game.brain = brain;
    const GameId id = created(service, game).id;
    EXPECT_EQ(service.get(id).game.brain, brain);
    const GameView g = idle(service, id);
    ASSERT_EQ(g.stones.size(), 4u);
    EXPECT_TRUE(all_distinct_on_board(g));
    ASSERT_TRUE(g.last_search);
    EXPECT_GT(g.last_search->nodes, 0);
    ASSERT_FALSE(g.last_search->pv.empty());
    EXPECT_EQ(g.last_search->pv.front(), g.stones.back());
  }
  NewGame fixed = position(15, opening, false);
  fixed.depth = 3;
  const GameId id = created(service, fixed).id;
  const GameView g = idle(service, id);
  ASSERT_TRUE(g.last_search);
  EXPECT_TRUE(g.last_search->fixed_depth);
  EXPECT_EQ(g.last_search->depth, 3) << "the last iteration was not reported";
  EXPECT_GT(g.last_search->nodes, 0);
  ASSERT_EQ(g.stones.size(), 4u);
  ASSERT_FALSE(g.last_search->pv.empty());
  EXPECT_EQ(g.last_search->pv.front(), g.stones.back());
}

// Without worker threads (a browser's worker): a search waits until the
// owner runs it, which tells the listener about each iteration; a change
// sent before a search ended is refused as busy, as it would have been on
// arrival, while one sent after it is played.
TEST(GameService, SearchesOnTheCallersThread) {
  ServiceConfig config;
  config.searches_on_caller = true;
  config.max_games = 2;
  GameService service(config);
  EXPECT_FALSE(service.run_next_search());
  NewGame fixed = position(15, "7,7 8,8", false);
  fixed.depth = 4;  // the plus brain's iterations 1 to 4, whatever the clock
  const GameId id = created(service, fixed).id;
  const Reply played = service.play(id, {6, 8});
  ASSERT_TRUE(played.searching);
  EXPECT_EQ(service.get(id).game.status, Status::THINKING);
  EXPECT_EQ(service.play(id, {9, 9}).error, BUSY_ERROR);
  EXPECT_EQ(service.stats().searching, 1);

  const int64_t sent_while_busy = clock_ms();
  std::vector<GameView> progress;
  EXPECT_TRUE(service.run_next_search([&](const GameView& view) { progress.push_back(view); }));
  ASSERT_EQ(progress.size(), 4u);
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].status, Status::THINKING);
    ASSERT_TRUE(progress[i].last_search);
    EXPECT_TRUE(progress[i].last_search->running);
    if (i > 0) {
      EXPECT_GT(progress[i].last_search->depth, progress[i - 1].last_search->depth);
    }
  }
  const GameView answered = service.get(id).game;
  ASSERT_EQ(answered.stones.size(), 4u);
  EXPECT_EQ(answered.status, Status::PLAYING);
  EXPECT_EQ(service.stats().searching, 0);

  service.set_request_sent_ms(sent_while_busy);
  EXPECT_EQ(service.play(id, {0, 0}).error, BUSY_ERROR);
  EXPECT_EQ(service.undo(id).error, BUSY_ERROR);
  EXPECT_EQ(service.hint(id).error, BUSY_ERROR);
  EXPECT_EQ(service.get(id).game.stones, answered.stones);
  EXPECT_EQ(service.watch(id, false).refusal, Refusal::NONE);  // as on arrival: allowed while busy
  service.set_request_sent_ms(clock_ms());
  EXPECT_TRUE(service.play(id, {0, 0}).searching);
  service.set_request_sent_ms(std::nullopt);

  // Removed before its search ran: the search is dropped with the game.
  ASSERT_EQ(service.remove(id).refusal, Refusal::NONE);
  EXPECT_TRUE(service.run_next_search());
  EXPECT_EQ(service.stats().engines, 0);

  // Watching to the end, the caller running each search in turn.
  const GameId watched = created(service, position(7, "", false, MIN_TIME_MS)).id;
  ASSERT_TRUE(service.watch(watched, true).searching);
  const GameView end = idle(service, watched);
  EXPECT_NE(end.status, Status::PLAYING);
  EXPECT_TRUE(all_distinct_on_board(end));
}

// Many games at once: created, played, watched, hinted and removed from
// several threads while searches run, with fewer slots than games asked for.
TEST(GameService, ManyGamesAtOnce) {
  ServiceConfig config;
  config.max_games = 6;
  config.search_threads = 3;
  GameService service(config);
  std::atomic<int> games_played{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&, c] {
      for (int round = 0; round < 3; ++round) {
        const Reply r = service.create(position(7 + 2 * c, "", c % 2 == 1, MIN_TIME_MS));
        if (r.refusal != Refusal::NONE) {
          EXPECT_EQ(r.refusal, Refusal::UNAVAILABLE) << r.error;
          std::this_thread::sleep_for(20ms);
          continue;
        }
        const GameId id = r.game.id;
        if (round == 1) {
          service.watch(id, true);
          std::this_thread::sleep_for(100ms);
          service.watch(id, false);
        }
        for (int move = 0; move < 4; ++move) {
          const Reply now = service.wait_until_idle(id, WAIT);
          if (now.refusal != Refusal::NONE || now.game.status != Status::PLAYING) break;
          if (move == 2) {
            service.hint(id);
            continue;
          }
          // The first empty square in row order.
          const int size = now.game.size;
          for (int i = 0; i < size * size; ++i) {
            const Square s{i % size, i / size};
            if (std::find(now.game.stones.begin(), now.game.stones.end(), s) == now.game.stones.end()) {
              service.play(id, s);
              break;
            }
          }
        }
        const GameView end = service.wait_until_idle(id, WAIT).game;
        EXPECT_TRUE(all_distinct_on_board(end));
        if (round == 0) {
          // Removed while its engine thinks, when the game goes on.
          const Square far{end.size - 1, end.size - 1};
          if (std::find(end.stones.begin(), end.stones.end(), far) == end.stones.end())
            service.play(id, far);
          service.remove(id);
        } else if (round == 1) {
          service.remove(id);
        }
        ++games_played;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_GT(games_played.load(), 0);
  const ServiceStats stats = service.stats();
  EXPECT_LE(stats.engines, config.max_games);
  EXPECT_LE(stats.games, config.max_games);
}

}  // namespace
}  // namespace quorlith::board
