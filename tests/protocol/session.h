// In-process driver of the front end: lines go in through a string buffer,
// replies come out through a buffer that remembers where the last flush was,
// so tests see both what was written and what had reached the reader.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

#include "protocol/front_end.h"

namespace quorlith::test {

// An output buffer that records how much of its contents had been flushed.
class FlushRecorder : public std::stringbuf {
 public:
  std::size_t flushed_size() const { return flushed_; }

 protected:
  int sync() override {
    flushed_ = str().size();
    return 0;
  }

 private:
  std::size_t flushed_ = 0;
};

// Replies end with a bare line feed unless the session asks for another line
// end, whatever the system the tests run on.
class Session {
 public:
  explicit Session(EngineFactory make_engine = make_engine_on_heap, LineEnd line_end = LineEnd::LF,
                   Brain& brain = exact_brain())
      : input_(std::ios::in | std::ios::out),
        in_(&input_),
        out_(&output_),
        front_end_(in_, out_, make_engine, line_end, brain) {}
  explicit Session(LineEnd line_end) : Session(make_engine_on_heap, line_end) {}
  Session(EngineFactory make_engine, Brain& brain) : Session(make_engine, LineEnd::LF, brain) {}

  // Appends text to the input and carries out every complete line in it.
  // Returns everything written meanwhile, flushed or not.
  std::string send(std::string_view text) {
    input_.sputn(text.data(), static_cast<std::streamsize>(text.size()));
    for (;;) {
      last_step_ = front_end_.step();
      if (last_step_ != FrontEnd::Step::COMMAND_DONE) break;
    }
    const std::string all = output_.str();
    std::string fresh = all.substr(taken_);
    taken_ = all.size();
    return fresh;
  }

  // The written bytes that no flush has passed on yet.
  std::string unflushed() const { return output_.str().substr(output_.flushed_size()); }
  std::string all_output() const { return output_.str(); }
  bool ended_by_end_command() const { return last_step_ == FrontEnd::Step::END; }
  FrontEnd::Step last_step() const { return last_step_; }

  const FrontEnd& front_end() const { return front_end_; }
  const GameSettings& settings() const { return front_end_.settings(); }
  const Engine& engine() const { return *front_end_.engine(); }
  // Occupant of protocol square (x, y): 0, 1 or EMPTY.
  int occupant(int x, int y) const { return engine().cells[x + BORDER][y + BORDER].occupant; }

 private:
  std::stringbuf input_;
  std::istream in_;
  FlushRecorder output_;
  std::ostream out_;
  FrontEnd front_end_;
  std::size_t taken_ = 0;
  FrontEnd::Step last_step_ = FrontEnd::Step::COMMAND_DONE;
};

}  // namespace quorlith::test
