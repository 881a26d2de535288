#include "board/referee.h"

#include <algorithm>

#include "patterns/pattern_rules.h"

namespace quorlith::board {

bool makes_five(const Engine& engine, Square s) {
  const Cell& c = engine.cells[s.x + BORDER][s.y + BORDER];
  return c.occupant == EMPTY && c.rating[engine.side_to_move] == RATING_FIVE;
}

std::vector<Square> lines_of_five_through(const Engine& engine, Square s, Rule rule) {
  std::vector<Square> line;
  const int gx = s.x + BORDER;
  const int gy = s.y + BORDER;
  const int32_t side = engine.cells[gx][gy].occupant;
  if (side != 0 && side != 1) return line;
  // Walls are never a side's stone, so every walk ends inside the grid.
  auto stone_at = [&](int x, int y) { return engine.cells[x][y].occupant == side; };
  for (const Direction d : DIRECTIONS) {
    int back = 0;
    while (stone_at(gx - (back + 1) * d.dx, gy - (back + 1) * d.dy)) ++back;
    int ahead = 0;
    while (stone_at(gx + (ahead + 1) * d.dx, gy + (ahead + 1) * d.dy)) ++ahead;
    if (!is_winning_run(rule, side, back + 1 + ahead)) continue;
    for (int i = -back; i <= ahead; ++i) {
      const Square q{s.x + i * d.dx, s.y + i * d.dy};
      if (std::find(line.begin(), line.end(), q) == line.end()) line.push_back(q);
    }
  }
  return line;
}

}  // namespace quorlith::board
