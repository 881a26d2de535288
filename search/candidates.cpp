#include <bit>
#include <cstdint>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"
#include "search/scan.h"

namespace quorlith {

namespace {

ScoredMove scored(int x, int y, int score) {
  return ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), score};
}

}  // namespace

// 1. The table move first (key 10000), if the table knows this position.
// 2. Every other neighbour cell of the box scoring above 1, in row order.
// 3. Narrowing, first rule that applies: our five point; the enemy's five
//    point; our open four; against an enemy open-four threat, every cell
//    where either side makes a four (score above 0).
//
// The narrowing rules are known from the rating counts before the scan, so
// the list of step 2 is built only when it is kept. Rules 1 to 3 keep the
// first entry of that list whose cell carries the rating: the table move
// if it does, else the first neighbour cell in row order that does and
// scores above 1 (every entry of step 2 does). Rule 4 builds its own list.
void Engine::generate_candidates(ScoredMove* list, int& count) {
  const int me = side_to_move;
  const int opp = opponent;
  // Counted in a local, written back at the end: list and count may not
  // alias, and the scan stays in registers.
  int n = 0;

  // 1. Table move. Its cell is checked to be empty, so even a check-word
  //    collision can never bring an occupied cell into the list.
  list[0].x = -1;
  int table_x = -1, table_y = -1;
  const HashEntry& entry = transposition_table[hash_index];
  if (entry.check1 == hash_check1 && entry.check2 == hash_check2 && entry.reply.x != 0 &&
      cells[entry.reply.x][entry.reply.y].occupant == EMPTY) {
    table_x = entry.reply.x;
    table_y = entry.reply.y;
    list[0] = scored(table_x, table_y, HASH_MOVE_SCORE);
    n = 1;
  }

  // 3. Narrowing rules 1 to 3: the side and rating to look for.
  int side = -1, rating = 0;
  if (rating_count[me][RATING_FIVE] > 0) {
    side = me, rating = RATING_FIVE;
  } else if (rating_count[opp][RATING_FIVE] > 0) {
    side = opp, rating = RATING_FIVE;
  } else if (rating_count[me][RATING_OPEN_FOUR] > 0) {
    side = me, rating = RATING_OPEN_FOUR;
  }
  if (side >= 0) {
    if (n == 1 && cells[table_x][table_y].rating[side] == rating) {
      count = 1;
      return;
    }
    // With one cell carrying the rating, it is found near the last stone
    // when it is there (see find_single_rated_cell).
    ScoredMove first{};
    int x = 0, y = 0;
    bool found;
    if (find_single_rated_cell(*this, side, rating, x, y)) {
      const int score = score_move(cells[x][y]);
      found = score > 1;
      first = scored(x, y, score);
    } else {
      found = scan_neighbour_cells(*this, [&](int cx, int cy, const Cell& c) {
        if (c.rating[side] != rating || (cx == table_x && cy == table_y)) return false;
        const int score = score_move(c);
        if (score <= 1) return false;
        first = scored(cx, cy, score);
        return true;
      });
    }
    if (found) {
      list[0] = first;
      count = 1;
      return;
    }
    // No entry carries the rating: the list of step 2 stays as it is.
  } else if (rating_count[opp][RATING_OPEN_FOUR] > 0) {
    // 3.4 Against an enemy open-four threat.
    n = 0;
    scan_neighbour_cells(*this, [&](int x, int y, const Cell& c) {
      if (c.rating[me] < RATING_FOUR && c.rating[opp] < RATING_FOUR) return false;
      const int score = score_move(c);
      list[n] = scored(x, y, score);
      if (score > 0) ++n;
      return false;
    });
    count = n;
    return;
  }

  // 2. Scan, row by row as scan_neighbour_cells does, with the table move's
  //    cell taken out of its row. An entry scoring 1 or less is written but
  //    not counted, so the next one overwrites it.
  const uint64_t columns = box_columns(*this);
  for (int y = box_min.y; y <= box_max.y; ++y) {
    uint64_t row = neighbour_row(*this, y) & columns;
    if (y == table_y) row &= ~(uint64_t{1} << table_x);
    while (row != 0) {
      const int x = std::countr_zero(row);
      row &= row - 1;
      const int score = score_move(cells[x][y]);
      list[n] = scored(x, y, score);
      n += score > 1 ? 1 : 0;
    }
  }
  count = n;
}

}  // namespace quorlith
