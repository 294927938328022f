#include "quotes/rate_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <system_error>

namespace tessary::quotes {

bool isCurrencyCode(std::string_view code) {
  return code.size() == 3 &&
         std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::optional<std::string> RateTable::add(std::string_view code, double unitsPerEuro,
                                          std::string_view published) {
  if (!isCurrencyCode(code))
    return "not a currency code: \"" + std::string(code.substr(0, 16)) + "\"";
  if (!std::isfinite(unitsPerEuro) || unitsPerEuro < kMinUnitsPerEuro ||
      unitsPerEuro > kMaxUnitsPerEuro) {
    return "implausible rate for " + std::string(code);
  }
  if (code == "EUR") {
    // The euro is the base; a file may state it only as 1.
    if (unitsPerEuro != 1.0) return "EUR must be 1";
    return std::nullopt;
  }
  auto at = std::lower_bound(rates_.begin(), rates_.end(), code,
                             [](const auto& entry, std::string_view c) { return entry.first < c; });
  if (at != rates_.end() && at->first == code) return "duplicate currency " + std::string(code);
  published_.emplace(published_.begin() + (at - rates_.begin()),
                     isPlainDecimal(published) ? published : std::string_view());
  rates_.emplace(at, std::string(code), unitsPerEuro);
  return std::nullopt;
}

std::optional<double> RateTable::unitsPerEuro(std::string_view code) const {
  if (code == "EUR") return 1.0;
  auto at = std::lower_bound(rates_.begin(), rates_.end(), code,
                             [](const auto& entry, std::string_view c) { return entry.first < c; });
  if (at == rates_.end() || at->first != code) return std::nullopt;
  return at->second;
}

std::optional<double> RateTable::cross(std::string_view from, std::string_view to) const {
  auto fromRate = unitsPerEuro(from);
  auto toRate = unitsPerEuro(to);
  if (!fromRate || !toRate) return std::nullopt;
  if (from == to) return 1.0;
  return *toRate / *fromRate;
}

std::optional<std::string> RateTable::quoteText(std::string_view from, std::string_view to) const {
  auto rate = cross(from, to);
  if (!rate) return std::nullopt;
  if (from == to) return "1";
  if (from == "EUR") {
    auto at =
        std::lower_bound(rates_.begin(), rates_.end(), to,
                         [](const auto& entry, std::string_view c) { return entry.first < c; });
    const auto& text = published_[static_cast<std::size_t>(at - rates_.begin())];
    if (!text.empty()) return text;
  }
  return formatRate(*rate);
}

bool isPlainDecimal(std::string_view text) {
  auto digits = [](std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  auto point = text.find('.');
  if (point == std::string_view::npos) return digits(text);
  return digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

std::optional<double> parseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // from_chars also takes "inf" and "nan"; rates are plain numbers only.
  for (char c : text) {
    bool ok = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
    if (!ok) return std::nullopt;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool takeMeta(std::string_view comment, std::string_view key, std::string& out) {
  if (comment.substr(0, key.size()) != key) return false;
  out = std::string(trimmed(comment.substr(key.size())));
  return true;
}

}  // namespace

TableResult parseReferenceTable(std::string_view text) {
  auto table = std::make_shared<RateTable>();
  std::size_t lineNo = 0;
  while (!text.empty()) {
    auto nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (trimmed(line).empty()) continue;
    if (line.front() == '#') {
      auto comment = trimmed(line.substr(1));
      takeMeta(comment, "source:", table->source) || takeMeta(comment, "date:", table->date);
      continue;
    }
    auto where = "line " + std::to_string(lineNo) + ": ";
    auto tab = line.find('\t');
    if (tab == std::string_view::npos) return {nullptr, where + "expected CODE<TAB>RATE"};
    auto rate = parseDecimal(line.substr(tab + 1));
    if (!rate) return {nullptr, where + "not a number"};
    if (auto error = table->add(line.substr(0, tab), *rate, line.substr(tab + 1)))
      return {nullptr, where + *error};
  }
  if (table->size() == 0) return {nullptr, "no rates in the table"};
  return {std::move(table), {}};
}

std::optional<std::string> readFileCapped(const std::filesystem::path& path, std::size_t maxBytes,
                                          std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path.string();
    return std::nullopt;
  }
  std::string data;
  char buffer[8192];
  while (in) {
    in.read(buffer, sizeof buffer);
    data.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (data.size() > maxBytes) {
      *error = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
      return std::nullopt;
    }
  }
  if (in.bad()) {
    *error = "cannot read " + path.string();
    return std::nullopt;
  }
  return data;
}

TableResult loadReferenceTable(const std::filesystem::path& path) {
  std::string error;
  auto text = readFileCapped(path, kMaxRatesFileBytes, &error);
  if (!text) return {nullptr, error};
  auto result = parseReferenceTable(*text);
  if (!result) result.error = path.string() + ": " + result.error;
  return result;
}

std::string formatRate(double rate) {
  if (!std::isfinite(rate) || rate <= 0) return "N/A";
  int magnitude = static_cast<int>(std::floor(std::log10(rate)));
  int decimals = std::clamp(9 - magnitude, 0, 30);
  char buffer[96];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, rate, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "N/A";
  return std::string(buffer, end);
}

}  // namespace tessary::quotes
