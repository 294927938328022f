// The headless host's script: lines are read within the limit, and a parsed command written
// back with its quoting reads as the same command.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "host/script.h"

namespace {

std::string written(const script::Command& command) {
  std::string line = command.name;
  for (const script::Argument& argument : command.arguments) {
    line += ' ';
    if (!argument.quoted) {
      line += argument.text;
      continue;
    }
    line += '"';
    for (const char c : argument.text) {
      if (c == '"' || c == '\\') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

bool same(const script::Command& a, const script::Command& b) {
  if (a.name != b.name || a.arguments.size() != b.arguments.size()) return false;
  for (size_t i = 0; i < a.arguments.size(); ++i) {
    if (a.arguments[i].text != b.arguments[i].text ||
        a.arguments[i].quoted != b.arguments[i].quoted) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  script::LineReader reader(in);
  std::string line;
  bool tooLong = false;
  while (reader.next(line, tooLong)) {
    if (tooLong) break;
    if (line.size() > script::kMaxLineLength) std::abort();
    const auto first = script::parseLine(line, reader.lineNumber());
    if (!first.command) continue;
    if (!first.error.empty() || first.command->name.empty()) std::abort();
    const auto second = script::parseLine(written(*first.command), 1);
    if (!second.command || !same(*first.command, *second.command)) std::abort();
  }
  return 0;
}
