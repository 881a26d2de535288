// Threat puzzles on 15 x 15: positions where the side to move wins by force,
// by fours alone ("fours") or by threes and fours ("threats"), given as
// protocol squares in play order. length is the number of attacking stones
// of the shortest win the solver found (fours) or the depth of its win
// (threats).
//
// How they were made: the "fours" from random crowded positions and from
// games of the exact engine against itself from the balanced openings; the
// "threats" from those games, where the exact engine's depth-9 search did
// not see the win (its root value is given). Every one is replayed against
// every defence by the independent referee in the tests, so the set checks
// itself.
#pragma once

namespace quorlith::search_test {

struct ThreatPuzzle {
  const char* kind;  // "fours" or "threats"
  int length;
  const char* moves;
};

// clang-format off
constexpr ThreatPuzzle THREAT_PUZZLES[] = {
    // fours 3, exact depth 9: 29991
    {"fours", 3,
     "6,10 7,10 5,9 6,11 8,9 7,9 7,11 4,8 7,8 6,7 8,10 8,8 9,9 10,8 8,11 8,12 9,10 9,8 "
     "10,11 11,12 11,10 9,12 10,12 10,10 10,9 11,8 12,8 5,7 7,7 4,10 4,9 9,11 11,9 12,9 "
     "3,9 2,9 9,6 9,5 10,6 10,5 11,5 11,6 12,4 13,3 9,4 10,4 11,3 13,5 5,10 5,12 6,12 5,13 "
     "6,13 7,12 12,5 3,8 4,7 2,8 1,8 4,6 3,5 5,6 5,8 3,6 12,6 12,7 12,3 12,2 6,9 8,7 2,6"},
    // fours 4, exact depth 9: 29989
    {"fours", 4, "7,7 6,9 8,11 8,9 9,9 7,5 9,5 8,3 5,7 10,6 5,5 5,3 8,2 10,7 9,7 4,9"},
    // fours 4, exact depth 9: 29989
    {"fours", 4, "7,7 8,6 6,8 8,8 7,8 9,7 5,6 10,7 3,8 6,6 5,10 4,8 8,5 7,10 6,10 7,9 6,11"},
    // fours 4, exact depth 9: 29989
    {"fours", 4, "7,7 8,7 10,6 10,5 6,9 8,6 6,6 9,8 5,6 10,3 5,4 4,5 7,3 12,3 9,2 12,5 7,6 13,2"},
    // fours 5, exact depth 9: 29987
    {"fours", 5,
     "7,7 5,7 6,8 6,5 3,6 9,5 9,9 9,10 8,6 6,7 7,4 6,6 10,4 11,9 6,10 3,9 5,5 3,7 4,11 "
     "8,11 8,5 9,7 6,11 5,8"},
    // fours 5, exact depth 9: 29991
    {"fours", 5,
     "7,7 8,9 9,6 7,8 9,8 5,9 11,6 10,7 5,7 9,5 13,8 8,5 10,3 7,11 6,3 4,9 13,10 9,7 3,9 "
     "12,5 12,9 6,8 4,5 7,3 11,7 3,6 5,5 14,5 7,6"},
    // fours 6, exact depth 9: 29993
    {"fours", 6, "7,7 9,9 8,8 9,10 8,7 7,11 5,11 9,7 7,9 10,5 6,7 10,9 10,7 6,5 10,8 4,6 5,5 10,10"},
    // fours 6, exact depth 9: 29985
    {"fours", 6,
     "7,7 8,7 10,9 6,8 5,7 3,8 10,5 8,4 11,8 2,8 8,9 5,9 4,6 6,5 4,7 1,10 12,10 2,7 5,5 "
     "13,8 14,8 6,11 6,6 9,7 10,8"},
    // fours 6, exact depth 9: 29991
    {"fours", 6,
     "7,7 5,8 3,6 7,5 9,7 6,7 8,7 9,8 11,9 10,8 5,7 4,6 10,9 13,8 5,10 2,5 7,6 5,6 9,5 "
     "10,6 4,11 4,12 12,8 4,10 9,3 8,6 4,8 10,10"},
    // fours 7, exact depth 9: 29983
    {"fours", 7,
     "7,7 9,6 11,6 12,4 10,8 10,4 10,6 11,4 12,3 7,6 10,5 10,3 9,5 14,1 9,7 7,4 12,6 6,7 "
     "13,1 14,5 12,2 10,2 8,8 7,5 9,4"},
    // fours 8, exact depth 9: -396
    {"fours", 8,
     "7,7 6,8 5,10 7,8 6,7 5,8 7,6 8,5 4,8 6,5 5,6 5,9 3,8 3,5 4,7 1,4 9,7 7,9 7,5 7,11 "
     "8,9 5,4 8,3 8,12 6,6"},
    // fours 8, exact depth 9: -350
    {"fours", 8,
     "7,7 7,6 7,8 8,4 9,5 5,7 3,6 10,4 8,6 11,5 8,5 9,3 7,2 6,5 7,3 7,4 9,6 4,8 2,4 10,3 "
     "11,4 8,9 12,7 6,8 6,1 13,5 4,2 8,10"},
    // threats 5, exact depth 9: 235
    {"threats", 5, "10,5 7,7 8,5 6,7 9,4 8,7 9,7 9,5"},
    // threats 5, exact depth 9: 261
    {"threats", 5, "5,4 5,10 7,5 4,10 6,4 6,10 7,10 5,9"},
    // threats 6, exact depth 9: 99
    {"threats", 6, "7,4 5,8 7,7 6,9 8,5 6,8 7,5"},
    // threats 6, exact depth 9: 237
    {"threats", 6, "9,7 5,9 7,4 5,10 7,5 5,11 5,8 4,9"},
    // threats 6, exact depth 9: 238
    {"threats", 6, "7,7 7,10 7,6 6,10 6,6 8,10 5,10 8,8"},
    // threats 7, exact depth 9: 200
    {"threats", 7, "9,8 9,4 7,5 10,5 8,6 10,4"},
    // threats 7, exact depth 9: 83
    {"threats", 7, "4,8 8,7 7,5 6,6 4,7 8,6 8,5"},
    // threats 7, exact depth 9: 217
    {"threats", 7, "8,6 4,6 9,8 5,6 8,9 6,6 7,6 8,7"},
    // threats 8, exact depth 9: 203
    {"threats", 8, "5,10 5,8 8,10 10,5 8,9 7,8"},
    // threats 8, exact depth 9: 34
    {"threats", 8, "9,8 9,4 7,5 10,5 8,6 10,4 8,4"},
    // threats 8, exact depth 9: 145
    {"threats", 8, "4,7 8,7 7,8 4,4 10,10 5,4 5,8 3,6"},
    // threats 9, exact depth 9: 118
    {"threats", 9, "10,10 7,5 10,7 6,6 9,8 8,4 9,3 9,5"},
};
// clang-format on

}  // namespace quorlith::search_test
