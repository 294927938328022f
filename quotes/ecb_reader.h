#pragma once

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>

#include "quotes/rate_table.h"

namespace tessary::quotes {

// The ECB's daily reference-rate XML: an envelope holding Cube time='YYYY-MM-DD' with one
// Cube currency='USD' rate='1.1415' per currency. Any malformed entry rejects the whole
// document, so a half-broken reply never replaces a good table.
TableResult parseEcbDaily(std::string_view xml);
TableResult loadEcbDaily(const std::filesystem::path& path);

// An http:// or https:// URL split for the client.
struct HttpUrl {
  std::string schemeHostPort;  // "http://127.0.0.1:8080"
  std::string path;            // "/stats/eurofxref-daily.xml", "/" when empty
};
std::optional<HttpUrl> parseHttpUrl(std::string_view url);

// Fetches and parses the ECB document; any failure (connection, status, size, XML) is an error.
// The whole transfer ends by `deadline`, and at once when `stop` is requested.
TableResult fetchEcbDaily(const HttpUrl& url, std::chrono::steady_clock::time_point deadline,
                          const std::stop_token& stop = {});

}  // namespace tessary::quotes
