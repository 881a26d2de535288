// Shared helpers for tests that drive an Engine.
#pragma once

#include <initializer_list>
#include <memory>

#include "engine/engine.h"

namespace quorlith::test_support {

// A square in protocol coordinates.
struct Square {
  int x;
  int y;
};

// A freshly started game on an n x n board. The engine is 16 MB, so it
// lives on the heap.
inline std::unique_ptr<Engine> new_game(int n) {
  auto engine = std::make_unique<Engine>();
  engine->start_game(n);
  return engine;
}

// Places the stones in order (sides alternate from the side to move).
inline void place_all(Engine& e, std::initializer_list<Square> stones) {
  for (const Square s : stones) e.place_stone(s.x, s.y);
}

}  // namespace quorlith::test_support
