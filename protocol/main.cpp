// pbrain-quorlith: the engine as a console process. Commands arrive one per
// line on standard input and every reply goes to standard output; the front
// end does the rest. Command-line arguments are ignored.
#include <csignal>
#include <iostream>

#include "protocol/front_end.h"

int main() {
  // A reader that closes its end must not kill the process: writes then fail
  // quietly and the process still ends with status 0.
  std::signal(SIGPIPE, SIG_IGN);
  // Buffered streams of their own, flushed only where the protocol says.
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);

  quorlith::FrontEnd front_end(std::cin, std::cout);
  front_end.run();
  std::cout.flush();
  return 0;
}
