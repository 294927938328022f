#include "quotes/quote_query.h"

namespace tessary::quotes {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = hexValue(text[i + 1]);
      int lo = hexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

QuoteQuery parseQuoteQuery(std::string_view rawQuery) {
  std::optional<std::string> symbol;
  std::optional<std::string> format;
  while (true) {
    auto amp = rawQuery.find('&');
    std::string_view pair = rawQuery.substr(0, amp);
    if (!pair.empty()) {
      auto eq = pair.find('=');
      auto key = percentDecode(pair.substr(0, eq));
      auto value =
          percentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
      if (!key || !value) return {{}, {}, "malformed percent-encoding"};
      if (*key == "s" || *key == "f") {
        auto& slot = *key == "s" ? symbol : format;
        if (slot) return {{}, {}, "parameter " + *key + " given twice"};
        slot = std::move(*value);
      }
    }
    if (amp == std::string_view::npos) break;
    rawQuery.remove_prefix(amp + 1);
  }
  if (!symbol) return {{}, {}, "missing s"};
  if (!format) return {{}, {}, "missing f"};
  if (*format != "l1") return {{}, {}, "unsupported f (only l1)"};
  std::string s = *symbol;
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (s.size() != 8 || s.substr(6) != "=X") return {{}, {}, "s must be AAABBB=X"};
  std::string from = s.substr(0, 3);
  std::string to = s.substr(3, 3);
  if (!isCurrencyCode(from) || !isCurrencyCode(to))
    return {{}, {}, "currency codes are three letters"};
  return {std::move(from), std::move(to), {}};
}

Reply answerQuote(const RateTable& table, std::string_view rawQuery) {
  auto query = parseQuoteQuery(rawQuery);
  if (!query.ok()) return {400, "text/plain", "Bad request: " + query.error + "\n"};
  auto rate = table.quoteText(query.from, query.to);
  if (!rate) return {404, "text/csv", "N/A"};
  return {200, "text/csv", *rate + "\n"};
}

}  // namespace tessary::quotes
