// The reply's UTF-8 check and the platform's number readings. The check must agree with the
// C library's UTF-8 decoder; doubleValue and floatValue must agree with strtod in the C
// locale on every text both read as a plain decimal number.
#include <locale.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#include "platform/foundation/number_text.h"
#include "platform/foundation/utf16.h"
#include "platform/foundation/values.h"

namespace {

locale_t cLocale() {
  static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

// The C library's reading of UTF-8: every character decodes, none is a surrogate.
bool libcAcceptsUTF8(std::string_view bytes) {
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (!utf8) return utf16::isValidUTF8(bytes);
  const locale_t previous = ::uselocale(utf8);
  std::mbstate_t state{};
  bool ok = true;
  size_t i = 0;
  while (ok && i < bytes.size()) {
    wchar_t c = 0;
    const size_t used = std::mbrtowc(&c, bytes.data() + i, bytes.size() - i, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      ok = false;
    } else {
      ok = !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF;
      i += used == 0 ? 1 : used;
    }
  }
  ::uselocale(previous);
  return ok;
}

// [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?, and nothing else.
bool isPlainDecimal(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t exponent = 0;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j, ++exponent;
    if (exponent == 0) return false;
    i = j;
  }
  return i == t.size();
}

bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (utf16::isValidUTF8(text) != libcAcceptsUTF8(text)) std::abort();
  const auto string = NSString::stringWithUTF8Data(text);
  if (static_cast<bool>(string) != utf16::isValidUTF8(text)) std::abort();

  const double value = number_text::doubleValue(text);
  const float single = number_text::floatValue(text);
  (void)number_text::intValue(text);
  (void)number_text::boolValue(text);
  if (!same(static_cast<float>(value), single)) std::abort();
  if (isPlainDecimal(text)) {
    const std::string copy(text);
    const double expected = ::strtod_l(copy.c_str(), nullptr, cLocale());
    if (!same(value, expected)) std::abort();
  }
  // Leading white space and what follows the number change nothing.
  if (size < 4096) {
    const std::string padded = " \t" + std::string(text) + "x";
    if (isPlainDecimal(text) && !same(number_text::doubleValue(padded), value)) std::abort();
  }
  // A number printed with %.Nf reads back within half a unit of its last place.
  if (std::isfinite(value) && std::fabs(value) < 1e15) {
    const std::string printed = number_text::formatFixed(value, 6);
    if (std::fabs(number_text::doubleValue(printed) - value) > 5e-7 * (1 + std::fabs(value) * 1e-9))
      std::abort();
  }
  return 0;
}
