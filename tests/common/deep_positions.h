// Two positions that drive the search as deep as it goes, for the tests that
// the deepest recursion fits the stack (Windows gives the main thread only
// what the executable reserves). Both are stone lists in play order, in
// protocol coordinates, sides alternating from the first stone; nothing here
// needs the engine, so the end-to-end client can send them too.
#pragma once

#include <utility>
#include <vector>

namespace quorlith::test_support {

using Stones = std::vector<std::pair<int, int>>;

// A board on which nobody can ever make five: stones on every cell with
// (x + 2y) mod 5 equal to 0 (first side) or 1 (second side). Along each of
// the four lines the residue steps by 1, 2, 3 or 4, so any five cells in a
// row hold both residues, that is stones of both sides, whatever is added.
// Nothing is ever forced, so a search runs every line to its full depth;
// three cells in five stay empty.
inline Stones dead_board(int size) {
  Stones first, second, order;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      if ((x + 2 * y) % 5 == 0) first.emplace_back(x, y);
      if ((x + 2 * y) % 5 == 1) second.emplace_back(x, y);
    }
  for (std::size_t i = 0; i < first.size() || i < second.size(); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < second.size()) order.push_back(second[i]);
  }
  return order;
}

// A ladder of fours on 32 x 32, for the threat check: the side to move (A)
// must block B's four at c0; the block makes A's four, whose block by B
// makes B's four, and so on down the diagonal, 2 * RUNGS + 1 forced stones,
// until A's last block makes an open four. The check proves A's win in
// 2 * RUNGS + 3 plies. Rung k (offset by LADDER_ORIGIN), c2k = (4k, 4k):
//
//   row 4k:        o c x x x B      c = c2k, A's block; B = c2k+1, B's block
//   column 4k+4:   x above B, then o o o below it, then c2k+2
//
// Each four is closed at its far end by the other side's stone, so every
// block leaves exactly one five point.
constexpr int LADDER_RUNGS = 6;
constexpr std::pair<int, int> LADDER_ORIGIN{2, 6};  // c0, A's first block

inline Stones forcing_ladder() {
  Stones a, b, order;
  auto at = [](int x, int y) { return std::pair{x + LADDER_ORIGIN.first, y + LADDER_ORIGIN.second}; };
  // B's opening four down column 0, closed at its top by A.
  for (int y = -4; y <= -1; ++y) b.push_back(at(0, y));
  a.push_back(at(0, -5));
  for (int k = 0; k < LADDER_RUNGS; ++k) {
    for (int d = 1; d <= 3; ++d) a.push_back(at(4 * k + d, 4 * k));
    b.push_back(at(4 * k - 1, 4 * k));
    for (int d = 1; d <= 3; ++d) b.push_back(at(4 * k + 4, 4 * k + d));
    a.push_back(at(4 * k + 4, 4 * k - 1));
  }
  // The last rung is open at both ends: A's last block makes an open four.
  for (int d = 1; d <= 3; ++d) a.push_back(at(4 * LADDER_RUNGS + d, 4 * LADDER_RUNGS));
  // B moves first and A is to move at the end, so B has one stone more: a
  // spare one in a far corner.
  b.push_back({31, 31});
  for (std::size_t i = 0; i < b.size(); ++i) {
    order.push_back(b[i]);
    if (i < a.size()) order.push_back(a[i]);
  }
  return order;
}

}  // namespace quorlith::test_support
