#include <algorithm>

#include "engine/engine.h"
#include "engine/evaluation.h"

namespace quorlith {

namespace {

constexpr int FIRST_ITERATION_DEPTH = 7;
// A deadline no fixed-depth search comes near.
constexpr int64_t ONE_DAY_MS = 24LL * 60 * 60 * 1000;

}  // namespace

// The state every search starts from, whatever its deadline.
static void clear_search_state(Engine& e) {
  e.ply = 0;
  e.nodes = 0;
  e.stop = false;
  e.clock_block = -1;
  e.root_first_candidate = Point{};
}

static void clear_pv(Engine& e) {
  for (auto& row : e.pv)
    for (auto& move : row) move = Engine::PvMove{0, 0};
}

// Clears the search state and arms the deadline from time_per_move_ms.
static void start_search(Engine& e) {
  if (e.time_per_move_ms <= 0) e.time_per_move_ms = DEFAULT_TIME_PER_MOVE_MS;
  e.deadline_ms = clock_ms() + e.time_per_move_ms;
  clear_search_state(e);
  e.clock_armed = true;
}

void Engine::clear_search_without_deadline() {
  clear_search_state(*this);
  clear_pv(*this);
  follow_pv = false;
  deadline_ms = clock_ms() + ONE_DAY_MS;
}

// The answer: the preferred move (pv[0][0] after deepening) when a root move
// finished; else the root's first candidate after ordering; else the empty
// cell with the highest move score (first in row order), and the centre on a
// board without stones. False only when the board has no empty cell.
bool Engine::resolve_answer(Point preferred, int* x_out, int* y_out) {
  auto is_empty_cell = [&](int x, int y) {
    return x >= BORDER && y >= BORDER && x < size + BORDER && y < size + BORDER &&
           cells[x][y].occupant == EMPTY;
  };
  int x = preferred.x;
  int y = preferred.y;
  if (!is_empty_cell(x, y)) {
    x = root_first_candidate.x;
    y = root_first_candidate.y;
  }
  if (!is_empty_cell(x, y)) {
    const int centre = size / 2 + BORDER;
    if (move_count == 0) {
      x = y = centre;
    } else {
      int best = -1;
      for (int cy = BORDER; cy < size + BORDER; ++cy)
        for (int cx = BORDER; cx < size + BORDER; ++cx) {
          if (cells[cx][cy].occupant != EMPTY) continue;
          const int score = score_move(cells[cx][cy]);
          if (score > best) {
            best = score;
            x = cx;
            y = cy;
          }
        }
      if (best < 0) return false;
    }
  }
  *x_out = x - BORDER;
  *y_out = y - BORDER;
  return true;
}

int root_line(const Engine& e, Engine::PvMove* out) {
  int count = 0;
  const int length = std::min<int>(e.pv_length[0], MAX_PLY);
  for (int i = 0; i < length; ++i) {
    const int x = e.pv[0][i].x - BORDER;
    const int y = e.pv[0][i].y - BORDER;
    if (!e.is_open_square(x, y)) break;
    const auto same = [&](const Engine::PvMove& m) { return m.x == x && m.y == y; };
    if (std::any_of(out, out + count, same)) break;
    out[count++] = Engine::PvMove{static_cast<int16_t>(x), static_cast<int16_t>(y)};
  }
  return count;
}

// Reports a finished iteration; called between iterations only.
static void tell_observer(const Engine& e, SearchObserver& observer, int depth, int32_t value) {
  SearchIteration it;
  it.depth = depth;
  it.value = value;
  it.nodes = e.nodes;
  // The deadline was armed as the start of the search + time_per_move_ms.
  it.elapsed_ms = clock_ms() - (e.deadline_ms - e.time_per_move_ms);
  it.pv_length = root_line(e, it.pv);
  observer.iteration_done(it);
}

// Iterative deepening from depth 7 to max_depth until the clock stops it.
// A max_depth from 2 to 6 runs one iteration at exactly that depth; above 63
// it is searched as 63.
bool Engine::find_best_move(int* x_out, int* y_out, SearchReport* report,
                            SearchObserver* observer) {
  if (max_depth < 2) max_depth = DEFAULT_MAX_DEPTH;
  start_search(*this);
  clear_pv(*this);

  const int last = std::min<int>(max_depth, DEEPEST_SEARCH);
  const int first = std::min(FIRST_ITERATION_DEPTH, last);
  for (int depth = first; depth <= last; ++depth) {
    follow_pv = true;
    if (stop) break;
    const ScoredMove root = alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
    if (report != nullptr && !stop) *report = SearchReport{depth, root.score};
    if (observer != nullptr && !stop) tell_observer(*this, *observer, depth, root.score);
  }
  clock_armed = false;
  return resolve_answer(Point{static_cast<uint8_t>(pv[0][0].x), static_cast<uint8_t>(pv[0][0].y)},
                        x_out, y_out);
}

// One root search at a fixed depth, answered from the returned record, then
// played. It arms its own deadline, so it works whenever it is called.
void Engine::think(int* x_out, int* y_out, int depth, int /*reserved*/) {
  depth = std::clamp(depth, 1, DEEPEST_SEARCH);
  start_search(*this);
  const ScoredMove r = alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
  clock_armed = false;
  if (!resolve_answer(Point{static_cast<uint8_t>(r.x), static_cast<uint8_t>(r.y)}, x_out, y_out)) {
    *x_out = *y_out = -1;
    return;
  }
  place_stone(*x_out, *y_out);
}

}  // namespace quorlith
