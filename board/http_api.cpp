#include "board/http_api.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_block.h"
#include "board/page_files.h"

namespace quorlith::board {

namespace {

using nlohmann::json;

constexpr const char* JSON_TYPE = "application/json";

// ---- Replies ----

void send_json(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(body.dump(), JSON_TYPE);
}

void send_error(httplib::Response& res, int status, std::string_view message) {
  send_json(res, status, json{{"error", message}});
}

json square_json(Square s) { return json::array({s.x, s.y}); }

json squares_json(const std::vector<Square>& squares) {
  json list = json::array();
  for (const Square s : squares) list.push_back(square_json(s));
  return list;
}

const char* mover_name(Mover m) { return m == Mover::PLAYER ? "player" : "engine"; }

const char* status_name(Status s) {
  switch (s) {
    case Status::PLAYING: return "playing";
    case Status::THINKING: return "thinking";
    case Status::PLAYER_WON: return "player_won";
    case Status::ENGINE_WON: return "engine_won";
    case Status::DRAW: return "draw";
  }
  return "playing";
}

json search_json(const SearchSummary& s) {
  const std::optional<int> forced = s.depth > 0 && !s.only_move ? forced_plies(s.value) : std::nullopt;
  return json{
      {"purpose", s.purpose == SearchSummary::Purpose::HINT ? "hint" : "move"},
      {"side", mover_name(s.side)},
      {"fixed_depth", s.fixed_depth},
      {"running", s.running},
      {"stone_count", s.stone_count},
      {"depth", s.depth},
      {"value", s.depth > 0 ? json(s.value) : json(nullptr)},
      {"forced_plies", forced ? json(*forced) : json(nullptr)},
      {"only_move", s.only_move},
      {"nodes", s.nodes},
      {"time_ms", s.time_ms},
      {"pv", squares_json(s.pv)},
      {"move", s.move ? square_json(*s.move) : json(nullptr)},
  };
}

json game_json(const GameView& g) {
  return json{
      {"id", g.id},
      {"size", g.size},
      {"engine_first", g.engine_first},
      {"time_ms", g.time_ms},
      {"depth", g.depth ? json(*g.depth) : json(nullptr)},
      {"stones", squares_json(g.stones)},
      {"to_move", mover_name(g.to_move)},
      {"status", status_name(g.status)},
      {"winning_line", squares_json(g.winning_line)},
      {"watching", g.watching},
      {"hint", g.hint ? square_json(*g.hint) : json(nullptr)},
      {"last_search", g.last_search ? search_json(*g.last_search) : json(nullptr)},
  };
}

int refusal_status(Refusal r) {
  switch (r) {
    case Refusal::NONE: return 200;
    case Refusal::BAD_INPUT: return 400;
    case Refusal::NOT_FOUND: return 404;
    case Refusal::CONFLICT: return 409;
    case Refusal::UNAVAILABLE: return 503;
  }
  return 500;
}

// The service's reply: the game's state with ok_status, or the refusal.
void send_reply(httplib::Response& res, const Reply& reply, int ok_status) {
  if (reply.refusal != Refusal::NONE) {
    send_error(res, refusal_status(reply.refusal), reply.error);
    return;
  }
  send_json(res, ok_status, game_json(reply.game));
}

// ---- Requests ----

// A request body read as a JSON object with only the allowed fields; an
// empty body reads as {}. On failure the reply is sent and nothing returned.
std::optional<json> read_object(const httplib::Request& req, httplib::Response& res,
                                std::initializer_list<std::string_view> allowed) {
  if (req.body.find_first_not_of(" \t\r\n") == std::string::npos) return json::object();
  json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded()) {
    send_error(res, 400, "the body is not valid JSON");
    return std::nullopt;
  }
  if (!body.is_object()) {
    send_error(res, 400, "the body must be a JSON object");
    return std::nullopt;
  }
  for (const auto& [key, value] : body.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      send_error(res, 400, "unknown field \"" + key + "\"");
      return std::nullopt;
    }
  }
  return body;
}

