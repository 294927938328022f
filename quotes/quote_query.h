#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quotes/rate_table.h"

namespace tessary::quotes {

inline constexpr std::string_view kQuotePath = "/d/quotes.csv";

// Decodes %XX escapes and '+' as a space; a malformed escape answers nothing.
std::optional<std::string> percentDecode(std::string_view text);

// The pair asked for by "s=AAABBB=X&f=l1" (codes case-insensitive, answered upper case).
// Parameters other than s and f are ignored; s and f must each appear exactly once.
struct QuoteQuery {
  std::string from;
  std::string to;
  std::string error;  // set when the query is malformed
  bool ok() const { return error.empty(); }
};
QuoteQuery parseQuoteQuery(std::string_view rawQuery);

struct Reply {
  int status = 200;
  std::string contentType;
  std::string body;
};

// The answer to a GET of the quote path with this raw query: 200 with the rate and a line
// end, 404 "N/A" for an unknown currency, 400 for a malformed query.
Reply answerQuote(const RateTable& table, std::string_view rawQuery);

}  // namespace tessary::quotes
