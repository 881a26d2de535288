#include "engine/engine.h"

#include <algorithm>

#include "engine/keys.h"
#include "patterns/tables.h"

namespace quorlith {

namespace {

// Offsets of the neighbour counts: the 8 adjacent cells, and the 8 cells two
// steps away along the four lines.
constexpr Direction NEAR_OFFSETS[8] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                       {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
constexpr Direction FAR_OFFSETS[8] = {{-2, -2}, {0, -2}, {2, -2}, {-2, 0},
                                      {2, 0},   {-2, 2}, {0, 2},  {2, 2}};

// Bit of the cell d steps from a stone, as seen from that cell: a cell in the
// negative direction sees the stone d steps on its positive side, and the
// other way round.
constexpr uint8_t bit_seen_from_negative(int d) { return static_cast<uint8_t>(16u << (d - 1)); }
constexpr uint8_t bit_seen_from_positive(int d) { return static_cast<uint8_t>(8u >> (d - 1)); }

uint8_t class_of(const Cell& c, int k, int s) {
  return LINE_CLASS_TABLE[line_index(c.line_mask[k][s], c.line_mask[k][1 - s])];
}

uint8_t rating_of(const Cell& c, int s) {
  return RATING_TABLE[rating_index(c.pattern_class[0][s], c.pattern_class[1][s],
                                   c.pattern_class[2][s], c.pattern_class[3][s])];
}

}  // namespace

Engine::Engine() {
  for (int i = 0; i < MAX_STONES; ++i) {
    move_history[i] = Point{};
    box_min_history[i] = Point{};
    box_max_history[i] = Point{};
  }
  box_min = Point{};
  box_max = Point{};
  for (HashEntry& entry : transposition_table) entry.reply = Point{};
  // The search fields get defined values too, so that nothing is ever read
  // uninitialised (update_pv copies up to pv_length of the next ply, which a
  // node may not have written yet). start_game leaves them alone.
  nodes = 0;
  for (auto& row : pv)
    for (auto& move : row) move = PvMove{0, 0};
  for (int32_t& length : pv_length) length = 0;
  follow_pv = false;
  stop = false;
  ply = 0;
  time_per_move_ms = 0;
  max_depth = 0;
  deadline_ms = 0;
  size = 0;
  move_count = 0;
}

void Engine::start_game(int n) {
  // 1. The derived tables come first: every rating below is looked up in them.
  build_pattern_tables();
  size = n;
  const int last = n + 2 * BORDER - 1;  // last grid coordinate in use

  // 2. Occupants, clear masks.
  for (int x = 0; x <= last; ++x) {
    for (int y = 0; y <= last; ++y) {
      Cell& c = cells[x][y];
      const bool playable = x >= BORDER && x < n + BORDER && y >= BORDER && y < n + BORDER;
      c.occupant = playable ? EMPTY : WALL;
      for (auto& pair : c.line_mask) pair[0] = pair[1] = 0;
    }
  }

  // 3. Walls within four steps enter both sides' masks; then classes,
  //    ratings and neighbour counts of every playable cell.
  for (int x = BORDER; x < n + BORDER; ++x) {
    for (int y = BORDER; y < n + BORDER; ++y) {
      Cell& c = cells[x][y];
      for (int k = 0; k < 4; ++k) {
        const auto [dx, dy] = DIRECTIONS[k];
        uint8_t walls = 0;
        for (int d = 1; d <= 4; ++d) {
          if (cells[x - d * dx][y - d * dy].occupant == WALL) walls |= bit_seen_from_positive(d);
          if (cells[x + d * dx][y + d * dy].occupant == WALL) walls |= bit_seen_from_negative(d);
        }
        c.line_mask[k][0] = c.line_mask[k][1] = walls;
      }
      refresh_cell(c);
      c.near_count = 0;
      c.far_count = 0;
    }
  }

  for (auto& side : rating_count) std::fill(std::begin(side), std::end(side), 0);
  side_to_move = 0;
  opponent = 1;
  move_count = 0;

  const uint8_t centre = static_cast<uint8_t>(n / 2 + BORDER);
  box_min = Point{static_cast<uint8_t>(centre - 1), static_cast<uint8_t>(centre - 1)};
  box_max = Point{static_cast<uint8_t>(centre + 1), static_cast<uint8_t>(centre + 1)};

  hash_index = hash_check1 = hash_check2 = 0;

  // The replies are left alone: a check-word pair of 0 never matches a
  // position with stones, and the empty position is never probed.
  for (HashEntry& entry : transposition_table) {
    entry.check1 = 0;
    entry.check2 = 0;
    entry.score = 0;
    entry.depth = 0;
  }
}

void Engine::place_stone(int x, int y) { make_move(x + BORDER, y + BORDER); }

void Engine::idle_hook() {}

const char* Engine::name() { return "Quorlith"; }

bool Engine::is_open_square(int x, int y) const {
  if (x < 0 || y < 0 || x >= size || y >= size) return false;
  return cells[x + BORDER][y + BORDER].occupant == EMPTY;
}

void Engine::refresh_cell(Cell& d) {
  for (int k = 0; k < 4; ++k) {
    d.pattern_class[k][0] = class_of(d, k, 0);
    d.pattern_class[k][1] = class_of(d, k, 1);
  }
  d.rating[0] = rating_of(d, 0);
  d.rating[1] = rating_of(d, 1);
}

void Engine::refresh_line(Cell& d, int k) {
  d.pattern_class[k][0] = class_of(d, k, 0);
  d.pattern_class[k][1] = class_of(d, k, 1);
  --rating_count[0][d.rating[0]];
  --rating_count[1][d.rating[1]];
  d.rating[0] = rating_of(d, 0);
  d.rating[1] = rating_of(d, 1);
  ++rating_count[0][d.rating[0]];
  ++rating_count[1][d.rating[1]];
}

void Engine::make_move(int x, int y) {
  const int s = side_to_move;
  Cell& q = cells[x][y];

  // 1. Count the node; the stone's cell stops counting as empty.
  ++nodes;
  --rating_count[0][q.rating[0]];
  --rating_count[1][q.rating[1]];
  q.occupant = s;

  // 2. History, then widen the box to radius 2 around the stone.
  move_history[move_count] = Point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)};
  box_min_history[move_count] = box_min;
  box_max_history[move_count] = box_max;
  ++move_count;
  const int lo = BORDER;
  const int hi = size + BORDER - 1;
  box_min.x = static_cast<uint8_t>(std::max(lo, std::min<int>(box_min.x, x - 2)));
  box_min.y = static_cast<uint8_t>(std::max(lo, std::min<int>(box_min.y, y - 2)));
  box_max.x = static_cast<uint8_t>(std::min(hi, std::max<int>(box_max.x, x + 2)));
  box_max.y = static_cast<uint8_t>(std::min(hi, std::max<int>(box_max.y, y + 2)));

