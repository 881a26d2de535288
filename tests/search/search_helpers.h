// Helpers for the search tests: positions drawn as pictures, snapshots of the
// engine's game state, and searches run the way the tools run them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"
#include "tests/common/game_state.h"

namespace quorlith::search_test {

// An engine cell, engine coordinates.
struct At {
  int x;
  int y;
  friend bool operator==(At, At) = default;
};

inline std::ostream& operator<<(std::ostream& out, At a) {
  return out << "(" << a.x << ", " << a.y << ")";
}

// A position drawn row by row, the first row at protocol row `top` and the
// first column at protocol column `left`:
//   x  a stone of the side to move     o  a stone of the opponent
//   .  an empty cell                   A-Z  an empty cell with a name
// The stones go down alternately, the side with more stones first; the
// counts must be equal (x then moves as side 0) or o must have one more
// (x moves as side 1).
class Position {
 public:
  Position(int size, std::initializer_list<const char*> rows, int left = 0, int top = 0)
      : engine_(std::make_unique<Engine>()) {
    engine_->start_game(size);
    std::vector<At> mine, theirs;
    int y = top;
    for (const char* row : rows) {
      for (int i = 0; row[i] != '\0'; ++i) {
        const At at{left + i + BORDER, y + BORDER};
        const char c = row[i];
        if (c == 'x') mine.push_back(at);
        if (c == 'o') theirs.push_back(at);
        if (c >= 'A' && c <= 'Z') marks_[c - 'A'] = at;
      }
      ++y;
    }
    const bool x_first = mine.size() == theirs.size();
    if (!x_first && theirs.size() != mine.size() + 1) {
      ADD_FAILURE() << "unbalanced picture: " << mine.size() << " x, " << theirs.size() << " o";
      return;
    }
    const std::vector<At>& first = x_first ? mine : theirs;
    const std::vector<At>& second = x_first ? theirs : mine;
    for (size_t i = 0; i < first.size(); ++i) {
      engine_->make_move(first[i].x, first[i].y);
      if (i < second.size()) engine_->make_move(second[i].x, second[i].y);
    }
    me_ = engine_->side_to_move;
  }

  Engine& engine() { return *engine_; }
  Engine* operator->() { return engine_.get(); }
  // The engine cell named `name` in the picture.
  At mark(char name) const { return marks_[name - 'A']; }
  const Cell& cell(At at) const { return engine_->cells[at.x][at.y]; }
  int me() const { return me_; }
  int opp() const { return 1 - me_; }

 private:
  std::unique_ptr<Engine> engine_;
  At marks_[26]{};
  int me_ = 0;
};

// A game started on an n x n board with stones placed from a protocol move
// list ("x,y x,y ..."), sides alternating from side 0.
inline std::unique_ptr<Engine> game_from_moves(int size, const char* moves) {
  auto e = std::make_unique<Engine>();
  e->start_game(size);
  const char* p = moves;
  while (*p != '\0') {
    char* end = nullptr;
    const int x = static_cast<int>(std::strtol(p, &end, 10));
    const int y = static_cast<int>(std::strtol(end + 1, &end, 10));
    e->place_stone(x, y);
    p = end;
    while (*p == ' ') ++p;
  }
  return e;
}

using test_support::GameState;

// Resets what find_best_move resets, with the deadline out of reach.
inline void reset_search(Engine& e) { e.clear_search_without_deadline(); }

// One root call at `depth` after reset_search.
inline ScoredMove root_search(Engine& e, int depth) {
  reset_search(e);
  return e.alpha_beta(depth, true, -ROOT_BOUND, ROOT_BOUND);
}

// Iterations first..last as find_best_move runs them (follow_pv set before
// each); returns the last iteration's root result.
inline ScoredMove deepen(Engine& e, int first, int last) {
  reset_search(e);
  ScoredMove r{0, 0, 0};
  for (int d = first; d <= last; ++d) {
    e.follow_pv = true;
    r = e.alpha_beta(d, true, -ROOT_BOUND, ROOT_BOUND);
  }
  return r;
}

// find_best_move with a fixed depth and a budget it cannot exhaust.
struct Answer {
  bool found;
  int x, y;  // protocol coordinates
  int32_t nodes;
};
inline Answer best_move_at_depth(Engine& e, int depth) {
  e.max_depth = depth;
  e.time_per_move_ms = 3'600'000;
  Answer a{false, -100, -100, 0};
  a.found = e.find_best_move(&a.x, &a.y);
  a.nodes = e.nodes;
  return a;
}

// The candidate list of the current position, in list order.
inline std::vector<ScoredMove> candidates(Engine& e) {
  std::vector<ScoredMove> list(MAX_CANDIDATES);
  int count = -1;
  e.generate_candidates(list.data(), count);
  list.resize(static_cast<size_t>(count));
  return list;
}

inline At at_of(const ScoredMove& m) { return At{m.x, m.y}; }

// True when protocol square (x, y) is an empty cell of the board.
inline bool is_empty_square(const Engine& e, int x, int y) {
  return x >= 0 && y >= 0 && x < e.size && y < e.size &&
         e.cells[x + BORDER][y + BORDER].occupant == EMPTY;
}

}  // namespace quorlith::search_test
