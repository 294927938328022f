#include "platform/foundation/utf16.h"

namespace utf16 {

char32_t decodeUTF8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](size_t k) {
    return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  };
  auto byte = [&](size_t k) { return static_cast<char32_t>(s[i + k] & 0x3F); };
  char32_t c = 0xFFFD;
  size_t width = 1;
  if (b0 < 0x80) {
    c = b0;
  } else if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    c = ((b0 & 0x1F) << 6) | byte(1);
    width = 2;
  } else if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
    c = ((b0 & 0x0F) << 12) | (byte(1) << 6) | byte(2);
    width = 3;
    if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    c = ((b0 & 0x07) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
    width = 4;
    if (c < 0x10000 || c > 0x10FFFF) c = 0xFFFD;
  }
  i += width;
  return c;
}

namespace {

bool decodeStrict(std::string_view s, size_t& i, char32_t& out) {
  const size_t start = i;
  const auto b0 = static_cast<unsigned char>(s[i]);
  out = decodeUTF8(s, i);
  if (out != 0xFFFD) return true;
  // A literal U+FFFD (EF BF BD) is valid text.
  return i - start == 3 && b0 == 0xEF;
}

}  // namespace

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isValidUTF8(std::string_view bytes) {
  size_t i = 0;
  char32_t c;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    if (!decodeStrict(bytes, i, c)) return false;
  }
  return true;
}

std::u16string fromUTF8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = decodeUTF8(utf8, i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string toUTF8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    appendUTF8(out, c);
  }
  return out;
}

size_t length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i;
      ++units;
      continue;
    }
    units += decodeUTF8(utf8, i) >= 0x10000 ? 2 : 1;
  }
  return units;
}

std::string prefix(std::string_view utf8, size_t units) {
  const std::u16string all = fromUTF8(utf8);
  return toUTF8(std::u16string_view(all).substr(0, units));
}

std::string suffixFrom(std::string_view utf8, size_t units) {
  const std::u16string all = fromUTF8(utf8);
  if (units >= all.size()) return {};
  return toUTF8(std::u16string_view(all).substr(units));
}

std::string replaceRange(std::string_view utf8, size_t location, size_t length,
                         std::string_view replacement) {
  std::u16string all = fromUTF8(utf8);
  if (location > all.size()) location = all.size();
  if (length > all.size() - location) length = all.size() - location;
  all.replace(location, length, fromUTF8(replacement));
  return toUTF8(all);
}

std::optional<size_t> byteOffset(std::string_view validUtf8, size_t units) {
  size_t i = 0;
  while (units > 0 && i < validUtf8.size()) {
    const auto lead = static_cast<unsigned char>(validUtf8[i]);
    const size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const size_t taken = bytes == 4 ? 2 : 1;
    if (taken > units) return std::nullopt;
    units -= taken;
    i += bytes;
  }
  if (units > 0 || i > validUtf8.size()) return std::nullopt;
  return i;
}

bool lessByCodeUnits(std::string_view a, std::string_view b) {
  // UTF-8 byte order is code point order, which equals UTF-16 order except between
  // U+E000-U+FFFF and the supplementary planes; only then decode.
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() < b.size();
  size_t start = i;
  while (start > 0 && (static_cast<unsigned char>(a[start]) & 0xC0) == 0x80) --start;
  const std::u16string ua = fromUTF8(a.substr(start));
  const std::u16string ub = fromUTF8(b.substr(start));
  return ua < ub;
}

}  // namespace utf16
