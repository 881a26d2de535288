// Property tests over random games on boards of 5, 15, 20 and 32: after
// every stone the kept state equals a recomputation from the stones, a
// trial make_move + undo_stone restores every field (and preview_move
// foresees its counts of Ratings 3 to 8, shape sums and hash words), the evaluation (kept
// stone by stone) equals the five-cell-segment sum, and transposed move
// orders meet the same position. Fixed seeds keep every run the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"

namespace quorlith {
namespace {


// Every field that make_move and undo_stone touch, except nodes.
struct Snapshot {
  Cell cells[GRID_SIDE][GRID_SIDE];
  int32_t size, move_count, side_to_move, opponent;
  int32_t rating_count[2][9];
  Point move_history[MAX_STONES];
  Point box_min_history[MAX_STONES];
  Point box_max_history[MAX_STONES];
  Point box_min, box_max;
  uint32_t hash_index, hash_check1, hash_check2;
  int32_t shape_sum[2];

  void take(const Engine& e) {
    std::memcpy(cells, e.cells, sizeof cells);
    size = e.size;
    move_count = e.move_count;
    side_to_move = e.side_to_move;
    opponent = e.opponent;
    std::memcpy(rating_count, e.rating_count, sizeof rating_count);
    std::copy_n(e.move_history, move_count, move_history);
    std::copy_n(e.box_min_history, move_count, box_min_history);
    std::copy_n(e.box_max_history, move_count, box_max_history);
    box_min = e.box_min;
    box_max = e.box_max;
    hash_index = e.hash_index;
    hash_check1 = e.hash_check1;
    hash_check2 = e.hash_check2;
    std::copy_n(e.shape_sum, 2, shape_sum);
  }

  // Empty when the engine still holds the snapshot, else the first change.
  std::string compare(const Engine& e) const {
    for (int x = 0; x < GRID_SIDE; ++x)
      for (int y = 0; y < GRID_SIDE; ++y)
        if (std::memcmp(&cells[x][y], &e.cells[x][y], sizeof(Cell)) != 0)
          return "cell (" + std::to_string(x) + "," + std::to_string(y) + ")";
    if (size != e.size || move_count != e.move_count) return "size or move_count";
    if (side_to_move != e.side_to_move || opponent != e.opponent) return "side fields";
    if (std::memcmp(rating_count, e.rating_count, sizeof rating_count) != 0) return "rating_count";
    for (int i = 0; i < move_count; ++i)
      if (!(move_history[i] == e.move_history[i]) || !(box_min_history[i] == e.box_min_history[i]) ||
          !(box_max_history[i] == e.box_max_history[i]))
        return "history entry " + std::to_string(i);
    if (!(box_min == e.box_min) || !(box_max == e.box_max)) return "bounding box";
    if (hash_index != e.hash_index || hash_check1 != e.hash_check1 || hash_check2 != e.hash_check2)
      return "hash words";
    if (shape_sum[0] != e.shape_sum[0] || shape_sum[1] != e.shape_sum[1]) return "shape sums";
    return {};
  }
};

// The evaluation restated over the board: per side, every five-cell segment
// in each of the four directions that holds no wall and no enemy stone and
// n >= 1 own stones adds n * (4n - 1).
int32_t segment_evaluation(const Engine& e) {
  const int lo = BORDER, hi = e.size + BORDER - 1;
  auto on_board = [&](int x, int y) { return x >= lo && x <= hi && y >= lo && y <= hi; };
  int32_t sum[2] = {0, 0};
  for (const auto [dx, dy] : DIRECTIONS)
    for (int x = lo; x <= hi; ++x)
      for (int y = lo; y <= hi; ++y) {
        if (!on_board(x + 4 * dx, y + 4 * dy)) continue;
        int stones[2] = {0, 0};
        for (int i = 0; i < 5; ++i) {
          const int32_t o = e.cells[x + i * dx][y + i * dy].occupant;
          if (o == 0 || o == 1) ++stones[o];
        }
        for (int s = 0; s < 2; ++s) {
          const int n = stones[s];
          if (n >= 1 && stones[1 - s] == 0) sum[s] += n * (4 * n - 1);
        }
      }
  return sum[e.side_to_move] - sum[e.opponent];
}

class RandomGames : public ::testing::Test {
 protected:
  std::mt19937 rng{20240611u};
  std::unique_ptr<Snapshot> snapshot = std::make_unique<Snapshot>();
  // Two engines serve every game of a test: start_game must forget the
  // previous game completely for the checks to keep passing.
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  std::unique_ptr<Engine> replay = std::make_unique<Engine>();

