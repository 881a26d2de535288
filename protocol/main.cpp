// pbrain-quorlith: the engine as a console process. Commands arrive one per
// line on standard input and every reply goes to standard output, with this
// system's line end; the front end does the rest. Command-line arguments are
// ignored.
#include <iostream>

#include "engine/platform.h"
#include "protocol/front_end.h"

int main() {
  quorlith::prepare_standard_streams();
  // Buffered streams of their own, flushed only where the protocol says.
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);

  quorlith::FrontEnd front_end(std::cin, std::cout, quorlith::make_engine_on_heap,
                               quorlith::native_line_end());
  front_end.run();
  std::cout.flush();
  return 0;
}
