// pbrain-quorlith-plus: the plus brain as a console process, with the same
// front end, turn policy and replies as pbrain-quorlith; only ABOUT and the
// way a searched move is found differ. Command-line arguments are ignored.
#include <csignal>
#include <iostream>

#include "protocol/front_end.h"

int main() {
  // As pbrain-quorlith: a reader that closes its end must not kill the
  // process, and the streams are buffered and flushed only where the
  // protocol says.
  std::signal(SIGPIPE, SIG_IGN);
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);

  const auto brain = quorlith::make_plus_brain();
  quorlith::FrontEnd front_end(std::cin, std::cout, quorlith::make_engine_on_heap, *brain);
  front_end.run();
  std::cout.flush();
  return 0;
}
