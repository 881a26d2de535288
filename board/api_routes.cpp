#include "board/api_routes.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "board/board_block.h"

namespace quorlith::board {

namespace {

using nlohmann::json;

// ---- Replies ----

ApiReply json_reply(int status, const json& body) { return ApiReply{status, body.dump()}; }

ApiReply error_reply(int status, std::string_view message) { return ApiReply{status, error_json(message)}; }

json square_json(Square s) { return json::array({s.x, s.y}); }

json squares_json(const std::vector<Square>& squares) {
  json list = json::array();
  for (const Square s : squares) list.push_back(square_json(s));
  return list;
}

const char* mover_name(Mover m) { return m == Mover::PLAYER ? "player" : "engine"; }

const char* brain_name(BrainKind b) { return b == BrainKind::PLUS ? "plus" : "exact"; }

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
      {"brain", brain_name(g.brain)},
      {"rule", static_cast<int>(g.rule)},
      {"engine_first", g.engine_first},
      {"time_ms", g.time_ms},
      {"depth", g.depth ? json(*g.depth) : json(nullptr)},
      {"stones", squares_json(g.stones)},
      {"to_move", mover_name(g.to_move)},
      {"status", status_name(g.status)},
      {"winning_line", squares_json(g.winning_line)},
      {"watching", g.watching},
      {"hint", g.hint ? square_json(*g.hint) : json(nullptr)},
      {"forbidden", squares_json(g.forbidden)},
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
ApiReply service_reply(const Reply& reply, int ok_status) {
  if (reply.refusal != Refusal::NONE) return error_reply(refusal_status(reply.refusal), reply.error);
  return json_reply(ok_status, game_json(reply.game));
}

// ---- Requests ----

// A field that cannot be read: the refusal to send (the fields are read one
// after another, and the first fault answers). Empty when all is well.
struct Fault {
  std::optional<ApiReply> reply;
  explicit operator bool() const { return reply.has_value(); }
};

Fault fault(std::string_view message) { return Fault{error_reply(400, message)}; }

// A request body read as a JSON object with only the allowed fields; an
// empty body reads as {}.
Fault read_object(std::string_view text, std::initializer_list<std::string_view> allowed, json& body) {
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    body = json::object();
    return {};
  }
  body = json::parse(text, nullptr, false);
  if (body.is_discarded()) return fault("the body is not valid JSON");
  if (!body.is_object()) return fault("the body must be a JSON object");
  for (const auto& [key, value] : body.items())
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end())
      return fault("unknown field \"" + key + "\"");
  return {};
}

// An integer field into out (left unset when the field is absent or null).
// Values beyond the int range are clamped, so that the service refuses them
// as out of range with its own message.
Fault read_int(const json& body, const char* key, std::optional<int>& out) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) return {};
  constexpr int LOW = std::numeric_limits<int>::min();
  constexpr int HIGH = std::numeric_limits<int>::max();
  if (it->is_number_unsigned()) {
    const auto v = it->get<std::uint64_t>();
    out = v > static_cast<std::uint64_t>(HIGH) ? HIGH : static_cast<int>(v);
    return {};
  }
  if (it->is_number_integer()) {
    out = static_cast<int>(std::clamp<std::int64_t>(it->get<std::int64_t>(), LOW, HIGH));
    return {};
  }
  return fault(std::string("\"") + key + "\" must be an integer");
}

Fault read_bool(const json& body, const char* key, std::optional<bool>& out) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) return {};
  if (!it->is_boolean()) return fault(std::string("\"") + key + "\" must be true or false");
  out = it->get<bool>();
  return {};
}

Fault read_brain(const json& body, BrainKind& out) {
  const auto it = body.find("brain");
  if (it == body.end() || it->is_null()) return {};
  if (it->is_string() && *it == "plus") {
    out = BrainKind::PLUS;
  } else if (it->is_string() && *it == "exact") {
    out = BrainKind::EXACT;
  } else {
    return fault("\"brain\" must be \"plus\" or \"exact\"");
  }
  return {};
}

// "rule": 0 five or more, 1 exactly five, 4 renju (the values of the
// brain protocol's INFO rule).
Fault read_rule(const json& body, Rule& out) {
  const auto it = body.find("rule");
  if (it == body.end() || it->is_null()) return {};
  const int value = it->is_number_integer() ? static_cast<int>(std::clamp<std::int64_t>(it->get<std::int64_t>(), -1, 99)) : -1;
  if (value == 0) {
    out = Rule::FREESTYLE;
  } else if (value == 1) {
    out = Rule::STANDARD;
  } else if (value == 4) {
    out = Rule::RENJU;
  } else {
    return fault("\"rule\" must be 0 (five or more), 1 (exactly five) or 4 (renju)");
  }
  return {};
}

