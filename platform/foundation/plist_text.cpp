// The old text form: { key = value; }, ( a, b ), <0fbd> and strings, quoted or bare, with
// // and /* */ comments. It has no numbers, booleans or dates: "1" and 0.25 are strings, as
// the platform reads them, and their intValue and doubleValue give the numbers.
#include <cstdint>

#include "platform/foundation/property_list.h"
#include "platform/foundation/utf16.h"

namespace property_list::detail {
namespace {

bool isBareCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class TextReader {
 public:
  explicit TextReader(std::string_view text) : text_(text) {}

  id read() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    id root = value(0);
    if (!root || !skipSpace() || at_ != text_.size()) return nullptr;
    return root;
  }

 private:
  // Skips white space and comments; false for a comment that never ends.
  bool skipSpace() {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++at_;
      } else if (text_.substr(at_, 2) == "//") {
        const size_t end = text_.find('\n', at_);
        at_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.substr(at_, 2) == "/*") {
        const size_t end = text_.find("*/", at_ + 2);
        if (end == std::string_view::npos) return false;
        at_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool consume(char c) {
    if (!skipSpace() || at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool peek(char& c) {
    if (!skipSpace() || at_ >= text_.size()) return false;
    c = text_[at_];
    return true;
  }

  id value(int depth) {
    char c;
    if (depth > kMaxDepth || !peek(c)) return nullptr;
    if (c == '{') return dictionary(depth);
    if (c == '(') return array(depth);
    if (c == '<') return data();
    return string();
  }

  id dictionary(int depth) {
    ++at_;
    NSDictionary::Storage entries;
    char c;
    while (peek(c) && c != '}') {
      const auto key = kindOf<NSString>(string());
      if (!key || !consume('=')) return nullptr;
      id object = value(depth + 1);
      if (!object || !consume(';')) return nullptr;
      entries.insert_or_assign(key->UTF8String(), std::move(object));
    }
    if (!consume('}')) return nullptr;
    return std::make_shared<NSDictionary>(std::move(entries));
  }

  id array(int depth) {
    ++at_;
    std::vector<id> objects;
    char c;
    // Elements are separated by commas; one after the last is allowed.
    while (peek(c) && c != ')') {
      id object = value(depth + 1);
      if (!object) return nullptr;
      objects.push_back(std::move(object));
      if (!peek(c) || (c != ',' && c != ')')) return nullptr;
      if (c == ',') ++at_;
    }
    if (!consume(')')) return nullptr;
    return std::make_shared<NSArray>(std::move(objects));
  }

  id data() {
    ++at_;
    std::string bytes;
    int high = -1;
    while (at_ < text_.size() && text_[at_] != '>') {
      const char c = text_[at_++];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
      const int nibble = hexValue(c);
      if (nibble < 0) return nullptr;
      if (high < 0) {
        high = nibble;
      } else {
        bytes += static_cast<char>(high << 4 | nibble);
        high = -1;
      }
    }
    if (at_ >= text_.size() || high >= 0) return nullptr;
    ++at_;
    return NSData::dataWithBytes(std::move(bytes));
  }

  id string() {
    char c;
    if (!peek(c)) return nullptr;
    std::string out;
    if (c == '"' || c == '\'') {
      if (!quoted(c, out)) return nullptr;
    } else {
      const size_t start = at_;
      while (at_ < text_.size() && isBareCharacter(text_[at_])) ++at_;
      if (at_ == start) return nullptr;
      out.assign(text_.substr(start, at_ - start));
    }
    if (!utf16::isValidUTF8(out)) return nullptr;
    return NSStr(std::move(out));
  }

  bool quoted(char quote, std::string& out) {
    ++at_;
    std::u16string pendingUnits;  // \U escapes, joined so that surrogate pairs combine
    const auto flush = [&] {
      if (!pendingUnits.empty()) out += utf16::toUTF8(pendingUnits);
      pendingUnits.clear();
    };
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == quote) {
        flush();
        return true;
      }
      if (c != '\\') {
        flush();
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      if (e == 'U') {
        uint32_t unit = 0;
        int count = 0;
        while (count < 4 && at_ < text_.size() && hexValue(text_[at_]) >= 0) {
          unit = unit << 4 | static_cast<uint32_t>(hexValue(text_[at_++]));
          ++count;
        }
        if (count == 0) return false;
        pendingUnits += static_cast<char16_t>(unit);
        continue;
      }
      flush();
      if (e >= '0' && e <= '7') {
        // Up to three octal digits; values past 0x7F are taken as Latin-1.
        uint32_t code = static_cast<uint32_t>(e - '0');
        for (int k = 0; k < 2 && at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '7';
             ++k) {
          code = code << 3 | static_cast<uint32_t>(text_[at_++] - '0');
        }
        out += utf16::toUTF8(std::u16string(1, static_cast<char16_t>(code)));
        continue;
      }
      switch (e) {
        case 'a':
          out += '\a';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'v':
          out += '\v';
          break;
        default:
          out += e;
          break;  // \" \' \\ and any other character stand for themselves
      }
    }
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

id parseText(std::string_view bytes) {
  return TextReader(bytes).read();
}

}  // namespace property_list::detail