  // 3. Enter the stone into the masks of the 32 cells in reach; re-rate the
  //    empty ones. The border guarantees every cell lies inside the grid.
  for (int k = 0; k < 4; ++k) {
    const auto [dx, dy] = DIRECTIONS[k];
    for (int d = 1; d <= 4; ++d) {
      Cell& c = cells[x - d * dx][y - d * dy];
      c.line_mask[k][s] |= bit_seen_from_negative(d);
      if (c.occupant == EMPTY) refresh_line(c, k);
    }
    for (int d = 1; d <= 4; ++d) {
      Cell& c = cells[x + d * dx][y + d * dy];
      c.line_mask[k][s] |= bit_seen_from_positive(d);
      if (c.occupant == EMPTY) refresh_line(c, k);
    }
  }

  // 4. Neighbour counts.
  for (const auto [dx, dy] : NEAR_OFFSETS) ++cells[x + dx][y + dy].near_count;
  for (const auto [dx, dy] : FAR_OFFSETS) ++cells[x + dx][y + dy].far_count;

  // 5. Additive hash words.
  hash_index = (hash_index + static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK;
  hash_check1 += static_cast<uint32_t>(CHECK_KEY_1[s][y][x]);
  hash_check2 += static_cast<uint32_t>(CHECK_KEY_2[s][y][x]);

  // 6. The other side moves next.
  side_to_move = 1 - side_to_move;
  opponent = 1 - opponent;
}

void Engine::undo_stone() {
  // 1. Pop the history; the box comes back exactly.
  --move_count;
  const int x = move_history[move_count].x;
  const int y = move_history[move_count].y;
  box_min = box_min_history[move_count];
  box_max = box_max_history[move_count];
  Cell& q = cells[x][y];

  // 2. The cell's masks are those it had when the stone went in, so its
  //    classes and ratings come out as they were; it counts as empty again.
  refresh_cell(q);
  ++rating_count[0][q.rating[0]];
  ++rating_count[1][q.rating[1]];
  q.occupant = EMPTY;

  side_to_move = 1 - side_to_move;
  opponent = 1 - opponent;
  const int s = side_to_move;

  // 3. Subtract the stone's keys.
  hash_index = (hash_index - static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK;
  hash_check1 -= static_cast<uint32_t>(CHECK_KEY_1[s][y][x]);
  hash_check2 -= static_cast<uint32_t>(CHECK_KEY_2[s][y][x]);

  // 4. Take the stone out of the masks in reach.
  for (int k = 0; k < 4; ++k) {
    const auto [dx, dy] = DIRECTIONS[k];
    for (int d = 1; d <= 4; ++d) {
      Cell& c = cells[x - d * dx][y - d * dy];
      c.line_mask[k][s] &= static_cast<uint8_t>(~bit_seen_from_negative(d));
      if (c.occupant == EMPTY) refresh_line(c, k);
    }
    for (int d = 1; d <= 4; ++d) {
      Cell& c = cells[x + d * dx][y + d * dy];
      c.line_mask[k][s] &= static_cast<uint8_t>(~bit_seen_from_positive(d));
      if (c.occupant == EMPTY) refresh_line(c, k);
    }
  }

  // 5. Neighbour counts.
  for (const auto [dx, dy] : NEAR_OFFSETS) --cells[x + dx][y + dy].near_count;
  for (const auto [dx, dy] : FAR_OFFSETS) --cells[x + dx][y + dy].far_count;
}

}  // namespace quorlith