ApiReply create_game(GameService& service, std::string_view text) {
  json body;
  std::optional<int> size, time_ms, depth;
  std::optional<bool> engine_first;
  NewGame game;
  if (Fault f = read_object(text, {"size", "brain", "rule", "engine_first", "time_ms", "depth", "board"}, body))
    return *f.reply;
  if (Fault f = read_rule(body, game.rule)) return *f.reply;
  if (Fault f = read_int(body, "size", size)) return *f.reply;
  if (Fault f = read_brain(body, game.brain)) return *f.reply;
  if (Fault f = read_int(body, "time_ms", time_ms)) return *f.reply;
  if (Fault f = read_int(body, "depth", depth)) return *f.reply;
  if (Fault f = read_bool(body, "engine_first", engine_first)) return *f.reply;
  game.size = size.value_or(DEFAULT_BOARD_SIZE);
  game.time_ms = time_ms.value_or(DEFAULT_TIME_MS);
  game.depth = depth;
  game.engine_first = engine_first.value_or(false);

  const auto board = body.find("board");
  if (board != body.end() && !board->is_null()) {
    if (!board->is_string()) return error_reply(400, "\"board\" must be a string");
    std::string error;
    const auto block = read_board_block(board->get_ref<const std::string&>(), error);
    if (!block) return error_reply(400, "board: " + error);
    if (block->engine_first) {
      if (engine_first && *engine_first != *block->engine_first)
        return error_reply(400, "\"engine_first\" disagrees with the first stone of the board");
      game.engine_first = *block->engine_first;
    }
    game.stones = block->stones;
  }
  return service_reply(service.create(game), 201);
}

ApiReply play_move(GameService& service, GameId id, std::string_view text) {
  json body;
  std::optional<int> x, y;
  if (Fault f = read_object(text, {"x", "y"}, body)) return *f.reply;
  if (Fault f = read_int(body, "x", x)) return *f.reply;
  if (Fault f = read_int(body, "y", y)) return *f.reply;
  if (!x || !y) return error_reply(400, "\"x\" and \"y\" are required integers");
  const Reply reply = service.play(id, Square{*x, *y});
  return service_reply(reply, reply.searching ? 202 : 200);
}

ApiReply ask_hint(GameService& service, GameId id, std::string_view text) {
  json body;
  std::optional<int> depth;
  if (Fault f = read_object(text, {"depth"}, body)) return *f.reply;
  if (Fault f = read_int(body, "depth", depth)) return *f.reply;
  const Reply reply = service.hint(id, depth);
  return service_reply(reply, reply.searching ? 202 : 200);
}

ApiReply set_watch(GameService& service, GameId id, std::string_view text) {
  json body;
  std::optional<bool> on;
  if (Fault f = read_object(text, {"on"}, body)) return *f.reply;
  if (Fault f = read_bool(body, "on", on)) return *f.reply;
  if (!on) return error_reply(400, "\"on\" is a required true or false");
  return service_reply(service.watch(id, *on), 200);
}

ApiReply undo_move(GameService& service, GameId id, std::string_view text) {
  json body;
  if (Fault f = read_object(text, {}, body)) return *f.reply;
  return service_reply(service.undo(id), 200);
}

ApiReply remove_game(GameService& service, GameId id) {
  const Reply reply = service.remove(id);
  if (reply.refusal != Refusal::NONE) return service_reply(reply, 200);
  return json_reply(200, json{{"deleted", id}});
}

ApiReply board_block(GameService& service, GameId id) {
  const Reply reply = service.get(id);
  if (reply.refusal != Refusal::NONE) return service_reply(reply, 200);
  return json_reply(200, json{{"board", write_board_block(reply.game.stones, reply.game.engine_first)}});
}

// A game id of 1 to 19 digits (so it always fits), else nothing.
std::optional<GameId> read_game_id(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  GameId id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return id;
}

}  // namespace

std::string error_json(std::string_view message) { return json{{"error", message}}.dump(); }

std::string game_state_json(const GameView& game) { return game_json(game).dump(); }

ApiReply answer_api_request(GameService& service, std::string_view method, std::string_view path,
                            std::string_view body) {
  const ApiReply no_route = error_reply(404, "no such route");
  if (body.size() > MAX_BODY_BYTES) return error_reply(413, "the body is too large");
  path = path.substr(0, path.find('?'));
  constexpr std::string_view GAMES = "/api/games";
  if (!path.starts_with(GAMES)) return no_route;
  path.remove_prefix(GAMES.size());
  if (path.empty()) return method == "POST" ? create_game(service, body) : no_route;
  if (!path.starts_with('/')) return no_route;
  path.remove_prefix(1);

  // /api/games/{id}[/action]
  const std::size_t slash = path.find('/');
  const auto id = read_game_id(path.substr(0, slash));
  if (!id) return no_route;
  if (slash == std::string_view::npos) {
    if (method == "GET") return service_reply(service.get(*id), 200);
    if (method == "DELETE") return remove_game(service, *id);
    return no_route;
  }
  const std::string_view action = path.substr(slash + 1);
  if (method == "GET") return action == "board" ? board_block(service, *id) : no_route;
  if (method != "POST") return no_route;
  if (action == "moves") return play_move(service, *id, body);
  if (action == "undo") return undo_move(service, *id, body);
  if (action == "hint") return ask_hint(service, *id, body);
  if (action == "watch") return set_watch(service, *id, body);
  return no_route;
}

}  // namespace quorlith::board
