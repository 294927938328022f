#include <algorithm>
#include <cstdio>
#include <string>

#include "quotes/log.h"

namespace tessary::quotes {

void logLine(std::string_view line) {
  std::string out(line);
  out.push_back('\n');
  std::fwrite(out.data(), 1, out.size(), stderr);
}

std::string sanitizeForLog(std::string_view text, std::size_t maxLength) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(std::min(text.size(), maxLength) + 3);
  for (char c : text) {
    if (out.size() >= maxLength) {
      out += "...";
      break;
    }
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f || c == '\\') {
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace tessary::quotes
