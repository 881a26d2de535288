// Helpers for the board's tests: moves as text, and the search quorlith-inspect
// reports for a position, run as the real tool.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "board/game_service.h"

namespace quorlith::board::test {

// "x,y x,y ..." in play order.
inline std::vector<Square> squares(const std::string& moves) {
  std::vector<Square> list;
  std::istringstream in(moves);
  std::string token;
  while (in >> token) {
    Square s;
    char comma = 0;
    std::istringstream pair(token);
    pair >> s.x >> comma >> s.y;
    list.push_back(s);
  }
  return list;
}

// The root search of `quorlith-inspect position --depth`: move in protocol
// coordinates, value and nodes.
struct InspectSearch {
  bool ok = false;
  Square move;
  int value = 0;
  long long nodes = 0;
};

inline InspectSearch inspect_search(int size, const std::string& moves, int depth) {
  const std::string command = std::string(QUORLITH_INSPECT_BINARY) + " position --size " +
                              std::to_string(size) + " --moves '" + moves + "' --depth " +
                              std::to_string(depth) + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
  }
  InspectSearch s;
  const std::size_t at = out.find("\"search\": {");
  if (at == std::string::npos) return s;
  int d = 0, x = 0, y = 0;
  s.ok = std::sscanf(out.c_str() + at,
                     "\"search\": {\"depth\": %d, \"x\": %d, \"y\": %d, \"value\": %d, \"nodes\": %lld",
                     &d, &x, &y, &s.value, &s.nodes) == 5;
  // The tool prints engine coordinates.
  s.move = Square{x - BORDER, y - BORDER};
  return s;
}

}  // namespace quorlith::board::test
