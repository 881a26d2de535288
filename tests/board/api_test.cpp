// The board's JSON API over a real server on an ephemeral loopback port,
// driven by cpp-httplib's client: the documented shapes, every kind of bad
// request (answered with a JSON error, changing nothing), the page's files,
// and the search report against quorlith-inspect.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "board/http_api.h"
#include "tests/board/board_test_support.h"

namespace quorlith::board {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class Api : public ::testing::Test {
 protected:
  void SetUp() override {
    ServiceConfig config;
    config.max_games = 4;
    service_ = std::make_unique<GameService>(config);
    install_routes(server_, *service_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(120, 0);
  }

  void TearDown() override {
    server_.stop();
    if (listener_.joinable()) listener_.join();
  }

  struct Answer {
    int status = 0;
    json body;
    std::string content_type;
  };

  Answer call(const std::string& method, const std::string& path, const std::string& body = "") {
    httplib::Result r = method == "GET"      ? client_->Get(path)
                        : method == "DELETE" ? client_->Delete(path)
                                             : client_->Post(path, body, "application/json");
    Answer a;
    if (!r) {
      ADD_FAILURE() << method << " " << path << ": no response";
      return a;
    }
    a.status = r->status;
    a.content_type = r->get_header_value("Content-Type");
    a.body = json::parse(r->body, nullptr, false);
    return a;
  }

  json create(const json& settings) {
    const Answer a = call("POST", "/api/games", settings.dump());
    EXPECT_EQ(a.status, 201) << a.body.dump();
    return a.body;
  }

  // The game once its engine has stopped thinking.
  json settled(int id) {
    for (int i = 0; i < 2400; ++i) {
      const Answer a = call("GET", "/api/games/" + std::to_string(id));
      if (a.status != 200 || a.body["status"] != "thinking") return a.body;
      std::this_thread::sleep_for(50ms);
    }
    ADD_FAILURE() << "game " << id << " still thinking";
    return json();
  }

  std::unique_ptr<GameService> service_;
  httplib::Server server_;
  int port_ = 0;
  std::thread listener_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(Api, GameStateAndAMoveWithItsSearchReport) {
  const json fresh = create(json::object());
  EXPECT_EQ(fresh, (json{{"id", fresh["id"]},
                         {"size", 15},
                         {"brain", "plus"},
                         {"rule", 0},
                         {"engine_first", false},
                         {"time_ms", 1000},
                         {"depth", nullptr},
                         {"stones", json::array()},
                         {"to_move", "player"},
                         {"status", "playing"},
                         {"winning_line", json::array()},
                         {"watching", false},
                         {"hint", nullptr},
                         {"forbidden", json::array()},
                         {"last_search", nullptr}}));
  const Answer got = call("GET", "/api/games/" + fresh["id"].dump());
  EXPECT_EQ(got.status, 200);
  EXPECT_EQ(got.content_type, "application/json");
  EXPECT_EQ(got.body, fresh);

  EXPECT_EQ(create({{"brain", "exact"}})["brain"], "exact");
  EXPECT_EQ(create({{"brain", "plus"}})["brain"], "plus");
  // The rule, and in renju black's forbidden points: 3,0 would make six.
  EXPECT_EQ(create({{"rule", 1}})["rule"], 1);
  const json renju = create({{"rule", 4}, {"board", "BOARD\n0,0,2\n0,5,1\n1,0,2\n2,5,1\n2,0,2\n4,5,1\n4,0,2\n"
                                                      "6,5,1\n5,0,2\n8,5,1\nDONE\n"}});
  EXPECT_EQ(renju["rule"], 4);
  EXPECT_EQ(renju["forbidden"], json::array({json::array({3, 0})}));
  const Answer refused = call("POST", "/api/games/" + renju["id"].dump() + "/moves", R"({"x": 3, "y": 0})");
  EXPECT_EQ(refused.status, 409);
  EXPECT_EQ(refused.body, (json{{"error", "square 3,0 is forbidden to black in renju (an overline)"}}));
  const int id = create({{"size", 20}, {"time_ms", 200}})["id"];
  const std::string game = "/api/games/" + std::to_string(id);
  const Answer played = call("POST", game + "/moves", R"({"x": 10, "y": 10})");
  EXPECT_EQ(played.status, 202);
  EXPECT_EQ(played.body["status"], "thinking");
  EXPECT_EQ(played.body["to_move"], "engine");
  const Answer busy = call("POST", game + "/moves", R"({"x": 0, "y": 0})");
  EXPECT_EQ(busy.status, 409);
  EXPECT_EQ(busy.body, (json{{"error", "busy: the engine is thinking"}}));

  const json g = settled(id);
  EXPECT_EQ(g["status"], "playing");
  ASSERT_EQ(g["stones"].size(), 2u);
  EXPECT_EQ(g["stones"][0], json::array({10, 10}));
  const json& s = g["last_search"];
  ASSERT_TRUE(s.is_object()) << g.dump();
  for (const char* key : {"depth", "nodes", "time_ms", "stone_count"}) EXPECT_TRUE(s[key].is_number_integer()) << key;
  EXPECT_TRUE(s["value"].is_number_integer() || s["depth"] == 0);
  EXPECT_EQ(s["purpose"], "move");
  EXPECT_EQ(s["side"], "engine");
  EXPECT_EQ(s["running"], false);
  EXPECT_EQ(s["fixed_depth"], false);
  EXPECT_EQ(s["move"], g["stones"][1]);
  ASSERT_TRUE(s["pv"].is_array());
  ASSERT_FALSE(s["pv"].empty());
  EXPECT_EQ(s["pv"][0], g["stones"][1]);

  // Undo, hint, watch and the board block.
  const Answer undone = call("POST", game + "/undo");
  EXPECT_EQ(undone.status, 200);
  EXPECT_TRUE(undone.body["stones"].empty());
  EXPECT_EQ(call("POST", game + "/undo").status, 409);
  call("POST", game + "/moves", R"({"x": 3, "y": 4})");
  settled(id);
  EXPECT_EQ(call("POST", game + "/hint", "").status, 202);
  const json hinted = settled(id);
  EXPECT_TRUE(hinted["hint"].is_array()) << hinted.dump();
  const Answer block = call("GET", game + "/board");
  EXPECT_EQ(block.status, 200);
  const json& stones = hinted["stones"];
  EXPECT_EQ(block.body["board"], "BOARD\n3,4,2\n" + std::to_string(stones[1][0].get<int>()) + "," +
                                     std::to_string(stones[1][1].get<int>()) + ",1\nDONE\n");
  const json loaded = create({{"board", block.body["board"]}, {"size", 20}});
  EXPECT_EQ(loaded["stones"], stones);
  EXPECT_EQ(loaded["engine_first"], false);
  const Answer watching = call("POST", game + "/watch", R"({"on": true})");
  EXPECT_EQ(watching.status, 200);
  EXPECT_EQ(watching.body["watching"], true);
  EXPECT_EQ(call("POST", game + "/watch", R"({"on": false})").body["watching"], false);
  settled(id);
  EXPECT_EQ(call("DELETE", game).body, (json{{"deleted", id}}));
  EXPECT_EQ(call("GET", game).status, 404);
}

TEST_F(Api, BadRequestsAreAnsweredAndChangeNothing) {
  const int id = create({{"size", 15}, {"board", "BOARD\n7,7,2\n8,8,1\nDONE\n"}})["id"];
  const std::string game = "/api/games/" + std::to_string(id);
  const json before = call("GET", game).body;
  const int games = service_->stats().games;
  struct Case {
    const char* method;
    std::string path;
    std::string body;
    int status;
    const char* error;
  };
  const Case cases[] = {
      {"POST", "/api/games", "{\"size\": ", 400, "the body is not valid JSON"},
      {"POST", "/api/games", "[15]", 400, "the body must be a JSON object"},
      {"POST", "/api/games", R"({"colour": "black"})", 400, "unknown field \"colour\""},
      {"POST", "/api/games", R"({"size": "15"})", 400, "\"size\" must be an integer"},
      {"POST", "/api/games", R"({"size": 15.5})", 400, "\"size\" must be an integer"},
      {"POST", "/api/games", R"({"size": 1e30})", 400, "\"size\" must be an integer"},
      {"POST", "/api/games", R"({"size": 4})", 400, "size must be from 5 to 32"},
      {"POST", "/api/games", R"({"size": 99999999999999999999})", 400, "\"size\" must be an integer"},
      {"POST", "/api/games", R"({"size": 18446744073709551615})", 400, "size must be from 5 to 32"},
      {"POST", "/api/games", R"({"size": -9223372036854775807})", 400, "size must be from 5 to 32"},
      {"POST", "/api/games", R"({"time_ms": 49})", 400, "time_ms must be from 50 to 60000"},
      {"POST", "/api/games", R"({"time_ms": 60001})", 400, "time_ms must be from 50 to 60000"},
      {"POST", "/api/games", R"({"depth": 0})", 400, "depth must be from 1 to 63"},
      {"POST", "/api/games", R"({"engine_first": 1})", 400, "\"engine_first\" must be true or false"},
      {"POST", "/api/games", R"({"brain": "strong"})", 400, "\"brain\" must be \"plus\" or \"exact\""},
      {"POST", "/api/games", R"({"brain": 1})", 400, "\"brain\" must be \"plus\" or \"exact\""},
      {"POST", "/api/games", R"({"brain": "Plus"})", 400, "\"brain\" must be \"plus\" or \"exact\""},
      {"POST", "/api/games", R"({"board": 7})", 400, "\"board\" must be a string"},
      {"POST", "/api/games", R"({"rule": 2})", 400, "\"rule\" must be 0 (five or more), 1 (exactly five) or 4 (renju)"},
      {"POST", "/api/games", R"({"rule": "renju"})", 400,
       "\"rule\" must be 0 (five or more), 1 (exactly five) or 4 (renju)"},
      {"POST", "/api/games", R"({"rule": 4, "brain": "exact"})", 400,
       "the exact brain plays freestyle only; the plus brain plays every rule"},
      {"POST", "/api/games", R"({"board": "7,7,1"})", 400, "board: the block must end with DONE"},
      {"POST", "/api/games", R"({"board": "7,7,1\n7,7,2\nDONE"})", 400, "stone 2 at 7,7 goes on an occupied square"},
      {"POST", "/api/games", R"({"size": 5, "board": "7,7,1\nDONE"})", 400, "stone 1 at 7,7 is off the 5x5 board"},
      {"POST", "/api/games", R"({"engine_first": false, "board": "7,7,1\nDONE"})", 400,
       "\"engine_first\" disagrees with the first stone of the board"},
      {"POST", game + "/moves", R"({"x": 15, "y": 0})", 400, "square 15,0 is off the 15x15 board"},
      {"POST", game + "/moves", R"({"x": -1, "y": 3})", 400, "square -1,3 is off the 15x15 board"},
      {"POST", game + "/moves", R"({"x": 3})", 400, "\"x\" and \"y\" are required integers"},
      {"POST", game + "/moves", R"({"x": 3, "y": null})", 400, "\"x\" and \"y\" are required integers"},
      {"POST", game + "/moves", R"({"x": 3, "y": 4, "z": 5})", 400, "unknown field \"z\""},
      {"POST", game + "/moves", "", 400, "\"x\" and \"y\" are required integers"},
      {"POST", game + "/moves", R"({"x": 8, "y": 8})", 409, "square 8,8 is occupied"},
      {"POST", game + "/hint", R"({"depth": 64})", 400, "depth must be from 1 to 63"},
      {"POST", game + "/watch", R"({"on": 1})", 400, "\"on\" must be true or false"},
      {"POST", game + "/watch", "{}", 400, "\"on\" is a required true or false"},
      {"POST", game + "/undo", R"({"all": true})", 400, "unknown field \"all\""},
      {"POST", "/api/games/999/moves", R"({"x": 1, "y": 1})", 404, "no game 999"},
      {"GET", "/api/games/999", "", 404, "no game 999"},
      {"DELETE", "/api/games/999", "", 404, "no game 999"},
      {"GET", "/api/games/12345678901234567890", "", 404, "no such route"},
      {"GET", "/api/games/abc", "", 404, "no such route"},
      {"GET", "/api/games", "", 404, "no such route"},
      {"POST", game + "/fly", "{}", 404, "no such route"},
      {"POST", game, "{}", 404, "no such route"},
      {"DELETE", game + "/moves", "", 404, "no such route"},
      {"GET", game + "/board/x", "", 404, "no such route"},
      {"GET", "/api/games/", "", 404, "no such route"},
      {"GET", "/api/gamesx", "", 404, "no such route"},
      {"GET", "/api/../etc/passwd", "", 404, "no such route"},
      {"GET", "/nothing.js", "", 404, "no such page"},
  };
  for (const Case& c : cases) {
    const Answer a = call(c.method, c.path, c.body);
    EXPECT_EQ(a.status, c.status) << c.method << " " << c.path << " " << c.body;
    EXPECT_EQ(a.body, (json{{"error", c.error}})) << c.method << " " << c.path << " " << c.body;
  }

  // A body over the limit is refused before it is read.
  const Answer huge = call("POST", "/api/games", std::string(MAX_BODY_BYTES + 1, ' '));
  EXPECT_EQ(huge.status, 413);
  EXPECT_EQ(huge.body, (json{{"error", "the body is too large"}}));
  // Deeply nested JSON within the limit is only malformed input.
  const std::string nested = std::string(30000, '[') + std::string(30000, ']');
  EXPECT_EQ(call("POST", "/api/games", nested).body, (json{{"error", "the body must be a JSON object"}}));

  // What another site's page could send through the player's browser: a
  // foreign Origin, or a Host that is not loopback (a domain pointed at
  // 127.0.0.1). The board's own page sends its own origin.
  const std::string own = "http://127.0.0.1:" + std::to_string(port_);
  const struct {
    httplib::Headers headers;
    int status;
  } origins[] = {
      {{{"Origin", "http://evil.example"}}, 403},
      {{{"Origin", "http://127.0.0.1:1"}}, 403},
      {{{"Host", "evil.example:" + std::to_string(port_)}, {"Origin", "http://evil.example:" + std::to_string(port_)}}, 403},
      {{{"Origin", own}}, 409},  // reaches the game: the square is occupied
  };
  for (const auto& o : origins) {
    const httplib::Result r = client_->Post(game + "/moves", o.headers, R"({"x": 8, "y": 8})", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, o.status) << r->body;
    const httplib::Result made = client_->Post("/api/games", o.headers, "{}", "application/json");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->status, o.status == 403 ? 403 : 201) << made->body;
    if (made->status == 201) call("DELETE", "/api/games/" + std::to_string(json::parse(made->body)["id"].get<int>()));
  }
  EXPECT_TRUE(is_loopback_host("127.0.0.1:8765"));
  EXPECT_TRUE(is_loopback_host("localhost"));
  EXPECT_TRUE(is_loopback_host("[::1]:8765"));
  EXPECT_TRUE(is_loopback_host("::1"));
  EXPECT_FALSE(is_loopback_host("127.0.0.1.evil.example:8765"));
  EXPECT_FALSE(is_loopback_host("evil.example"));
  EXPECT_FALSE(is_loopback_host(""));

  EXPECT_EQ(call("GET", game).body, before);
  EXPECT_EQ(service_->stats().games, games);
}

TEST_F(Api, PageFilesAreServedFromTheExecutable) {
  const httplib::Result page = client_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<svg id=\"board\""), std::string::npos);
  for (const auto& [path, type] : {std::pair{"/board.js", "text/javascript; charset=utf-8"},
                                   std::pair{"/board.css", "text/css; charset=utf-8"},
                                   std::pair{"/index.html", "text/html; charset=utf-8"}}) {
    const httplib::Result r = client_->Get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 200) << path;
    EXPECT_EQ(r->get_header_value("Content-Type"), type) << path;
    EXPECT_GT(r->body.size(), 1000u) << path;
  }
}

