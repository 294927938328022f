// Dates and base64 as XML property lists spell them.
#include <cmath>
#include <cstdint>

#include "platform/foundation/clock.h"
#include "platform/foundation/property_list.h"

namespace property_list::detail {
namespace {

// Days from 1970-01-01 in the proleptic Gregorian calendar, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool isLeap(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

bool digits(std::string_view text, size_t at, size_t count, unsigned& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

constexpr int64_t kSecondsPerDay = 86400;
constexpr auto kReferenceUnix = static_cast<int64_t>(kReferenceDateUnixTime);
// 0000-01-01T00:00:00Z and 9999-12-31T23:59:59Z as Unix time.
constexpr int64_t kFirstWritable = -62167219200;
constexpr int64_t kLastWritable = 253402300799;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool isXMLSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::optional<double> parseISODate(std::string_view text) {
  // Exactly the platform's form; a fraction or a zone other than Z is malformed.
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  unsigned year, month, day, hour, minute, second;
  if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day) ||
      !digits(text, 11, 2, hour) || !digits(text, 14, 2, minute) || !digits(text, 17, 2, second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  const int64_t unix = ((daysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60 + second;
  return static_cast<double>(unix - kReferenceUnix);
}

std::optional<std::string> formatISODate(double sinceReferenceDate) {
  // Whole seconds, rounded down, as the platform writes them.
  const double unixTime = std::floor(sinceReferenceDate) + kReferenceDateUnixTime;
  if (!(unixTime >= static_cast<double>(kFirstWritable) &&
        unixTime <= static_cast<double>(kLastWritable))) {
    return std::nullopt;
  }
  const auto unix = static_cast<int64_t>(unixTime);
  const int64_t days = (unix >= 0 ? unix : unix - (kSecondsPerDay - 1)) / kSecondsPerDay;
  const int64_t secondOfDay = unix - days * kSecondsPerDay;
  int64_t year;
  unsigned month, day;
  civilFromDays(days, year, month, day);
  char text[24];
  const auto two = [&](size_t at, int64_t v) {
    text[at] = static_cast<char>('0' + v / 10);
    text[at + 1] = static_cast<char>('0' + v % 10);
  };
  two(0, year / 100);
  two(2, year % 100);
  text[4] = '-';
  two(5, month);
  text[7] = '-';
  two(8, day);
  text[10] = 'T';
  two(11, secondOfDay / 3600);
  text[13] = ':';
  two(14, secondOfDay / 60 % 60);
  text[16] = ':';
  two(17, secondOfDay % 60);
  text[19] = 'Z';
  return std::string(text, 20);
}

std::optional<std::string> decodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;
  size_t padding = 0;
  for (const char c : text) {
    if (isXMLSpace(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = base64Value(c);
    // Nothing but white space and padding may follow the padding.
    if (value < 0 || padding > 0) return std::nullopt;
    bits = bits << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>(bits >> 16);
      out += static_cast<char>(bits >> 8 & 0xFF);
      out += static_cast<char>(bits & 0xFF);
      bits = 0;
      count = 0;
    }
  }
  // Padding is optional, but a lone sixth of a byte or too much of it is malformed.
  if (count == 1 || padding > 2 || (padding > 0 && count + padding != 4)) return std::nullopt;
  if (count == 2) {
    out += static_cast<char>(bits >> 4);
  } else if (count == 3) {
    out += static_cast<char>(bits >> 10);
    out += static_cast<char>(bits >> 2 & 0xFF);
  }
  return out;
}

std::string encodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kBase64[v >> 18];
    out += kBase64[v >> 12 & 63];
    out += kBase64[v >> 6 & 63];
    out += kBase64[v & 63];
  }
  if (bytes.size() - i == 1) {
    const uint32_t v = byte(i) << 16;
    out += kBase64[v >> 18];
    out += kBase64[v >> 12 & 63];
    out += "==";
  } else if (bytes.size() - i == 2) {
    const uint32_t v = byte(i) << 16 | byte(i + 1) << 8;
    out += kBase64[v >> 18];
    out += kBase64[v >> 12 & 63];
    out += kBase64[v >> 6 & 63];
    out += '=';
  }
  return out;
}

}  // namespace property_list::detail
