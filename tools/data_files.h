#pragma once

#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/values.h"

// The bundle's data files, built from their sources at build time.
namespace data_files {

// The codes listed first in the picker, in this order, when the quote table covers them.
inline constexpr const char* kMajors[] = {"EUR", "USD", "GBP", "JPY", "CHF"};

bool isCurrencyCode(std::string_view text);

// Limits on a JSON source: deeper nesting or a larger file is refused, not read.
inline constexpr int kMaxDepth = 64;
inline constexpr size_t kMaxBytes = size_t{64} << 20;

struct JsonResult {
  std::optional<nlohmann::json> document;  // empty on error
  std::string error;
};

// A whole strict JSON document (RFC 8259: invalid UTF-8, lone surrogates and NUL bytes are
// errors; a leading byte-order mark is skipped), or the reason it is refused, with where.
// Malformed input never throws, and nesting beyond kMaxDepth is refused before any tree is
// built, so no input exhausts the stack.
JsonResult parseJson(std::string_view text);

// Currencies.plist from iso-codes' iso_4217.json: one {"ISO", "Currency"} dictionary per
// element of "4217", in the file's order. An element that is not an object, lacks a string
// "alpha_3" that is a currency code or a non-empty string "name" without U+0000, or repeats
// an earlier code, is skipped. nullptr when the document is not an object holding a "4217" array.
std::shared_ptr<NSArray> currencies(const nlohmann::json& document);

struct EntriesResult {
  std::shared_ptr<NSArray> entries;  // nullptr on error
  std::string error;
};

// Entries.plist from the quote service's reference table (CODE<TAB>RATE lines, "#" comments):
// every code it covers plus EUR, its base. The majors come first in kMajors' order, the rest
// follow alphabetically so the list reads the same whatever order the table keeps. A line
// the quote service would refuse (no tab, not a code, a repeated code) is an error.
EntriesResult entries(std::string_view table);

// Info.plist: the given keys with string values.
std::shared_ptr<NSDictionary> info(const std::vector<std::pair<std::string, std::string>>& keys);

}  // namespace data_files
