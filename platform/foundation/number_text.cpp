#include "platform/foundation/number_text.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/foundation/utf16.h"

namespace number_text {
namespace {

bool isWhiteSpace(char32_t c) {
  return c < 0x21 || (c >= 0x7F && c <= 0xA0) || (c >= 0x2000 && c <= 0x200B) || c == 0x3000;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

// Length of the decimal number at the start of `s`: sign, digits, point, digits, and an
// exponent only when digits follow it. Zero when no digit is present.
size_t scanNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

size_t skipWhiteSpace(std::string_view utf8) {
  size_t i = 0;
  while (i < utf8.size()) {
    size_t next = i;
    const char32_t c = utf16::decodeUTF8(utf8, next);
    if (!isWhiteSpace(c) || c == 0xFFFD) break;
    i = next;
  }
  return i;
}

double doubleValue(std::string_view text) {
  const std::string_view rest = text.substr(skipWhiteSpace(text));
  const size_t length = scanNumber(rest);
  if (length == 0) return 0.0;
  // from_chars is locale-free and correctly rounded; it reads no leading '+'. Out of range
  // (overflow to HUGE_VAL, underflow to 0) is left to strtod_l in the C locale, which sees
  // only the validated decimal text and so cannot take inf, nan, hex or a locale's separator.
  std::string_view number = rest.substr(0, length);
  const bool plus = number.front() == '+';
  if (plus) number.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc() && result.ptr == number.data() + number.size()) return value;
  const std::string digits(rest.substr(0, length));
  return strtod_l(digits.c_str(), nullptr, cLocale());
}

float floatValue(std::string_view text) {
  return static_cast<float>(doubleValue(text));
}

int intValue(std::string_view text) {
  size_t i = skipWhiteSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
    i += skipWhiteSpace(text.substr(i));
  }
  long long value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) {
      return negative ? INT_MIN : INT_MAX;
    }
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

BOOL boolValue(std::string_view text) {
  size_t i = skipWhiteSpace(text);
  if (i >= text.size()) return NO;
  const char c = text[i];
  if (c == 'Y' || c == 'y' || c == 'T' || c == 't') return YES;
  if (c == '+' || c == '-') ++i;
  while (i < text.size() && text[i] == '0') ++i;
  return (i < text.size() && text[i] >= '1' && text[i] <= '9') ? YES : NO;
}

std::string formatFixed(double value, int fractionDigits) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (fractionDigits < 0) fractionDigits = 0;
  // to_chars is locale-independent and rounds from the exact binary value, as printf does.
  char stack[128];
  auto result =
      std::to_chars(stack, stack + sizeof stack, value, std::chars_format::fixed, fractionDigits);
  if (result.ec == std::errc()) return std::string(stack, result.ptr);
  std::string big(400 + static_cast<size_t>(fractionDigits), '\0');
  result = std::to_chars(big.data(), big.data() + big.size(), value, std::chars_format::fixed,
                         fractionDigits);
  big.resize(static_cast<size_t>(result.ptr - big.data()));
  return big;
}

std::string formatInt(long long value) {
  return std::to_string(value);
}

}  // namespace number_text
