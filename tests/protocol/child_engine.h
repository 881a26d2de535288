// The real pbrain-quorlith as a child process behind two pipes, for the
// end-to-end tests. Every read waits at most a given time, so a missing
// answer fails the test instead of hanging it.
//
// The engine is QUORLITH_ENGINE_BINARY, started through
// QUORLITH_ENGINE_LAUNCHER when that names a program (an emulator running a
// cross-built engine). Its replies must end with CR LF when
// QUORLITH_ENGINE_CR_LF is 1 and with a bare LF otherwise; the lines handed
// to the tests have that checked and end without it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#ifndef QUORLITH_ENGINE_LAUNCHER
#define QUORLITH_ENGINE_LAUNCHER ""
#endif
#ifndef QUORLITH_ENGINE_CR_LF
#define QUORLITH_ENGINE_CR_LF 0
#endif

namespace quorlith::test {

// True when the engine runs under an emulator rather than natively.
inline bool engine_is_emulated() { return std::string_view(QUORLITH_ENGINE_LAUNCHER) != ""; }

class ChildEngine {
 public:
  // The brain executable to start: pbrain-quorlith unless told otherwise.
  explicit ChildEngine(const char* binary = QUORLITH_ENGINE_BINARY) {
    // A child that has already gone must not take the test runner with it.
    ::signal(SIGPIPE, SIG_IGN);
    int to_child[2];
    int from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      // An ignored signal stays ignored across exec; the engine must cope
      // with a broken pipe on its own.
      ::signal(SIGPIPE, SIG_DFL);
      ::dup2(to_child[0], 0);
      ::dup2(from_child[1], 1);
      ::close(to_child[0]);
      ::close(to_child[1]);
      ::close(from_child[0]);
      ::close(from_child[1]);
      if (engine_is_emulated()) {
        ::execl(QUORLITH_ENGINE_LAUNCHER, QUORLITH_ENGINE_LAUNCHER, binary,
                static_cast<char*>(nullptr));
      } else {
        ::execl(binary, binary, static_cast<char*>(nullptr));
      }
      ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    input_ = to_child[1];
    output_ = from_child[0];
  }

  ChildEngine(const ChildEngine&) = delete;
  ChildEngine& operator=(const ChildEngine&) = delete;

  ~ChildEngine() {
    close_input();
    close_output();
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  pid_t pid() const { return pid_; }

  // Writes everything; false when the child no longer reads.
  bool send(std::string_view text) {
    while (!text.empty()) {
      const ssize_t n = ::write(input_, text.data(), text.size());
      if (n <= 0) return false;
      text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // The next line without its line end, or nothing when none came in time
  // or the output ended.
  std::optional<std::string> read_line(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return without_line_end(std::move(line));
      }
      if (!fill(deadline)) return std::nullopt;
    }
  }

  // Everything the child writes until it closes its output, each complete
  // line ending with a bare LF.
  std::string read_to_end(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (fill(deadline)) {
    }
    std::string all;
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      all += without_line_end(pending_.substr(0, end)) + "\n";
      pending_.erase(0, end + 1);
    }
    all += pending_;
    pending_.clear();
    return all;
  }

  void close_input() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }
  void close_output() {
    if (output_ >= 0) ::close(output_);
    output_ = -1;
  }

  // The raw wait status once the child has ended, or -1 after timeout_ms.
  int wait_exit(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return status;
      }
      if (Clock::now() > deadline) return -1;
      ::usleep(2000);
    }
  }

 private:
  using Clock = std::chrono::steady_clock;

  // A line as read up to its LF: checks the carriage return the engine's
  // system puts before the LF, or its absence, and removes it.
  static std::string without_line_end(std::string line) {
    const bool carriage_return = !line.empty() && line.back() == '\r';
    if (carriage_return != (QUORLITH_ENGINE_CR_LF != 0)) {
      ADD_FAILURE() << "reply line \"" << line << "\" does not end with "
                    << (QUORLITH_ENGINE_CR_LF ? "CR LF" : "a bare LF");
    }
    if (carriage_return) line.pop_back();
    return line;
  }

  // Reads what is available before the deadline; false at end of output or
  // when the deadline passed.
  bool fill(Clock::time_point deadline) {
    if (output_ < 0) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{output_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool reaped_ = false;
  std::string pending_;
};

}  // namespace quorlith::test
