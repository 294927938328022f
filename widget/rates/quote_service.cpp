#include "widget/rates/quote_service.h"

#include <cstdlib>

#include "platform/foundation/utf16.h"
#include "platform/foundation/values.h"
#include "widget/controller/paths.h"

namespace quote_service {
namespace {
bool isAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
std::string withoutTrailingSlashes(std::string text) {
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}
}  // namespace

std::string baseURL() {
  if (const char* fromEnvironment = std::getenv(kEnvironmentVariable)) {
    if (*fromEnvironment) return withoutTrailingSlashes(fromEnvironment);
  }
  if (const auto info = NSDictionary::dictionaryWithContentsOfFile(paths::kBundleInfo)) {
    if (const auto url = kindOf<NSString>(info->objectForKey(kInfoKey))) {
      if (!url->UTF8String().empty()) return withoutTrailingSlashes(url->UTF8String());
    }
  }
  return kDefaultBaseURL;
}

bool isValidCode(const std::string& code) {
  return code.size() == 3 && isAsciiAlnum(code[0]) && isAsciiAlnum(code[1]) &&
         isAsciiAlnum(code[2]);
}

std::string percentEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    if (isAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += hex[byte >> 4];
      out += hex[byte & 0xF];
    }
  }
  return out;
}

std::string percentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string requestURL(const std::string& base, const std::string& first,
                       const std::string& second) {
  return base + "/d/quotes.csv?s=" + percentEncode(first) + percentEncode(second) + "=X&f=l1";
}

std::optional<Pair> pairOfRequest(const std::string& url) {
  const size_t question = url.find('?');
  if (question == std::string::npos) return std::nullopt;
  std::string query = url.substr(question + 1);
  query = query.substr(0, query.find('#'));
  for (size_t start = 0; start <= query.size();) {
    const size_t end = std::min(query.find('&', start), query.size());
    const std::string field = query.substr(start, end - start);
    if (field.rfind("s=", 0) == 0) {
      std::string symbol = percentDecode(field.substr(2));
      if (symbol.size() < 2 || symbol.compare(symbol.size() - 2, 2, "=X") != 0) {
        return std::nullopt;
      }
      symbol.resize(symbol.size() - 2);
      if (utf16::length(symbol) < 3) return std::nullopt;
      return Pair{utf16::prefix(symbol, 3), utf16::suffixFrom(symbol, 3)};
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace quote_service
