#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <vector>

// The headless host's script: one command per line. Arguments are split at spaces and tabs;
// a double-quoted part keeps its spaces (\" and \\ stand for a quote and a backslash inside
// quotes) and may join unquoted text, as in button:"Clear all". A `#` that starts a word
// outside quotes starts a comment.
namespace script {

// Longer lines are refused rather than held in memory.
inline constexpr size_t kMaxLineLength = size_t{64} * 1024;

struct Argument {
  std::string text;
  bool quoted = false;  // some part of it was in quotes ("-" quoted is not the bare "-")
};

struct Command {
  size_t line = 0;
  std::string name;
  std::vector<Argument> arguments;
};

struct ParseResult {
  // Empty for a blank or comment-only line.
  std::optional<Command> command;
  std::string error;  // non-empty when the line is malformed
};

ParseResult parseLine(const std::string& text, size_t lineNumber);

// Reads lines one at a time, so a script on standard input runs as it arrives. A line longer
// than kMaxLineLength is reported as too long as soon as the limit is passed, and nothing
// after it is read: the script ends there.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  // False at the end of input. `tooLong` is set for a line that exceeded the limit.
  bool next(std::string& line, bool& tooLong);
  size_t lineNumber() const { return lineNumber_; }

 private:
  std::istream& in_;
  size_t lineNumber_ = 0;
};

}  // namespace script
