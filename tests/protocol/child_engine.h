// The real pbrain-quorlith as a child process behind two pipes, for the
// end-to-end tests. Every read waits at most a given time, so a missing
// answer fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace quorlith::test {

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
      ::execl(binary, binary, static_cast<char*>(nullptr));
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

  // The next line without its line feed, or nothing when none came in time
  // or the output ended.
  std::optional<std::string> read_line(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      if (!fill(deadline)) return std::nullopt;
    }
  }

  // Everything the child writes until it closes its output.
  std::string read_to_end(int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (fill(deadline)) {
    }
    std::string all;
    all.swap(pending_);
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
