// Everything the engine needs from the operating system, in one place: the
// memory the Engine lives in, the clock, the standard streams and the line
// end of replies. Code outside engine/platform.cpp stays free of system
// headers and of conditional compilation for one system or another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorlith {

// Memory for one Engine: aligned to 2 MB and, where the system offers it,
// backed by huge pages (only a hint: without them the engine works the same,
// more slowly); in WebAssembly, which has no pages to ask for, aligned to
// the cache line. nullptr when the memory cannot be had. Only
// release_engine_memory may give it back.
[[nodiscard]] void* allocate_engine_memory(std::size_t bytes) noexcept;
void release_engine_memory(void* memory) noexcept;

// Milliseconds on a monotonic clock with an arbitrary origin: only
// differences mean anything. A wall clock stepped back by the system would
// otherwise stretch a deadline.
[[nodiscard]] int64_t clock_ms();

// Prepares standard input and output for the protocol, once, before main
// reads or writes anything:
//   - a reader that closes its end of the output must not kill the process
//     (writes then fail quietly and the process still ends with status 0);
//   - both streams carry bytes unchanged, so the engine's own line reading
//     decides what a carriage return means and every reply goes out exactly
//     as written;
//   - on Windows, a fault ends the process at once instead of waiting behind
//     an error dialog.
void prepare_standard_streams();

// How a reply line ends: a line feed, or a carriage return and a line feed.
enum class LineEnd : uint8_t { LF, CR_LF };

[[nodiscard]] constexpr std::string_view line_end_text(LineEnd end) {
  return end == LineEnd::CR_LF ? std::string_view("\r\n") : std::string_view("\n");
}

// The line end of this system's text files and consoles: what its managers
// and board programs expect to read.
[[nodiscard]] LineEnd native_line_end();

}  // namespace quorlith