// An integer field into out (left unset when the field is absent or null).
// Values beyond the int range are clamped, so that the service refuses them
// as out of range with its own message. False, with the reply sent, for a
// value of another type.
bool read_int(const json& body, const char* key, std::optional<int>& out, httplib::Response& res) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) return true;
  constexpr int LOW = std::numeric_limits<int>::min();
  constexpr int HIGH = std::numeric_limits<int>::max();
  if (it->is_number_unsigned()) {
    const auto v = it->get<std::uint64_t>();
    out = v > static_cast<std::uint64_t>(HIGH) ? HIGH : static_cast<int>(v);
    return true;
  }
  if (it->is_number_integer()) {
    out = static_cast<int>(std::clamp<std::int64_t>(it->get<std::int64_t>(), LOW, HIGH));
    return true;
  }
  send_error(res, 400, std::string("\"") + key + "\" must be an integer");
  return false;
}

bool read_bool(const json& body, const char* key, std::optional<bool>& out, httplib::Response& res) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) return true;
  if (!it->is_boolean()) {
    send_error(res, 400, std::string("\"") + key + "\" must be true or false");
    return false;
  }
  out = it->get<bool>();
  return true;
}

// The game id of a route: at most 19 digits, so it always fits.
GameId game_id(const httplib::Request& req) {
  const std::string& text = req.matches[1].str();
  GameId id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  return ec == std::errc{} && end == text.data() + text.size() ? id : 0;
}

void create_game(GameService& service, const httplib::Request& req, httplib::Response& res) {
  const auto body = read_object(req, res, {"size", "engine_first", "time_ms", "depth", "board"});
  std::optional<int> size, time_ms, depth;
  std::optional<bool> engine_first;
  if (!body || !read_int(*body, "size", size, res) || !read_int(*body, "time_ms", time_ms, res) ||
      !read_int(*body, "depth", depth, res) || !read_bool(*body, "engine_first", engine_first, res))
    return;
  NewGame game;
  game.size = size.value_or(DEFAULT_BOARD_SIZE);
  game.time_ms = time_ms.value_or(DEFAULT_TIME_MS);
  game.depth = depth;
  game.engine_first = engine_first.value_or(false);

  const auto board = body->find("board");
  if (board != body->end() && !board->is_null()) {
    if (!board->is_string()) return send_error(res, 400, "\"board\" must be a string");
    std::string error;
    const auto block = read_board_block(board->get_ref<const std::string&>(), error);
    if (!block) return send_error(res, 400, "board: " + error);
    if (block->engine_first) {
      if (engine_first && *engine_first != *block->engine_first)
        return send_error(res, 400, "\"engine_first\" disagrees with the first stone of the board");
      game.engine_first = *block->engine_first;
    }
    game.stones = block->stones;
  }
  send_reply(res, service.create(game), 201);
}

void play_move(GameService& service, const httplib::Request& req, httplib::Response& res) {
  const auto body = read_object(req, res, {"x", "y"});
  std::optional<int> x, y;
  if (!body || !read_int(*body, "x", x, res) || !read_int(*body, "y", y, res)) return;
  if (!x || !y) return send_error(res, 400, "\"x\" and \"y\" are required integers");
  const Reply reply = service.play(game_id(req), Square{*x, *y});
  send_reply(res, reply, reply.searching ? 202 : 200);
}

void ask_hint(GameService& service, const httplib::Request& req, httplib::Response& res) {
  const auto body = read_object(req, res, {"depth"});
  std::optional<int> depth;
  if (!body || !read_int(*body, "depth", depth, res)) return;
  const Reply reply = service.hint(game_id(req), depth);
  send_reply(res, reply, reply.searching ? 202 : 200);
}

void set_watch(GameService& service, const httplib::Request& req, httplib::Response& res) {
  const auto body = read_object(req, res, {"on"});
  std::optional<bool> on;
  if (!body || !read_bool(*body, "on", on, res)) return;
  if (!on) return send_error(res, 400, "\"on\" is a required true or false");
  send_reply(res, service.watch(game_id(req), *on), 200);
}