  int pick(int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); }

  std::vector<Point> empty_cells(const Engine& e, bool box_only) const {
    const int lo = BORDER, hi = e.size + BORDER - 1;
    const int x0 = box_only ? e.box_min.x : lo, x1 = box_only ? e.box_max.x : hi;
    const int y0 = box_only ? e.box_min.y : lo, y1 = box_only ? e.box_max.y : hi;
    std::vector<Point> cells;
    for (int x = x0; x <= x1; ++x)
      for (int y = y0; y <= y1; ++y)
        if (e.cells[x][y].occupant == EMPTY) cells.push_back(Point{uint8_t(x), uint8_t(y)});
    return cells;
  }

  // Mostly stones near the others (shapes form), sometimes anywhere.
  bool random_empty_cell(const Engine& e, Point& out) {
    std::vector<Point> cells = empty_cells(e, pick(4) != 0);
    if (cells.empty()) cells = empty_cells(e, false);
    if (cells.empty()) return false;
    out = cells[pick(static_cast<int>(cells.size()))];
    return true;
  }

  // After a stone: the kept state against its recomputation, the
  // evaluation against the segment sum, and a trial stone, foreseen by
  // preview_move, then taken back.
  void check_position(Engine& e) {
    ASSERT_EQ(e.verify(), "") << "after " << e.move_count << " stones";
    ASSERT_EQ(e.evaluate(), segment_evaluation(e)) << "after " << e.move_count << " stones";
    Point trial;
    if (!random_empty_cell(e, trial)) return;
    snapshot->take(e);
    const int32_t nodes = e.nodes;
    Engine::Preview preview;
    e.preview_move(trial.x, trial.y, preview);
    ASSERT_EQ(snapshot->compare(e), "") << "preview_move changed the position";
    e.make_move(trial.x, trial.y);
    ASSERT_EQ(e.verify(), "") << "trial stone " << int(trial.x) << "," << int(trial.y);
    // What the preview worked out is what the stone left.
    for (int s = 0; s < 2; ++s)
      for (int r = RATING_DOUBLE_THREE; r <= RATING_FIVE; ++r)
        ASSERT_EQ(preview.rating_count[s][r], e.rating_count[s][r]) << "side " << s << " rating " << r;
    EXPECT_EQ(preview.shape_sum[0], e.shape_sum[0]);
    EXPECT_EQ(preview.shape_sum[1], e.shape_sum[1]);
    EXPECT_EQ(preview.hash_index, e.hash_index);
    EXPECT_EQ(preview.hash_check1, e.hash_check1);
    EXPECT_EQ(preview.hash_check2, e.hash_check2);
    e.undo_stone();
    ASSERT_EQ(snapshot->compare(e), "")
        << "not restored after the trial stone " << int(trial.x) << "," << int(trial.y);
    EXPECT_EQ(e.nodes, nodes + 1);
    EXPECT_EQ(e.move_history[e.move_count], trial);
  }

  // Plays up to `stones` random stones (the whole board when it is larger),
  // checking every position; returns the stones played.
  std::vector<Point> play(Engine& e, int stones) {
    std::vector<Point> played;
    for (int i = 0; i < stones; ++i) {
      Point p;
      if (!random_empty_cell(e, p)) break;
      e.make_move(p.x, p.y);
      played.push_back(p);
      check_position(e);
      if (::testing::Test::HasFatalFailure()) break;
    }
    return played;
  }

