// quorlith-inspect end to end: the tables it prints are the engine's, the
// position report holds the engine's figures in the promised layout, and
// bad arguments are refused with status 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/engine_fixture.h"
#include "engine/engine.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"

namespace quorlith {
namespace {

struct ToolRun {
  int status = -1;
  std::string out;
};

// Runs a shell command and collects its output and exit status.
ToolRun run_command(const std::string& command) {
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// Runs the tool with the given shell-quoted arguments; stderr is dropped.
ToolRun inspect(const std::string& args) {
  return run_command(std::string(QUORLITH_INSPECT_BINARY) + " " + args + " 2>/dev/null");
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
    ++count;
  return count;
}

template <typename T, std::size_t N>
void expect_table_line(std::istringstream& lines, const char* name, const T (&table)[N]) {
  std::string line;
  ASSERT_TRUE(std::getline(lines, line)) << name;
  std::istringstream fields(line);
  std::string first;
  fields >> first;
  ASSERT_EQ(first, name);
  std::size_t i = 0;
  long long value;
  while (fields >> value) {
    ASSERT_LT(i, N) << name << " has too many entries";
    ASSERT_EQ(value, static_cast<long long>(table[i])) << name << " entry " << i;
    ++i;
  }
  EXPECT_EQ(i, N) << name;
}

TEST(InspectTool, TablesPrintsEveryEntryInIndexOrder) {
  const ToolRun run = inspect("tables");
  ASSERT_EQ(run.status, 0);
  build_pattern_tables();
  std::istringstream lines(run.out);
  expect_table_line(lines, "LINE_CLASS_TABLE", LINE_CLASS_TABLE);
  expect_table_line(lines, "SHAPE_TABLE", SHAPE_TABLE);
  expect_table_line(lines, "MOVE_WEIGHT_TABLE", MOVE_WEIGHT_TABLE);
  expect_table_line(lines, "RATING_TABLE", RATING_TABLE);
  expect_table_line(lines, "SHAPE_WEIGHT", SHAPE_WEIGHT);
  int8_t flat[SHAPE_COUNT * 5];
  for (int id = 0; id < SHAPE_COUNT; ++id)
    for (int n = 0; n < 5; ++n) flat[id * 5 + n] = SHAPE_WINDOW_COUNTS[id][n];
  expect_table_line(lines, "SHAPE_WINDOW_COUNTS", flat);
  std::string rest;
  EXPECT_FALSE(std::getline(lines, rest)) << "unexpected line: " << rest.substr(0, 40);
}

TEST(InspectTool, PositionReportsTheBoardInEngineCoordinates) {
  const ToolRun run = inspect("position --size 15 --moves '7,7 0,0 8,7 0,2 9,7'");
  ASSERT_EQ(run.status, 0);
  const std::string& out = run.out;
  EXPECT_NE(out.find("\"size\": 15"), std::string::npos);
  EXPECT_NE(out.find("\"move_count\": 5"), std::string::npos);
  EXPECT_NE(out.find("\"side_to_move\": 1"), std::string::npos);
  EXPECT_NE(out.find("\"box_min\": [4, 4]"), std::string::npos);
  EXPECT_NE(out.find("\"box_max\": [15, 13]"), std::string::npos);
  EXPECT_NE(out.find("\"rating_count\": [[-9, 0, 0, 0, 2, 0, 0, 2, 0], [-5, 0, 0, 0, 0, 0, 0, 0, 0]]"),
            std::string::npos);
  EXPECT_EQ(out.find("\"search\""), std::string::npos);
  // One object per playable cell, row by row; empty cells carry the
  // derived fields and stones do not.
  EXPECT_EQ(occurrences(out, "\"occupant\": "), 225u);
  EXPECT_EQ(occurrences(out, "\"score_move\": "), 220u);
  const std::size_t first = out.find("{\"x\": 4, \"y\": 4,");
  const std::size_t second = out.find("{\"x\": 5, \"y\": 4,");
  const std::size_t next_row = out.find("{\"x\": 4, \"y\": 5,");
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_LT(second, next_row);
  // Protocol (7, 7) is the engine cell (11, 11), a stone of side 0; its
  // row neighbour (14, 11) makes an open four for side 0, and side 1 has
  // only five cells there.
  EXPECT_NE(out.find("{\"x\": 11, \"y\": 11, \"occupant\": 0,"), std::string::npos);
  const std::size_t open_four = out.find("{\"x\": 14, \"y\": 11, \"occupant\": 2,");
  ASSERT_NE(open_four, std::string::npos);
  const std::string cell = out.substr(open_four, out.find('}', open_four) - open_four);
  EXPECT_NE(cell.find("\"pattern_class\": [[8, 1], [2, 2], [2, 2], [2, 2]]"), std::string::npos)
      << cell;
  EXPECT_NE(cell.find("\"rating\": [7, 0]"), std::string::npos) << cell;
}

TEST(InspectTool, PositionWithDepthAddsOneRootSearch) {
  const ToolRun run = inspect("position --size 15 --moves '7,7 8,8 7,8' --depth 3");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"search\": {\"depth\": 3, \"x\": "), std::string::npos);
  EXPECT_NE(run.out.find("\"threat_check\": "), std::string::npos);
  EXPECT_NE(run.out.find("\"candidates\": [["), std::string::npos);
  // The search leaves the board as it found it: the cells still follow it.
  EXPECT_EQ(occurrences(run.out, "\"occupant\": "), 225u);
  EXPECT_EQ(occurrences(run.out, "\"score_move\": "), 222u);
}

TEST(InspectTool, EmptyBoardHasNoStonesAndTheStartBox) {
  const ToolRun run = inspect("position --size 5 --moves ''");
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"box_min\": [5, 5]"), std::string::npos);
  EXPECT_NE(run.out.find("\"evaluate\": 0"), std::string::npos);
  EXPECT_EQ(occurrences(run.out, "\"score_move\": 0}"), 25u);
}

