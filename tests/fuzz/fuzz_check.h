// What a fuzz target does when a check fails: say which and abort, so that
// the fuzzer keeps the input and the replay test fails.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace quorlith::fuzz {

inline void require(bool ok, std::string_view what, std::string_view detail = {}) {
  if (ok) return;
  std::fputs("fuzz check failed: ", stderr);
  std::fwrite(what.data(), 1, what.size(), stderr);
  std::fputc(' ', stderr);
  std::fwrite(detail.data(), 1, detail.size(), stderr);
  std::fputc('\n', stderr);
  std::abort();
}

}  // namespace quorlith::fuzz
