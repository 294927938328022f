// Checks shared by the quote service's fuzz targets.
#pragma once

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quotes/rate_table.h"

namespace fuzz_quotes {

// A served rate reads, in the C locale, as a finite positive number and nothing else.
inline void requireServable(const std::string& text) {
  static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
  char* end = nullptr;
  const double value = ::strtod_l(text.c_str(), &end, c);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0)
    std::abort();
}

// Every quote a table answers is servable, the crosses included.
inline void requireServableTable(const tessary::quotes::RateTable& table) {
  const auto& rates = table.rates();
  for (size_t i = 0; i < rates.size() && i < 8; ++i) {
    if (!tessary::quotes::isCurrencyCode(rates[i].first)) std::abort();
    for (const char* other : {"EUR", rates.front().first.c_str(), rates.back().first.c_str()}) {
      const auto there = table.quoteText(rates[i].first, other);
      const auto back = table.quoteText(other, rates[i].first);
      if (!there || !back) std::abort();
      requireServable(*there);
      requireServable(*back);
    }
  }
}

// The table in our own format, every rate with all its digits.
inline std::string writeTable(const tessary::quotes::RateTable& table) {
  std::string text = "# date: " + table.date + "\n";
  for (const auto& [code, rate] : table.rates()) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.17g", rate);
    text += code + "\t" + digits + "\n";
  }
  return text;
}

// What a parser answered: a refusal says why; an accepted table is servable and reads the same
// after a trip through our own format.
inline void requireSoundResult(const tessary::quotes::TableResult& result) {
  if (!result) {
    if (result.error.empty()) std::abort();
    return;
  }
  requireServableTable(*result.table);
  const auto again = tessary::quotes::parseReferenceTable(writeTable(*result.table));
  if (!again || result.table->rates() != again.table->rates()) std::abort();
}

}  // namespace fuzz_quotes