// The report of a fixed-depth game is quorlith-inspect's search for the
// same position and depth.
TEST_F(Api, FixedDepthReportMatchesTheInspectTool) {
  const std::string moves = "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7";
  const test::InspectSearch expected = test::inspect_search(15, moves, 6);
  ASSERT_TRUE(expected.ok);
  std::string block = "BOARD\n";
  int who = 2;
  for (const Square s : test::squares(moves)) {
    block += std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(who) + "\n";
    who = 3 - who;
  }
  const json g = create({{"board", block + "DONE\n"}, {"depth", 6}, {"brain", "exact"}});
  EXPECT_EQ(g["to_move"], "player");
  EXPECT_EQ(call("POST", "/api/games/" + g["id"].dump() + "/hint").status, 202);
  const json s = settled(g["id"])["last_search"];
  EXPECT_EQ(s["fixed_depth"], true);
  EXPECT_EQ(s["depth"], 6);
  EXPECT_EQ(s["value"], expected.value);
  EXPECT_EQ(s["nodes"], expected.nodes);
  EXPECT_EQ(s["move"], json::array({expected.move.x, expected.move.y}));
}

// More games than the bound: each new one is made, the least recently used
// idle one making room, and the engines stay within the bound.
TEST_F(Api, ManyGamesStayWithinTheBound) {
  const int max_games = service_->config().max_games;
  int last = 0;
  for (int i = 0; i < max_games + 4; ++i) last = create({{"size", 5 + i}})["id"];
  EXPECT_EQ(service_->stats().engines, max_games);
  EXPECT_EQ(call("GET", "/api/games/" + std::to_string(last)).status, 200);
  EXPECT_EQ(call("GET", "/api/games/" + std::to_string(last - max_games)).status, 404);
}

}  // namespace
}  // namespace quorlith::board
