// The hash key tables: range, distinctness, and a key for every side and
// cell of every board size.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "common/engine_fixture.h"
#include "engine/engine.h"
#include "engine/keys.h"

namespace quorlith {
namespace {

TEST(HashKeys, EveryKeyInRangeAndDistinctWithinItsTable) {
  const std::pair<const char*, const KeyTable*> tables[] = {
      {"INDEX_KEY", &INDEX_KEY}, {"CHECK_KEY_1", &CHECK_KEY_1}, {"CHECK_KEY_2", &CHECK_KEY_2}};
  for (const auto& [name, table] : tables) {
    std::set<int32_t> seen;
    for (int s = 0; s < 2; ++s)
      for (int y = 0; y < GRID_SIDE; ++y)
        for (int x = 0; x < GRID_SIDE; ++x) {
          const int32_t key = (*table)[s][y][x];
          ASSERT_GE(key, 1) << name << " [" << s << "][" << y << "][" << x << "]";
          ASSERT_LE(key, (1 << 30) - 1) << name << " [" << s << "][" << y << "][" << x << "]";
          seen.insert(key);
        }
    EXPECT_EQ(seen.size(), 2u * GRID_SIDE * GRID_SIDE) << name << " repeats a key";
  }
}

TEST(HashKeys, TablesAreNotCopiesOfOneAnother) {
  int same_01 = 0, same_02 = 0, same_12 = 0;
  for (int s = 0; s < 2; ++s)
    for (int y = 0; y < GRID_SIDE; ++y)
      for (int x = 0; x < GRID_SIDE; ++x) {
        same_01 += INDEX_KEY[s][y][x] == CHECK_KEY_1[s][y][x];
        same_02 += INDEX_KEY[s][y][x] == CHECK_KEY_2[s][y][x];
        same_12 += CHECK_KEY_1[s][y][x] == CHECK_KEY_2[s][y][x];
      }
  EXPECT_EQ(same_01 + same_02 + same_12, 0);
}

TEST(HashKeys, EveryStoneOfTheLargestBoardHasItsOwnHashWords) {
  // A single stone's hash words are its keys, so every side and cell of a
  // 32x32 board (engine coordinates up to 35) must give a distinct triple.
  auto engine = test_support::new_game(32);
  Engine& e = *engine;
  std::set<std::tuple<uint32_t, uint32_t, uint32_t>> seen;
  for (int s = 0; s < 2; ++s) {
    if (s == 1) e.make_move(BORDER, BORDER);  // side 1 to move; undone below
    for (int x = BORDER; x < 32 + BORDER; ++x)
      for (int y = BORDER; y < 32 + BORDER; ++y) {
        if (e.cells[x][y].occupant != EMPTY) continue;
        const auto before = std::tuple{e.hash_index, e.hash_check1, e.hash_check2};
        e.make_move(x, y);
        const uint32_t index = (e.hash_index - std::get<0>(before)) & HASH_MASK;
        const uint32_t check1 = e.hash_check1 - std::get<1>(before);
        const uint32_t check2 = e.hash_check2 - std::get<2>(before);
        EXPECT_EQ(index, static_cast<uint32_t>(INDEX_KEY[s][y][x]) & HASH_MASK);
        EXPECT_EQ(check1, static_cast<uint32_t>(CHECK_KEY_1[s][y][x]));
        EXPECT_EQ(check2, static_cast<uint32_t>(CHECK_KEY_2[s][y][x]));
        seen.insert({index, check1, check2});
        e.undo_stone();
      }
    if (s == 1) e.undo_stone();
  }
  EXPECT_EQ(seen.size(), 2u * 1024 - 1);  // side 1 never stands on (4, 4)
  // The far corner of the largest board.
  EXPECT_NE(CHECK_KEY_1[0][35][35], CHECK_KEY_1[1][35][35]);
  EXPECT_EQ(e.hash_check1, 0u);
}

}  // namespace
}  // namespace quorlith
