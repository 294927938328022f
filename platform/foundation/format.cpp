#include "platform/foundation/format.h"

#include <climits>
#include <cmath>

#include "platform/foundation/number_text.h"

std::string FormatArg::text() const {
  if (const auto* s = std::get_if<std::string>(&value_)) return *s;
  if (const auto* i = std::get_if<long long>(&value_)) return number_text::formatInt(*i);
  return number_text::formatFixed(std::get<double>(value_), 6);
}

long long FormatArg::integer() const {
  if (const auto* i = std::get_if<long long>(&value_)) return *i;
  if (const auto* d = std::get_if<double>(&value_)) {
    // Casting a double out of range is undefined; saturate as the integer readings do.
    if (std::isnan(*d)) return 0;
    if (*d >= 9.2e18) return LLONG_MAX;
    if (*d <= -9.2e18) return LLONG_MIN;
    return static_cast<long long>(*d);
  }
  return number_text::intValue(std::get<std::string>(value_));
}

double FormatArg::real() const {
  if (const auto* d = std::get_if<double>(&value_)) return *d;
  if (const auto* i = std::get_if<long long>(&value_)) return static_cast<double>(*i);
  return number_text::doubleValue(std::get<std::string>(value_));
}

std::string stringWithFormat(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16);
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    size_t j = i + 1;
    int precision = -1;
    if (format[j] == '.') {
      precision = 0;
      ++j;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9' && precision < 1000) {
        precision = precision * 10 + (format[j] - '0');
        ++j;
      }
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const char conversion = format[j];
    if (conversion == '%') {
      out += '%';
    } else if (conversion == '@' || conversion == 'i' || conversion == 'd' || conversion == 'f') {
      if (next != args.end()) {
        const FormatArg& arg = *next++;
        if (conversion == '@')
          out += arg.text();
        else if (conversion == 'f')
          out += number_text::formatFixed(arg.real(), precision < 0 ? 6 : precision);
        else
          out += number_text::formatInt(arg.integer());
      }
    } else {
      // Not a conversion this layer knows: written as it stands.
      out.append(format.substr(i, j - i + 1));
    }
    i = j;
  }
  return out;
}
