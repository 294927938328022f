// The XML form as the platform writes it: one tab per level, keys in UTF-16 code-unit order,
// integers in decimal, reals as "%.17g" in the C locale, whole-second dates.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/utf16.h"

namespace property_list {
namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr std::string_view kFooter = "</plist>\n";

// Base64 lines are 76 columns with a tab counted as 8, as the platform wraps them; past
// eight levels the indentation stops counting.
constexpr int kDataLineColumns = 76;

std::string formatReal(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-infinity" : "+infinity";
  // "%.17g" gives "0" and "-0"; the platform writes zero as "0.0", and the sign is kept so
  // that negative zero reads back as itself.
  if (value == 0.0) return std::signbit(value) ? "-0.0" : "0.0";
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
  return std::string(text, result.ptr);
}

class XMLWriter {
 public:
  bool write(const NSObject& object, int depth) {
    // Nothing is written that could not be read back.
    if (depth > kMaxDepth || out_.size() > file_io::kMaxFileSize) return false;
    if (const auto* string = dynamic_cast<const NSString*>(&object)) {
      return element("string", string->UTF8String(), depth);
    }
    if (const auto* number = dynamic_cast<const NSNumber*>(&object))
      return writeNumber(*number, depth);
    if (const auto* date = dynamic_cast<const NSDate*>(&object)) {
      const auto text = detail::formatISODate(date->timeIntervalSinceReferenceDate());
      if (!text) return false;
      indent(depth);
      out_ += "<date>" + *text + "</date>\n";
      return true;
    }
    if (const auto* data = dynamic_cast<const NSData*>(&object)) {
      writeData(*data, depth);
      return true;
    }
    if (const auto* dictionary = dynamic_cast<const NSDictionary*>(&object)) {
      return writeDictionary(*dictionary, depth);
    }
    if (const auto* array = dynamic_cast<const NSArray*>(&object)) return writeArray(*array, depth);
    return false;
  }

  std::string& text() { return out_; }

 private:
  void indent(int depth) { out_.append(static_cast<size_t>(depth), '\t'); }

  // Only <, > and & are escaped, as the platform does. U+0000 cannot appear in XML at all.
  bool appendEscaped(std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c != '<' && c != '>' && c != '&' && c != '\0') continue;
      if (c == '\0') return false;
      out_.append(text.substr(start, i - start));
      out_ += c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
      start = i + 1;
    }
    out_.append(text.substr(start));
    return true;
  }

  bool element(std::string_view tag, std::string_view text, int depth) {
    indent(depth);
    out_ += '<';
    out_ += tag;
    out_ += '>';
    if (!appendEscaped(text)) return false;
    out_ += "</";
    out_ += tag;
    out_ += ">\n";
    return true;
  }

  bool writeNumber(const NSNumber& number, int depth) {
    indent(depth);
    switch (number.kind()) {
      case NSNumber::Kind::Boolean:
        out_ += number.boolValue() ? "<true/>\n" : "<false/>\n";
        return true;
      case NSNumber::Kind::Integer: {
        char digits[24];
        const auto end =
            number.isUnsigned()
                ? std::to_chars(digits, digits + sizeof digits, number.unsignedValue()).ptr
                : std::to_chars(digits, digits + sizeof digits, number.integerValue()).ptr;
        out_ += "<integer>";
        out_.append(digits, end);
        out_ += "</integer>\n";
        return true;
      }
      case NSNumber::Kind::Real:
        out_ += "<real>" + formatReal(number.realValue()) + "</real>\n";
        return true;
    }
    return false;
  }

  void writeData(const NSData& data, int depth) {
    const std::string encoded = detail::encodeBase64(data.bytes());
    const auto width = static_cast<size_t>(kDataLineColumns - 8 * std::min(depth, 8));
    indent(depth);
    out_ += "<data>\n";
    for (size_t at = 0; at < encoded.size(); at += width) {
      indent(depth);
      out_.append(encoded, at, width);
      out_ += '\n';
    }
    indent(depth);
    out_ += "</data>\n";
  }

  bool writeDictionary(const NSDictionary& dictionary, int depth) {
    indent(depth);
    if (dictionary.count() == 0) {
      out_ += "<dict/>\n";
      return true;
    }
    out_ += "<dict>\n";
    for (const auto* entry : sortedEntries(dictionary)) {
      if (!entry->second || !element("key", entry->first, depth + 1)) return false;
      if (!write(*entry->second, depth + 1)) return false;
    }
    indent(depth);
    out_ += "</dict>\n";
    return true;
  }

  // The map keeps byte order, which is code-point order; that differs from code-unit order
  // only where a key holds a character past U+FFFF, so only then do we sort again.
  static std::vector<const NSDictionary::Storage::value_type*> sortedEntries(
      const NSDictionary& dictionary) {
    std::vector<const NSDictionary::Storage::value_type*> entries;
    entries.reserve(dictionary.count());
    bool supplementary = false;
    for (const auto& entry : dictionary.entries()) {
      entries.push_back(&entry);
      for (const char c : entry.first) supplementary |= static_cast<unsigned char>(c) >= 0xF0;
    }
    if (supplementary) {
      std::stable_sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) {
        return utf16::lessByCodeUnits(a->first, b->first);
      });
    }
    return entries;
  }

  bool writeArray(const NSArray& array, int depth) {
    indent(depth);
    if (array.count() == 0) {
      out_ += "<array/>\n";
      return true;
    }
    out_ += "<array>\n";
    for (const id& object : array.objects()) {
      if (!object || !write(*object, depth + 1)) return false;
    }
    indent(depth);
    out_ += "</array>\n";
    return true;
  }

  std::string out_;
};

}  // namespace

std::optional<std::string> writeXML(const NSObject& root) {
  XMLWriter writer;
  writer.text() = kHeader;
  if (!writer.write(root, 0)) return std::nullopt;
  writer.text() += kFooter;
  return std::move(writer.text());
}

}  // namespace property_list
