// The XML form, read with pugixml. pugixml checks the markup; this file checks the values
// and decodes entities itself, so that an unfinished one ("&amp" without ";") is malformed
// rather than passed through, and carriage returns in strings survive a round trip.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <pugixml.hpp>

#include "platform/foundation/property_list.h"
#include "platform/foundation/utf16.h"

namespace property_list::detail {
namespace {

constexpr unsigned kParseFlags =
    pugi::parse_cdata | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool isBlank(std::string_view text) {
  return trimmed(text).empty();
}

bool decodeCharacterReference(std::string_view body, std::string& out) {
  // body is what lies between "&#" and ";".
  int base = 10;
  if (!body.empty() && body.front() == 'x') {
    base = 16;
    body.remove_prefix(1);
  }
  uint32_t c = 0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), c, base);
  if (body.empty() || error != std::errc() || end != body.data() + body.size()) return false;
  // U+0000, surrogates and values past Unicode name no character.
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
  utf16::appendUTF8(out, c);
  return true;
}

// Character data with the XML entities decoded; false for an unknown or unfinished one.
bool appendDecoded(std::string_view text, std::string& out) {
  size_t amp = text.find('&');
  if (amp == std::string_view::npos) {
    out.append(text);
    return true;
  }
  while (amp != std::string_view::npos) {
    out.append(text.substr(0, amp));
    const size_t semicolon = text.find(';', amp);
    if (semicolon == std::string_view::npos) return false;
    const std::string_view name = text.substr(amp + 1, semicolon - amp - 1);
    if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name == "amp") {
      out += '&';
    } else if (name == "quot") {
      out += '"';
    } else if (name == "apos") {
      out += '\'';
    } else if (name.empty() || name.front() != '#' ||
               !decodeCharacterReference(name.substr(1), out)) {
      return false;
    }
    text.remove_prefix(semicolon + 1);
    amp = text.find('&');
  }
  out.append(text);
  return true;
}

// The text of a leaf element: character data and CDATA sections; comments are already gone.
// A nested element or text that is not UTF-8 makes it malformed.
bool textOf(const pugi::xml_node& element, std::string& out) {
  out.clear();
  const char* value = element.value();
  // The common case, plain text and nothing else, takes no second pass.
  if (!element.first_child() && !std::strchr(value, '&')) {
    out.assign(value);
    return utf16::isValidUTF8(out);
  }
  if (!appendDecoded(value, out)) return false;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata) {
      if (!appendDecoded(child.value(), out)) return false;
    } else if (child.type() == pugi::node_cdata) {
      out.append(child.value());
    } else {
      return false;
    }
  }
  return utf16::isValidUTF8(out);
}

// Decimal with any number of leading zeros (010 is ten, as the platform reads it), or hex
// after "0x" (the platform reads that too); optional sign and surrounding white space.
// Past 64 bits, or below -2^63, is malformed.
id integerFrom(std::string_view text) {
  text = trimmed(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return nullptr;
  if (!negative) {
    if (magnitude > INT64_MAX) return NSNumber::numberWithUnsignedInteger(magnitude);
    return NSNumber::numberWithInteger(static_cast<int64_t>(magnitude));
  }
  if (magnitude > uint64_t{1} << 63) return nullptr;
  return NSNumber::numberWithInteger(static_cast<int64_t>(0 - magnitude));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

std::optional<double> specialReal(std::string_view text) {
  bool negative = false;
  std::string_view word = text;
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) {
    negative = word.front() == '-';
    word.remove_prefix(1);
  }
  if (equalsIgnoringCase(word, "nan") && word.size() == text.size()) return std::nan("");
  if (equalsIgnoringCase(word, "inf") || equalsIgnoringCase(word, "infinity")) {
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  return std::nullopt;
}

// The decimal exponent of the first significant digit, to tell an overflow from an underflow.
long magnitudeOf(std::string_view mantissa, long exponent) {
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  const size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return 0;
  const long position =
      first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
  return position + exponent;
}

// A C-locale decimal ("1e4", ".5", "-2.25E-3") or nan and the infinities; anything else,
// such as "1,5", hex or trailing text, is malformed.
id realFrom(std::string_view text) {
  text = trimmed(text);
  if (const auto special = specialReal(text)) return NSNumber::numberWithDouble(*special);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  size_t i = 0;
  size_t mantissaDigits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++mantissaDigits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++mantissaDigits;
  }
  const size_t mantissaEnd = i;
  long exponent = 0;
  if (mantissaDigits > 0 && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool negativeExponent = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t exponentStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (i == exponentStart) return nullptr;
    if (negativeExponent) exponent = -exponent;
  }
  if (mantissaDigits == 0 || i != text.size()) return nullptr;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    value = magnitudeOf(text.substr(0, mantissaEnd), exponent) > 0 ? HUGE_VAL : 0.0;
  } else if (error != std::errc() || end != text.data() + text.size()) {
    return nullptr;
  }
  return NSNumber::numberWithDouble(negative ? -value : value);
}

