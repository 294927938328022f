#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/uikit/geometry.h"

// What the window does, written as the headless host's script so that a replay shows the same
// screens. Time in the window moves in ticks of 1/1024 second: a wait of whole ticks is
// written exactly in decimal, and the replay's clock reaches exactly the times the window's
// clock had when each action ran.
namespace window_record {

inline constexpr int64_t kTicksPerSecond = 1024;
using Ticks = std::chrono::duration<int64_t, std::ratio<1, kTicksPerSecond>>;

// Ticks as seconds, exactly: "0", "0.5", "1.0009765625".
std::string secondsText(int64_t ticks);
// A number as the script reads it back to the same value: "12", "160.5".
std::string numberText(CGFloat value);
// "X,Y".
std::string pointText(CGPoint point);
// A script argument that reads back as `text`, in double quotes.
std::string quoted(const std::string& text);
// A text from outside (the computer's clipboard) as a script line can hold it: control
// characters become spaces and anything past `maxBytes` is cut at a character's start.
std::string lineSafe(const std::string& text, size_t maxBytes);

// Writes each command with the wait since the one before. Replies to requests are lines of
// their own, written where they arrived.
class Recorder {
 public:
  explicit Recorder(std::ostream& out) : out_(out) {}

  void write(int64_t ticks, const std::string& line);
  // The time since the last command, so the replay ends where the window did.
  void finish(int64_t ticks);

 private:
  void waitUntil(int64_t ticks);

  std::ostream& out_;
  int64_t last_ = 0;
};

}  // namespace window_record
