// What engine/platform.h promises, for each system. Three branches:
// Windows (MinGW-w64), WebAssembly (Emscripten: a browser's worker, or node)
// and POSIX.
#include "engine/platform.h"

#include <chrono>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#elif defined(__EMSCRIPTEN__)
#include <cstdlib>
#else
#include <sys/mman.h>

#include <csignal>
#include <cstdlib>
#endif

namespace quorlith {

namespace {

// Where the Engine's memory is aligned to: a huge page, or, in WebAssembly,
// which has no pages to ask for (aligning to 2 MB would only waste up to
// 2 MB of its one linear memory per allocation), the cache line the tables'
// entries are laid out for.
#ifdef __EMSCRIPTEN__
constexpr std::size_t ALIGNMENT = 64;
#else
constexpr std::size_t ALIGNMENT = std::size_t{2} << 20;
#endif

constexpr std::size_t round_up_to_alignment(std::size_t bytes) {
  return (bytes + ALIGNMENT - 1) / ALIGNMENT * ALIGNMENT;
}

}  // namespace

int64_t clock_ms() {
  // steady_clock is monotonic on both systems (on Windows it reads the
  // performance counter).
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

#ifdef _WIN32

// Large pages on Windows need a privilege that ordinary users lack, so there
// is no hint to give; the alignment is kept all the same. Memory from
// _aligned_malloc must go back through _aligned_free, never free.
void* allocate_engine_memory(std::size_t bytes) noexcept {
  return _aligned_malloc(round_up_to_alignment(bytes), ALIGNMENT);
}

void release_engine_memory(void* memory) noexcept { _aligned_free(memory); }

// No broken-pipe signal exists here: a write to a closed pipe just fails.
// The C runtime opens both streams in text mode, which drops a carriage
// return before every line feed on input and adds one on output; binary mode
// leaves both to the front end.
//
// Should the process ever fault, Windows would hold it open behind an error
// dialog that nobody at a tournament manager is there to close, and the
// game would be lost on time instead of ending at once: the dialogs are
// turned off.
void prepare_standard_streams() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

LineEnd native_line_end() { return LineEnd::CR_LF; }

#elif defined(__EMSCRIPTEN__)

void* allocate_engine_memory(std::size_t bytes) noexcept {
  return std::aligned_alloc(ALIGNMENT, round_up_to_alignment(bytes));
}

void release_engine_memory(void* memory) noexcept { std::free(memory); }

// Under node the streams are the process's own, with no signal for a closed
// pipe; in a browser there are none to prepare.
void prepare_standard_streams() {}

LineEnd native_line_end() { return LineEnd::LF; }

#else

void* allocate_engine_memory(std::size_t bytes) noexcept {
  const std::size_t rounded = round_up_to_alignment(bytes);
  void* memory = std::aligned_alloc(ALIGNMENT, rounded);
#ifdef MADV_HUGEPAGE
  if (memory != nullptr) madvise(memory, rounded, MADV_HUGEPAGE);
#endif
  return memory;
}

void release_engine_memory(void* memory) noexcept { std::free(memory); }

// Streams are bytes already; only the signal of a broken pipe needs care.
void prepare_standard_streams() { std::signal(SIGPIPE, SIG_IGN); }

LineEnd native_line_end() { return LineEnd::LF; }

#endif

}  // namespace quorlith
