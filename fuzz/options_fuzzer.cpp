// The quote service's command line: arguments split at NUL bytes. Whatever they are, the
// result is options or an error, and accepted options hold a port and a listen address.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words{"tessary-quoted"};
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\0', start), text.size());
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  argv.reserve(words.size() + 1);
  for (const auto& word : words) argv.push_back(word.c_str());
  argv.push_back(nullptr);
  const auto result = tessary::quotes::parseOptions(static_cast<int>(words.size()), argv.data());
  if (result.error.empty() && !result.help) {
    if (result.options.port < 0 || result.options.port > 65535 || result.options.host.empty())
      std::abort();
  }
  std::string host;
  int port = -1;
  if (tessary::quotes::parseListen(text, host, port) && (port < 0 || port > 65535)) std::abort();
  return 0;
}