TEST(InspectTool, RefusesBadArgumentsWithStatusTwo) {
  const std::vector<std::string> refused = {
      "position --size 15 --moves '7,7 7,7'",  // occupied
      "position --size 15 --moves '15,0'",     // off the board
      "position --size 15 --moves '-1,3'",     // off the board
      "position --size 4 --moves ''",          // too small
      "position --size 33 --moves ''",         // too large for the grid
      "position --size 15 --moves '7;7'",      // malformed square
      "position --size 15 --moves '7,7,'",     // malformed square
      "position --size fifteen",               // not a number
      "position --moves '7,7'",                // no size
      "position --size 15 --depth -1",         // negative depth
      "position --size 15 --bogus 1",          // unknown option
      "sideways",                              // unknown command
  };
  for (const std::string& args : refused) {
    const ToolRun run = inspect(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.out, "") << args;
  }
}

// `features` with the given games on its standard input.
ToolRun features(const std::string& games) {
  return run_command("printf '" + games + "' | " + QUORLITH_INSPECT_BINARY +
                     " features --size 15 2>/dev/null");
}

// One row per quiet position from the fifth stone on (nothing forced for
// the side to move, no five to block), scored for its side to move, with
// the engine's shape sums and rating counts of that position.
TEST(InspectTool, FeaturesListTheQuietPositionsOfAGame) {
  // The start of a game between the two brains, scored as a win of the
  // first stone's side.
  const char* stones = "8,10 9,6 9,4 6,10 6,7 8,6 6,6 8,5 6,8 6,5 5,7 7,9 7,7 8,7 8,8 8,4 8,3";
  const ToolRun run = features(std::string("1 ") + stones + "\\n");
  ASSERT_EQ(run.status, 0);
  std::istringstream rows(run.out);
  std::istringstream squares(stones);
  auto e = std::make_unique<Engine>();
  e->start_game(15);
  int quiet = 0, placed = 0;
  for (std::string sq; squares >> sq; ++placed) {
    const int me = e->side_to_move, opp = e->opponent;
    if (placed >= 4 && e->rating_count[opp][RATING_FIVE] == 0 && e->threat_check() == 0) {
      ++quiet;
      std::string row;
      ASSERT_TRUE(std::getline(rows, row)) << "no row before stone " << placed + 1;
      std::istringstream fields(row);
      std::vector<std::string> f;
      for (std::string v; fields >> v;) f.push_back(v);
      ASSERT_EQ(f.size(), 19u) << row;
      EXPECT_EQ(f[0], me == 0 ? "1" : "0") << row;
      EXPECT_EQ(std::stoi(f[1]), e->shape_sum[me]) << row;
      EXPECT_EQ(std::stoi(f[2]), e->shape_sum[opp]) << row;
      for (int r = 1; r <= RATING_FIVE; ++r) {
        EXPECT_EQ(std::stoi(f[2 + r]), e->rating_count[me][r]) << row << " rating " << r;
        EXPECT_EQ(std::stoi(f[10 + r]), e->rating_count[opp][r]) << row << " rating " << r;
      }
    }
    e->place_stone(std::stoi(sq), std::stoi(sq.substr(sq.find(',') + 1)));
  }
  std::string extra;
  EXPECT_FALSE(std::getline(rows, extra)) << "a row for no quiet position: " << extra;
  EXPECT_GE(quiet, 8);
  EXPECT_LT(quiet, placed - 4) << "the game should hold forced positions too";

  // A draw scores a half for both sides; bad games are refused.
  const ToolRun draw = features(std::string("0.5 ") + stones + "\\n");
  ASSERT_EQ(draw.status, 0);
  EXPECT_EQ(occurrences(draw.out, "0.5 "), occurrences(run.out, "\n"));
  for (const char* bad :
       {"2 7,7 8,8\\n", "1 7,7 7,7\\n", "1 7,7 15,3\\n", "1 7,7;8,8\\n", "win\\n"}) {
    const ToolRun run = features(bad);
    EXPECT_EQ(run.status, 2) << bad;
  }
}

}  // namespace
}  // namespace quorlith
