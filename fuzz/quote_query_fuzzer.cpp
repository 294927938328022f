// The quote service's query: a malformed one is a 400 with a reason, a 200 names two codes and
// serves a finite positive rate from the project's own table.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/quote_common.h"
#include "quotes/quote_query.h"

namespace {

const tessary::quotes::RateTable& table() {
  static const auto loaded = tessary::quotes::loadReferenceTable(TESSARY_FUZZ_RATES);
  if (!loaded) std::abort();
  return *loaded.table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  const auto parsed = tessary::quotes::parseQuoteQuery(query);
  if (parsed.ok() && (!tessary::quotes::isCurrencyCode(parsed.from) ||
                      !tessary::quotes::isCurrencyCode(parsed.to)))
    std::abort();
  const auto reply = tessary::quotes::answerQuote(table(), query);
  switch (reply.status) {
    case 200:
      if (!parsed.ok() || reply.body.empty() || reply.body.back() != '\n') std::abort();
      fuzz_quotes::requireServable(reply.body.substr(0, reply.body.size() - 1));
      break;
    case 400:
      if (parsed.ok()) std::abort();
      break;
    case 404:
      if (!parsed.ok()) std::abort();
      break;
    default:
      std::abort();
  }
  (void)tessary::quotes::percentDecode(query);
  return 0;
}
