#include "host/script.h"

namespace script {

ParseResult parseLine(const std::string& text, size_t lineNumber) {
  ParseResult result;
  std::vector<Argument> words;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    Argument word;
    bool inQuotes = false;
    for (; i < n; ++i) {
      const char d = text[i];
      if (d == '\0') {
        result.error = "the line holds a NUL byte";
        return result;
      }
      if (inQuotes) {
        if (d == '"') {
          inQuotes = false;
        } else if (d == '\\' && i + 1 < n && (text[i + 1] == '"' || text[i + 1] == '\\')) {
          word.text += text[++i];
        } else {
          word.text += d;
        }
      } else if (d == '"') {
        inQuotes = true;
        word.quoted = true;
      } else if (d == ' ' || d == '\t' || d == '\r') {
        break;
      } else {
        word.text += d;
      }
    }
    if (inQuotes) {
      result.error = "unterminated quote";
      return result;
    }
    words.push_back(std::move(word));
  }
  if (words.empty()) return result;
  if (words.front().quoted) {
    result.error = "a command name is never quoted";
    return result;
  }
  Command command;
  command.line = lineNumber;
  command.name = std::move(words.front().text);
  command.arguments.assign(std::make_move_iterator(words.begin() + 1),
                           std::make_move_iterator(words.end()));
  result.command = std::move(command);
  return result;
}

bool LineReader::next(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf* buffer = in_.rdbuf();
  if (!buffer) return false;
  bool any = false;
  for (;;) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      if (!any) return false;
      break;
    }
    any = true;
    if (c == '\n') break;
    // Nothing past the limit is read: an endless line would never end.
    if (line.size() == kMaxLineLength) {
      tooLong = true;
      break;
    }
    line += static_cast<char>(c);
  }
  ++lineNumber_;
  if (tooLong) line.clear();
  return true;
}

}  // namespace script
