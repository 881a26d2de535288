// quorlith-board: play and watch the engine in the browser. Serves one page
// and a small JSON API on a loopback address by default.
//
//   quorlith-board [--host H] [--port P] [--max-games N] [--threads N]
//
// Prints the address it serves on its first line of output; with --port 0
// the system picks a free port. SIGINT or SIGTERM stop it after the running
// searches end. Exit status: 0 after a stop, 1 when the address cannot be
// bound, 2 for a bad argument.
#include <httplib.h>
#include <pthread.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "board/game_service.h"
#include "board/http_api.h"

namespace {

constexpr int EXIT_BAD_ARGUMENT = 2;
constexpr int EXIT_NO_ADDRESS = 1;

int usage() {
  std::fprintf(stderr,
               "usage: quorlith-board [--host H] [--port P] [--max-games N] [--threads N]\n"
               "  --host       address to serve on (default 127.0.0.1, loopback only)\n"
               "  --port       TCP port, 0 for any free one (default 8765)\n"
               "  --max-games  games kept at once, 1 to %d (default %d, about 18 MB each)\n"
               "  --threads    searches run at once, 1 to %d (default: one per core)\n",
               quorlith::board::MAX_MAX_GAMES, quorlith::board::DEFAULT_MAX_GAMES,
               quorlith::board::MAX_SEARCH_THREADS);
  return EXIT_BAD_ARGUMENT;
}

std::optional<int> number_in(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorlith::board;
  std::string host = "127.0.0.1";
  int port = 8765;
  ServiceConfig config;
  for (int i = 1; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return usage();
    const std::string_view value = argv[i + 1];
    std::optional<int> number;
    if (option == "--host") {
      host = value;
      continue;
    }
    if (option == "--port") {
      number = number_in(value, 0, 65535);
      if (number) port = *number;
    } else if (option == "--max-games") {
      number = number_in(value, 1, MAX_MAX_GAMES);
      if (number) config.max_games = *number;
    } else if (option == "--threads") {
      number = number_in(value, 1, MAX_SEARCH_THREADS);
      if (number) config.search_threads = *number;
    } else {
      return usage();
    }
    if (!number) {
      std::fprintf(stderr, "quorlith-board: bad value '%s' for %s\n", argv[i + 1], argv[i]);
      return usage();
    }
  }

  // SIGINT and SIGTERM go to one waiting thread, which stops the server;
  // every other thread (started below) inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  GameService service(config);
  httplib::Server server;
  install_routes(server, service, is_loopback_host(host));

  const int bound = port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
  if (bound < 0) {
    std::fprintf(stderr, "quorlith-board: cannot serve on %s port %d\n", host.c_str(), port);
    return EXIT_NO_ADDRESS;
  }
  const bool ipv6 = host.find(':') != std::string::npos;
  std::printf("quorlith-board: open http://%s%s%s:%d/ (max %d games, %d search threads)\n",
              ipv6 ? "[" : "", host.c_str(), ipv6 ? "]" : "", bound, service.config().max_games,
              service.config().search_threads);
  std::fflush(stdout);

  std::atomic<bool> stopping{false};
  std::thread stopper([&] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    stopping = true;
    server.stop();
  });
  const bool served = server.listen_after_bind();
  // Ended without a signal (the socket failed): wake the stopper.
  if (!stopping) pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return served || stopping ? 0 : EXIT_NO_ADDRESS;
}
