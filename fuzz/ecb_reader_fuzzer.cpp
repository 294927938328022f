// The reference-rate XML and the service's upstream address: a document that is accepted
// gives a table that serves only finite positive rates and reads the same from our own
// format; an accepted address is http or https with a path.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/quote_common.h"
#include "quotes/ecb_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto url = tessary::quotes::parseHttpUrl(text)) {
    if (!(url->schemeHostPort.starts_with("http://") ||
          url->schemeHostPort.starts_with("https://")) ||
        url->path.empty() || url->path.front() != '/') {
      std::abort();
    }
  }
  fuzz_quotes::requireSoundResult(tessary::quotes::parseEcbDaily(text));
  return 0;
}
