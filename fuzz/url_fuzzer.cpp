// Addresses: URLWithString accepts no byte an address may not hold, and a request's pair reads
// back from the address it was made into; percent-encoding round-trips.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/foundation/url_connection.h"
#include "widget/rates/quote_service.h"

namespace {

bool forbidden(unsigned char c) {
  return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto url = NSURL::URLWithString(text)) {
    for (const char c : text) {
      if (c != '\0' && forbidden(static_cast<unsigned char>(c))) std::abort();
    }
    if (url->absoluteString() != text) std::abort();
    (void)url->scheme();
    (void)url->query();
  }
  (void)quote_service::pairOfRequest(text);
  if (quote_service::percentDecode(quote_service::percentEncode(text)) != text) std::abort();

  // The first six bytes as two codes, the rest as the base address.
  if (size >= 6) {
    const std::string first = text.substr(0, 3), second = text.substr(3, 3);
    const std::string base = text.substr(6);
    if (quote_service::isValidCode(first) && quote_service::isValidCode(second) &&
        NSURL::URLWithString(base) && base.find_first_of("?#") == std::string::npos) {
      const auto pair =
          quote_service::pairOfRequest(quote_service::requestURL(base, first, second));
      if (!pair || pair->first != first || pair->second != second) std::abort();
    }
  }
  return 0;
}
