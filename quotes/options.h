#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "quotes/ecb_reader.h"
#include "quotes/quote_server.h"

namespace tessary::quotes {

struct Options {
  std::string host = "127.0.0.1";
  int port = 8471;
  std::optional<std::string> ratesFile;
  std::optional<std::string> ecbXmlFile;
  std::optional<HttpUrl> ecbUrl;
  std::chrono::seconds refresh{3600};
  ServerConfig server;
};

struct OptionsResult {
  Options options;
  std::string error;  // set when the arguments are bad
  bool help = false;
};

// Flags take their value as the next argument or after '='.
OptionsResult parseOptions(int argc, const char* const* argv);
const char* usageText();

// "HOST:PORT" or "[IPV6]:PORT"; the host comes back without brackets.
bool parseListen(std::string_view text, std::string& host, int& port);

}  // namespace tessary::quotes