class XMLReader {
 public:
  id value(const pugi::xml_node& element, int depth) {
    if (depth > kMaxDepth) return nullptr;
    const char* name = element.name();
    const auto is = [name](const char* tag) { return std::strcmp(name, tag) == 0; };
    switch (name[0]) {
      case 'd':
        if (is("dict")) return dictionary(element, depth);
        if (is("date")) return date(element);
        if (is("data")) return data(element);
        return nullptr;
      case 'a':
        return is("array") ? array(element, depth) : nullptr;
      case 's':
        return is("string") && textOf(element, text_) ? NSStr(text_) : nullptr;
      case 'i':
        return is("integer") && textOf(element, text_) ? integerFrom(text_) : nullptr;
      case 'r':
        return is("real") && textOf(element, text_) ? realFrom(text_) : nullptr;
      case 't':
      case 'f':
        if (!is("true") && !is("false")) return nullptr;
        if (!textOf(element, text_) || !isBlank(text_)) return nullptr;
        return NSNumber::numberWithBool(name[0] == 't');
      default:
        return nullptr;
    }
  }

  // The value inside <plist>, which must be the only element there.
  id root(const pugi::xml_node& plist) {
    pugi::xml_node only;
    if (!onlyElements(plist)) return nullptr;
    for (pugi::xml_node child = plist.first_child(); child; child = child.next_sibling()) {
      if (only) return nullptr;
      only = child;
    }
    return only ? value(only, 0) : nullptr;
  }

  // Containers may hold elements and white space, nothing else.
  static bool onlyElements(const pugi::xml_node& container) {
    if (!isBlank(container.value())) return false;
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element) return false;
    }
    return true;
  }

 private:
  id date(const pugi::xml_node& element) {
    if (!textOf(element, text_)) return nullptr;
    const auto seconds = parseISODate(trimmed(text_));
    return seconds ? NSDate::dateWithTimeIntervalSinceReferenceDate(*seconds) : nullptr;
  }

  id data(const pugi::xml_node& element) {
    if (!textOf(element, text_)) return nullptr;
    auto bytes = decodeBase64(text_);
    return bytes ? NSData::dataWithBytes(std::move(*bytes)) : nullptr;
  }

  id array(const pugi::xml_node& element, int depth) {
    if (!onlyElements(element)) return nullptr;
    std::vector<id> objects;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      id object = value(child, depth + 1);
      if (!object) return nullptr;
      objects.push_back(std::move(object));
    }
    return std::make_shared<NSArray>(std::move(objects));
  }

  id dictionary(const pugi::xml_node& element, int depth) {
    if (!onlyElements(element)) return nullptr;
    NSDictionary::Storage entries;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      const pugi::xml_node valueNode = child.next_sibling();
      if (std::strcmp(child.name(), "key") != 0 || !valueNode) return nullptr;
      if (!textOf(child, text_)) return nullptr;
      std::string key = text_;
      id object = value(valueNode, depth + 1);
      if (!object) return nullptr;
      // Files are usually sorted, so the end is the likely place; a repeated key keeps its
      // last value, as the platform's reader does.
      entries.insert_or_assign(entries.end(), std::move(key), std::move(object));
      child = valueNode;
    }
    return std::make_shared<NSDictionary>(std::move(entries));
  }

  std::string text_;
};

}  // namespace

id parseXML(std::string_view bytes) {
  pugi::xml_document document;
  if (!document.load_buffer(bytes.data(), bytes.size(), kParseFlags, pugi::encoding_auto)) {
    return nullptr;
  }
  // Exactly one root element; <plist> wraps the value, a bare value element is read as is.
  pugi::xml_node rootElement;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata && isBlank(child.value())) continue;
    if (child.type() != pugi::node_element || rootElement) return nullptr;
    rootElement = child;
  }
  if (!rootElement) return nullptr;
  XMLReader reader;
  if (std::string_view(rootElement.name()) == "plist") return reader.root(rootElement);
  return reader.value(rootElement, 0);
}

}  // namespace property_list::detail
