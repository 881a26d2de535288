#include "board/http_api.h"

#include <httplib.h>

#include <string>
#include <string_view>

#include "board/page_files.h"

namespace quorlith::board {

namespace {

constexpr const char* JSON_TYPE = "application/json";

void send_error(httplib::Response& res, int status, std::string_view message) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(error_json(message), JSON_TYPE);
}

// Every /api/ request, answered by the routes shared with the browser's
// worker.
void send_api_reply(GameService& service, const httplib::Request& req, httplib::Response& res) {
  const ApiReply reply = answer_api_request(service, req.method, req.path, req.body);
  res.status = reply.status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(reply.body, JSON_TYPE);
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
  server.set_payload_max_length(MAX_BODY_BYTES);

  server.Get(R"(/|/[a-z_]+\.(html|css|js|png|svg))", send_page_file);
  const std::string api = "/api/.*";
  const auto answer = [&service](Req req, Res res) { send_api_reply(service, req, res); };
  server.Get(api, answer);
  server.Post(api, answer);
  server.Delete(api, answer);

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