  // The same stones in another order, each side's stones shuffled among
  // themselves, must reach the same position and the same hash words.
  void check_transposition(const Engine& e, const std::vector<Point>& played) {
    std::vector<Point> by_side[2];
    for (std::size_t i = 0; i < played.size(); ++i) by_side[i % 2].push_back(played[i]);
    for (auto& stones : by_side) std::shuffle(stones.begin(), stones.end(), rng);
    Engine* other = replay.get();
    other->start_game(e.size);
    for (std::size_t i = 0; i < played.size(); ++i) {
      const Point p = by_side[i % 2][i / 2];
      other->make_move(p.x, p.y);
    }
    EXPECT_EQ(other->hash_index, e.hash_index);
    EXPECT_EQ(other->hash_check1, e.hash_check1);
    EXPECT_EQ(other->hash_check2, e.hash_check2);
    EXPECT_EQ(other->evaluate(), e.evaluate());
    EXPECT_EQ(other->verify(), "");
    EXPECT_EQ(std::memcmp(other->rating_count, e.rating_count, sizeof e.rating_count), 0);
    // Masks everywhere; classes and ratings where they are kept (occupied
    // cells keep those of the moment their stone went in, which depends on
    // the order).
    const int hi = e.size + BORDER - 1;
    for (int x = BORDER; x <= hi; ++x)
      for (int y = BORDER; y <= hi; ++y) {
        const Cell& a = e.cells[x][y];
        const Cell& b = other->cells[x][y];
        ASSERT_EQ(a.occupant, b.occupant) << x << "," << y;
        ASSERT_EQ(std::memcmp(a.line_mask, b.line_mask, sizeof a.line_mask), 0) << x << "," << y;
        if (a.occupant == EMPTY) {
          ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << "," << y;
        }
      }
  }

  // A whole game: random stones, the transposed order, then every stone
  // taken back, which must give the freshly started board again.
  void run_game(int size, int stones) {
    Engine& e = *engine;
    e.start_game(size);
    auto fresh = std::make_unique<Snapshot>();
    fresh->take(e);
    const std::vector<Point> played = play(e, stones);
    if (HasFatalFailure()) return;
    check_transposition(e, played);
    while (e.move_count > 0) e.undo_stone();
    EXPECT_EQ(fresh->compare(e), "") << "taking every stone back";
    EXPECT_EQ(e.verify(), "");
  }
};

TEST_F(RandomGames, Board5PlayedToTheEnd) {
  for (int game = 0; game < 30 && !HasFatalFailure(); ++game) {
    SCOPED_TRACE("game " + std::to_string(game));
    run_game(5, 25);
  }
}

TEST_F(RandomGames, Board15) {
  for (int game = 0; game < 6 && !HasFatalFailure(); ++game) {
    SCOPED_TRACE("game " + std::to_string(game));
    run_game(15, game < 2 ? 225 : 90);
  }
}

TEST_F(RandomGames, Board20) {
  for (int game = 0; game < 4 && !HasFatalFailure(); ++game) {
    SCOPED_TRACE("game " + std::to_string(game));
    run_game(20, 120);
  }
}

TEST_F(RandomGames, Board32) {
  for (int game = 0; game < 2 && !HasFatalFailure(); ++game) {
    SCOPED_TRACE("game " + std::to_string(game));
    run_game(32, game == 0 ? 300 : 150);
  }
}

TEST_F(RandomGames, FullBoardLeavesNoMoveAndEveryCountAtItsOffset) {
  Engine& e = *engine;
  e.start_game(9);
  const std::vector<Point> played = play(e, 81);
  ASSERT_EQ(played.size(), 81u);
  EXPECT_EQ(e.move_count, 81);
  Point none;
  EXPECT_FALSE(random_empty_cell(e, none));
  // No empty cell: each Rating count is 0 but Rating 0's, which sits at
  // minus the number of playable cells.
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(e.rating_count[s][0], -81);
    for (int r = 1; r < 9; ++r) EXPECT_EQ(e.rating_count[s][r], 0) << s << r;
  }
  EXPECT_EQ(e.box_min, (Point{4, 4}));
  EXPECT_EQ(e.box_max, (Point{12, 12}));
}

}  // namespace
}  // namespace quorlith
