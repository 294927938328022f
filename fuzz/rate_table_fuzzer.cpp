// The quote service's reference table: a table it accepts serves only finite positive rates
// and survives being written out and read again; parseDecimal agrees with strtod in the C
// locale on every text it accepts.
#include <locale.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/quote_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto number = tessary::quotes::parseDecimal(text)) {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string copy(text);
    char* end = nullptr;
    const double expected = ::strtod_l(copy.c_str(), &end, c);
    if (end != copy.c_str() + copy.size() ||
        std::bit_cast<uint64_t>(expected) != std::bit_cast<uint64_t>(*number))
      std::abort();
  }
  fuzz_quotes::requireSoundResult(tessary::quotes::parseReferenceTable(text));
  return 0;
}
