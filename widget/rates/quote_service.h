#pragma once

#include <optional>
#include <string>

// Where the widget finds the quote service, and how a request's address is made and read.
namespace quote_service {

inline constexpr const char* kDefaultBaseURL = "http://127.0.0.1:8471";
inline constexpr const char* kInfoKey = "TessaryQuoteServiceURL";
inline constexpr const char* kEnvironmentVariable = "TESSARY_QUOTE_URL";

// The environment variable, else the bundle's Info.plist key, else the default.
std::string baseURL();

// Exactly three ASCII letters or digits.
bool isValidCode(const std::string& code);
std::string percentEncode(const std::string& text);
std::string percentDecode(const std::string& text);

// base + "/d/quotes.csv?s=" + first + second + "=X&f=l1", the codes percent-encoded.
std::string requestURL(const std::string& base, const std::string& first,
                       const std::string& second);

struct Pair {
  std::string first, second;
};
// The pair of a request address, from its decoded "s" query parameter.
std::optional<Pair> pairOfRequest(const std::string& url);

}  // namespace quote_service
