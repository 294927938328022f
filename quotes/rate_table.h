#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessary::quotes {

// Files larger than this are refused before parsing: a rates table is a few hundred bytes.
inline constexpr std::size_t kMaxRatesFileBytes = 1 << 20;

// Units per euro outside this range are refused as implausible; it also keeps every cross
// rate well inside the range that formatRate prints without exponent notation.
inline constexpr double kMinUnitsPerEuro = 1e-6;
inline constexpr double kMaxUnitsPerEuro = 1e9;

// True for exactly three ASCII capital letters.
bool isCurrencyCode(std::string_view code);

// Reference rates quoted as units of each currency per 1 EUR; the euro itself is implicit.
class RateTable {
 public:
  // Adds one currency; refuses bad codes, implausible rates and duplicates, and returns why.
  // `published` is the figure as the source wrote it; plain decimal text is answered as it stands.
  std::optional<std::string> add(std::string_view code, double unitsPerEuro,
                                 std::string_view published = {});

  // EUR answers 1; an unknown code answers nothing.
  std::optional<double> unitsPerEuro(std::string_view code) const;
  // Units of `to` for one unit of `from`, through the euro; a code with itself answers 1.
  std::optional<double> cross(std::string_view from, std::string_view to) const;
  // The same as text: a euro quote is the published figure as it stands, a code with itself
  // "1", any other rate formatRate's digits.
  std::optional<std::string> quoteText(std::string_view from, std::string_view to) const;

  std::size_t size() const { return rates_.size(); }
  const std::vector<std::pair<std::string, double>>& rates() const { return rates_; }

  std::string source;  // where the figures come from, for the log
  std::string date;    // the day they were published, YYYY-MM-DD when known

 private:
  std::vector<std::pair<std::string, double>> rates_;  // sorted by code
  std::vector<std::string> published_;                 // beside rates_, empty when not plain
};

// A table, or the reason there is none.
struct TableResult {
  std::shared_ptr<const RateTable> table;
  std::string error;
  explicit operator bool() const { return table != nullptr; }
};

// Our own format: '#' comment lines ("# source: ..." and "# date: ..." are kept as metadata),
// blank lines, and CODE<TAB>UNITS_PER_EUR lines. Any other line rejects the whole table.
TableResult parseReferenceTable(std::string_view text);
TableResult loadReferenceTable(const std::filesystem::path& path);

// Reads a whole file of at most maxBytes; the error names the file.
std::optional<std::string> readFileCapped(const std::filesystem::path& path, std::size_t maxBytes,
                                          std::string* error);

// Parses a plain decimal number ("1.0843", "20565.38", "1e3"), locale-independent; nothing
// else may follow it.
std::optional<double> parseDecimal(std::string_view text);

// True for digits with at most one point between digits ("20565.38", "108.9035", "2").
bool isPlainDecimal(std::string_view text);

// Ten significant digits in fixed notation with trailing zeros kept, so that inverses and
// cross rates lose nothing a reader of two published figures could tell: 1 / 1.1415 ->
// "0.8760402979", 1 / 20565.38 -> "0.00004862549867". Never exponent form.
std::string formatRate(double rate);

}  // namespace tessary::quotes
