// Fuzz target: any bytes as the manager's side of a session with the exact
// brain (see session_fuzz.h for what is checked).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/common/known_replies.h"
#include "tests/fuzz/session_fuzz.h"

namespace quorlith::fuzz {
namespace {

// Every search gets 1 ms: the session starts by declaring that turn limit,
// and lines that would declare another one are dropped, so no input can make
// the engine think for seconds.
constexpr std::string_view PREAMBLE = "INFO timeout_turn 1\n";

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace quorlith;
  fuzz::run_session(
      fuzz::PREAMBLE, std::string_view(reinterpret_cast<const char*>(data), size), {"timeout_turn"}, exact_brain(),
      [](std::string_view reply) { return test_support::is_known_reply(reply); }, [](const FrontEnd&) {});
  return 0;
}