// Refuses what another site's page could send through the player's browser;
// true when the request was answered here.
bool refused_as_foreign(const httplib::Request& req, httplib::Response& res, bool loopback_only) {
  const std::string host = req.get_header_value("Host");
  if (loopback_only && !is_loopback_host(host)) {
    send_error(res, 403, "this board serves only requests addressed to a loopback host");
    return true;
  }
  const std::string origin = req.get_header_value("Origin");
  if (!origin.empty() && origin != "http://" + host) {
    send_error(res, 403, "requests from other sites' pages are refused");
    return true;
  }
  return false;
}

void send_page_file(const httplib::Request& req, httplib::Response& res) {
  const PageFile* file = find_page_file(req.path);
  if (file == nullptr) return send_error(res, 404, "no such page");
  res.set_content(reinterpret_cast<const char*>(file->data), file->size, file->mime_type);
}

}  // namespace

bool is_loopback_host(std::string_view host) {
  // Drop the port: after the closing bracket of an IPv6 literal, or after
  // the one colon of a name or IPv4 address (a bare IPv6 literal, with
  // several colons, has none).
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    host = host.substr(1, close - 1);
  } else if (const std::size_t colon = host.find(':');
             colon != std::string_view::npos && host.find(':', colon + 1) == std::string_view::npos) {
    host = host.substr(0, colon);
  }
  if (host == "localhost" || host == "::1") return true;
  if (!host.starts_with("127.")) return false;
  // 127.a.b.c with three numbers of up to three digits.
  int dots = 0;
  for (const char c : host.substr(4)) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 2;
}

void install_routes(httplib::Server& server, GameService& service, bool loopback_only) {
  using Req = const httplib::Request&;
  using Res = httplib::Response&;

  server.set_pre_routing_handler([loopback_only](Req req, Res res) {
    return refused_as_foreign(req, res, loopback_only) ? httplib::Server::HandlerResponse::Handled
                                                       : httplib::Server::HandlerResponse::Unhandled;
  });
  // Longer ids match no route.
  const std::string game = R"(/api/games/(\d{1,19}))";

  server.set_payload_max_length(MAX_BODY_BYTES);

  server.Get(R"(/|/[a-z_]+\.(html|css|js|png|svg))", send_page_file);
  server.Post("/api/games", [&service](Req req, Res res) { create_game(service, req, res); });
  server.Get(game, [&service](Req req, Res res) { send_reply(res, service.get(game_id(req)), 200); });
  server.Delete(game, [&service](Req req, Res res) {
    const GameId id = game_id(req);
    const Reply reply = service.remove(id);
    if (reply.refusal != Refusal::NONE) return send_reply(res, reply, 200);
    send_json(res, 200, json{{"deleted", id}});
  });
  server.Post(game + "/moves", [&service](Req req, Res res) { play_move(service, req, res); });
  server.Post(game + "/undo", [&service](Req req, Res res) {
    if (read_object(req, res, {})) send_reply(res, service.undo(game_id(req)), 200);
  });
  server.Post(game + "/hint", [&service](Req req, Res res) { ask_hint(service, req, res); });
  server.Post(game + "/watch", [&service](Req req, Res res) { set_watch(service, req, res); });
  server.Get(game + "/board", [&service](Req req, Res res) {
    const Reply reply = service.get(game_id(req));
    if (reply.refusal != Refusal::NONE) return send_reply(res, reply, 200);
    send_json(res, 200,
              json{{"board", write_board_block(reply.game.stones, reply.game.engine_first)}});
  });

  // Whatever ends in an error without a body of its own (an unknown route,
  // a body over the limit, a request httplib could not read) gets a JSON
  // error too.
  server.set_error_handler(httplib::Server::HandlerWithResponse([](Req, Res res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    const char* message = res.status == 404   ? "no such route"
                          : res.status == 413 ? "the body is too large"
                                              : "the request could not be read";
    send_error(res, res.status, message);
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_exception_handler([](Req, Res res, std::exception_ptr) {
    send_error(res, 500, "internal error");
  });
}

}  // namespace quorlith::board
