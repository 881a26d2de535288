// pbrain-quorlith-plus: the plus brain as a console process, with the same
// front end, turn policy and replies as pbrain-quorlith; only ABOUT and the
// way a searched move is found differ. Command-line arguments are ignored.
#include <iostream>

#include "engine/platform.h"
#include "protocol/front_end.h"

int main() {
  quorlith::prepare_standard_streams();
  // Buffered streams of their own, flushed only where the protocol says.
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);

  const auto brain = quorlith::make_plus_brain();
  quorlith::FrontEnd front_end(std::cin, std::cout, quorlith::make_engine_on_heap,
                               quorlith::native_line_end(), *brain);
  front_end.run();
  std::cout.flush();
  return 0;
}
