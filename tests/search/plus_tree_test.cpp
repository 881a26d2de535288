// The plus brain's own alpha-beta. Every iteration must find the plain
// minimax value, which the exact alpha-beta finds too: the principal
// variation search, the bounds its table keeps and the forced results
// counted from the root all have to be right for the two to agree over
// random positions. Under a clock that runs out it must still leave the
// position as it found it and name one of its root moves.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "search/plus_tree.h"
#include "search/search_helpers.h"
#include "search/threat_puzzles.h"

namespace quorlith::search_test {
namespace {

// A random game of `stones` stones near the centre of a 15 x 15 board that
// nobody has won; false when it ended early or the side to move has a
// forced result at the root (the exact root answers those apart).
bool random_position(Engine& e, std::mt19937& rng, int stones) {
  e.start_game(15);
  std::uniform_int_distribution<int> coord(3, 11);
  for (int i = 0; i < stones; ++i) {
    int x, y;
    do {
      x = coord(rng);
      y = coord(rng);
    } while (!e.is_open_square(x, y));
    if (e.cells[x + BORDER][y + BORDER].rating[e.side_to_move] == RATING_FIVE) return false;
    e.place_stone(x, y);
  }
  return e.threat_check() == 0;
}

int root_moves(Engine& e, PlusTree::RootMove* root) {
  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  e.generate_candidates(list, count);
  for (int i = 0; i < count; ++i) root[i] = PlusTree::RootMove{list[i]};
  return count;
}

constexpr int64_t NO_DEADLINE = int64_t{1} << 60;
constexpr int TREE_PUZZLE_DEPTH = 5;

TEST(PlusTree, EveryIterationFindsTheExactSearchsValue) {
  std::mt19937 rng(4242);
  auto e = std::make_unique<Engine>();
  auto tree = std::make_unique<PlusTree>();
  tree->search_as_exact(true);
  int compared = 0, forced = 0;
  for (int game = 0; game < 60 && compared < 40; ++game) {
    if (!random_position(*e, rng, 8 + game % 14)) continue;
    PlusTree::RootMove root[MAX_CANDIDATES];
    const int count = root_moves(*e, root);
    if (count < 2) continue;
    const int depth = 3 + game % 2;
    e->clear_search_without_deadline();
    const int32_t exact = e->alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND).score;
    const GameState before(*e);
    tree->clear();
    const PlusTree::Result r = tree->search(*e, root, count, depth, NO_DEADLINE);
    ASSERT_TRUE(GameState(*e) == before) << "game " << game;
    EXPECT_EQ(r.depth_reached, depth);
    EXPECT_EQ(r.value, exact) << "game " << game << " depth " << depth;
    if (exact >= MATE_BAND || exact <= -MATE_BAND) ++forced;
    // The move it names is worth the value it found.
    EXPECT_EQ(root[r.best].value, r.value);
    ++compared;
  }
  EXPECT_GE(compared, 30);
  EXPECT_GE(forced, 1) << "no position with a forced result at the horizon";
}

TEST(PlusTree, KeepsThePositionAndNamesARootMoveWhenTheClockRunsOut) {
  std::mt19937 rng(99);
  auto e = std::make_unique<Engine>();
  auto tree = std::make_unique<PlusTree>();
  int searched = 0;
  for (int game = 0; game < 30; ++game) {
    if (!random_position(*e, rng, 8 + game % 12)) continue;
    PlusTree::RootMove root[MAX_CANDIDATES];
    const int count = root_moves(*e, root);
    if (count < 2) continue;
    const GameState before(*e);
    // Past at once, then 30 ms: stopped before its first iteration, and
    // somewhere inside a later one.
    for (const int64_t deadline : {clock_ms() - 1, clock_ms() + 30}) {
      const PlusTree::Result r = tree->search(*e, root, count, DEEPEST_SEARCH, deadline);
      ASSERT_TRUE(GameState(*e) == before) << "game " << game;
      EXPECT_EQ(e->verify(), "");
      EXPECT_GE(r.best, 0);
      EXPECT_LT(r.best, count);
    }
    ++searched;
  }
  EXPECT_GE(searched, 10);
}

// The puzzles won by threes and fours that the exact alpha-beta misses at
// depth 9: a tree that does not spend depth on the answers to threats
// sees more of these wins at a shallow depth than one that does.
TEST(PlusTree, AnswersToThreatsDoNotUseUpDepth) {
  constexpr int DEPTH = TREE_PUZZLE_DEPTH;
  auto e = std::make_unique<Engine>();
  auto tree = std::make_unique<PlusTree>();
  int puzzles = 0, won_extended = 0, won_exact = 0;
  for (const ThreatPuzzle& puzzle : THREAT_PUZZLES) {
    if (std::string(puzzle.kind) != "threats") continue;
    ++puzzles;
    e->start_game(15);
    std::istringstream in(puzzle.moves);
    std::string square;
    while (in >> square)
      e->place_stone(std::stoi(square), std::stoi(square.substr(square.find(',') + 1)));
    PlusTree::RootMove root[MAX_CANDIDATES];
    const int count = root_moves(*e, root);
    const GameState before(*e);
    for (const bool exact : {false, true}) {
      tree->search_as_exact(exact);
      tree->clear();
      const PlusTree::Result r = tree->search(*e, root, count, DEPTH, NO_DEADLINE);
      ASSERT_TRUE(GameState(*e) == before) << puzzle.moves;
      // Neither ever sees a loss: the side to move wins.
      EXPECT_GT(r.value, -MATE_BAND) << puzzle.moves;
      if (r.value >= MATE_BAND) ++(exact ? won_exact : won_extended);
    }
  }
  std::printf("threat puzzles won at depth %d: %d of %d extended, %d without\n", DEPTH,
              won_extended, puzzles, won_exact);
  EXPECT_GT(won_extended, won_exact);
  EXPECT_GE(won_extended, puzzles / 3);
}

}  // namespace
}  // namespace quorlith::search_test
