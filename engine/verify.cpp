// Engine::verify: recomputes everything make_move and undo_stone keep
// incrementally, from the stones alone, and reports the first difference.
#include <algorithm>
#include <sstream>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "engine/keys.h"
#include "patterns/tables.h"

namespace quorlith {

namespace {

// What one cell should hold, derived from the occupants of the grid.
struct Expected {
  uint8_t line_mask[4][2]{};
  uint8_t pattern_class[4][2]{};
  uint8_t rating[2]{};
  int near_count = 0;
  int far_count = 0;
};

}  // namespace

std::string Engine::verify() const {
  std::ostringstream out;
  const int n = size;
  const int lo = BORDER;
  const int hi = n + BORDER - 1;
  auto occupant_at = [&](int x, int y) -> int32_t {
    if (x < lo || y < lo || x > hi || y > hi) return WALL;
    return cells[x][y].occupant;
  };

  // Stones on the grid against the history.
  int stones = 0;
  for (int x = lo; x <= hi; ++x)
    for (int y = lo; y <= hi; ++y) {
      const int32_t o = cells[x][y].occupant;
      if (o == 0 || o == 1) ++stones;
      else if (o != EMPTY) {
        out << "playable cell (" << x << "," << y << ") has occupant " << o;
        return out.str();
      }
    }
  if (stones != move_count) {
    out << "grid holds " << stones << " stones, move_count is " << move_count;
    return out.str();
  }
  if (side_to_move != move_count % 2 || opponent != 1 - side_to_move) {
    out << "side_to_move " << side_to_move << " / opponent " << opponent << " after "
        << move_count << " stones";
    return out.str();
  }

  uint32_t index = 0, check1 = 0, check2 = 0;
  Point expected_min{static_cast<uint8_t>(n / 2 + BORDER - 1), static_cast<uint8_t>(n / 2 + BORDER - 1)};
  Point expected_max{static_cast<uint8_t>(n / 2 + BORDER + 1), static_cast<uint8_t>(n / 2 + BORDER + 1)};
  for (int i = 0; i < move_count; ++i) {
    const Point p = move_history[i];
    if (occupant_at(p.x, p.y) != i % 2) {
      out << "history entry " << i << " (" << int(p.x) << "," << int(p.y)
          << ") is not a stone of side " << i % 2;
      return out.str();
    }
    if (!(box_min_history[i] == expected_min) || !(box_max_history[i] == expected_max)) {
      out << "box history " << i << " differs";
      return out.str();
    }
    const int s = i % 2;
    index = (index + static_cast<uint32_t>(INDEX_KEY[s][p.y][p.x])) & HASH_MASK;
    check1 += static_cast<uint32_t>(CHECK_KEY_1[s][p.y][p.x]);
    check2 += static_cast<uint32_t>(CHECK_KEY_2[s][p.y][p.x]);
    expected_min.x = static_cast<uint8_t>(std::max(lo, std::min<int>(expected_min.x, p.x - 2)));
    expected_min.y = static_cast<uint8_t>(std::max(lo, std::min<int>(expected_min.y, p.y - 2)));
    expected_max.x = static_cast<uint8_t>(std::min(hi, std::max<int>(expected_max.x, p.x + 2)));
    expected_max.y = static_cast<uint8_t>(std::min(hi, std::max<int>(expected_max.y, p.y + 2)));
  }
  if (!(box_min == expected_min) || !(box_max == expected_max)) {
    out << "box (" << int(box_min.x) << "," << int(box_min.y) << ")-(" << int(box_max.x) << ","
        << int(box_max.y) << ") expected (" << int(expected_min.x) << "," << int(expected_min.y)
        << ")-(" << int(expected_max.x) << "," << int(expected_max.y) << ")";
    return out.str();
  }
  if (index != hash_index || check1 != hash_check1 || check2 != hash_check2) {
    out << "hash words differ from the sum of the stones' keys";
    return out.str();
  }

  int32_t counts[2][9] = {};
  for (int x = lo; x <= hi; ++x) {
    for (int y = lo; y <= hi; ++y) {
      const Cell& c = cells[x][y];
      Expected e;
      for (int k = 0; k < 4; ++k) {
        const auto [dx, dy] = DIRECTIONS[k];
        for (int d = 1; d <= 4; ++d) {
          const int32_t neg = occupant_at(x - d * dx, y - d * dy);
          const int32_t pos = occupant_at(x + d * dx, y + d * dy);
          for (int s = 0; s < 2; ++s) {
            if (neg == WALL || neg == s) e.line_mask[k][s] |= static_cast<uint8_t>(8u >> (d - 1));
            if (pos == WALL || pos == s) e.line_mask[k][s] |= static_cast<uint8_t>(16u << (d - 1));
          }
        }
        for (int s = 0; s < 2; ++s)
          e.pattern_class[k][s] =
              LINE_CLASS_TABLE[line_index(e.line_mask[k][s], e.line_mask[k][1 - s])];
      }
      for (int s = 0; s < 2; ++s)
        e.rating[s] = RATING_TABLE[rating_index(e.pattern_class[0][s], e.pattern_class[1][s],
                                                e.pattern_class[2][s], e.pattern_class[3][s])];
      for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
          const int32_t o = occupant_at(x + dx, y + dy);
          if (o != 0 && o != 1) continue;
          const int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
          if (ax <= 1 && ay <= 1 && (ax | ay) != 0) ++e.near_count;
          else if ((ax == 2 || ax == 0) && (ay == 2 || ay == 0) && (ax | ay) != 0) ++e.far_count;
        }

      auto where = [&]() -> std::ostringstream& {
        out << "cell (" << x << "," << y << "): ";
        return out;
      };
      for (int k = 0; k < 4; ++k)
        for (int s = 0; s < 2; ++s)
          if (c.line_mask[k][s] != e.line_mask[k][s]) {
            where() << "line_mask[" << k << "][" << s << "] " << int(c.line_mask[k][s])
                    << " expected " << int(e.line_mask[k][s]);
            return out.str();
          }
      if (c.near_count != e.near_count || c.far_count != e.far_count) {
        where() << "neighbour counts " << int(c.near_count) << "/" << int(c.far_count)
                << " expected " << e.near_count << "/" << e.far_count;
        return out.str();
      }
      if (c.occupant != EMPTY) continue;
      for (int k = 0; k < 4; ++k)
        for (int s = 0; s < 2; ++s)
          if (c.pattern_class[k][s] != e.pattern_class[k][s]) {
            where() << "pattern_class[" << k << "][" << s << "] " << int(c.pattern_class[k][s])
                    << " expected " << int(e.pattern_class[k][s]);
            return out.str();
          }
      for (int s = 0; s < 2; ++s) {
        if (c.rating[s] != e.rating[s]) {
          where() << "rating[" << s << "] " << int(c.rating[s]) << " expected " << int(e.rating[s]);
          return out.str();
        }
        ++counts[s][e.rating[s]];
      }
    }
  }
  // Rating 0 is offset by the number of playable cells (every cell starts
  // there while the count starts at zero).
  const int32_t playable = n * n;
  for (int s = 0; s < 2; ++s)
    for (int r = 0; r < 9; ++r) {
      const int32_t expected = r == 0 ? counts[s][0] - playable : counts[s][r];
      if (rating_count[s][r] != expected) {
        out << "rating_count[" << s << "][" << r << "] " << rating_count[s][r] << " expected "
            << expected;
        return out.str();
      }
    }

  // The row bit sets, against the occupants and the neighbour counts of the
  // grid in use, walls included (they keep counts too); no bit beyond it.
  const int last = n + 2 * BORDER - 1;
  for (int y = 0; y < GRID_SIDE; ++y) {
    uint64_t reach = 0, stones = 0;
    for (int x = 0; x <= last && y <= last; ++x) {
      const Cell& c = cells[x][y];
      if (c.near_count != 0 || c.far_count != 0) reach |= uint64_t{1} << x;
      if (c.occupant == 0 || c.occupant == 1) stones |= uint64_t{1} << x;
    }
    if (reach_rows[y] != reach || stone_rows[y] != stones) {
      out << "row " << y << ": reach_rows " << reach_rows[y] << " expected " << reach
          << ", stone_rows " << stone_rows[y] << " expected " << stones;
      return out.str();
    }
  }

  // The shape sums, from the stones' masks (checked above).
  int32_t sums[2];
  count_shape_sums(*this, sums);
  for (int s = 0; s < 2; ++s)
    if (shape_sum[s] != sums[s]) {
      out << "shape_sum[" << s << "] " << shape_sum[s] << " expected " << sums[s];
      return out.str();
    }
  return {};
}

}  // namespace quorlith
