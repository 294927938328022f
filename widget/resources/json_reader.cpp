#include "widget/resources/json_reader.h"

#include <cstdint>

#include "platform/foundation/utf16.h"

namespace json {

const Value* Value::member(std::string_view key) const {
  if (kind != Kind::Object) return nullptr;
  for (size_t i = keys.size(); i-- > 0;) {
    if (keys[i] == key) return &values[i];
  }
  return nullptr;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result run() {
    Result result;
    if (text_.size() > kMaxBytes) {
      result.error = {0, "document too large"};
      return result;
    }
    Value root;
    skipSpace();
    if (parseValue(root, 0)) {
      skipSpace();
      if (pos_ == text_.size()) {
        result.value = std::move(root);
        return result;
      }
      fail("unexpected text after the document");
    }
    result.error = error_;
    return result;
  }

 private:
  bool fail(std::string message) {
    if (error_.message.empty()) error_ = {pos_, std::move(message)};
    return false;
  }
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  void skipSpace() {
    while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
      ++pos_;
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return fail("invalid literal");
    pos_ += word.size();
    return true;
  }

  bool parseValue(Value& out, int depth) {
    if (atEnd()) return fail("unexpected end of input");
    switch (peek()) {
      case '{':
        return parseObject(out, depth + 1);
      case '[':
        return parseArray(out, depth + 1);
      case '"':
        out.kind = Value::Kind::String;
        return parseString(out.text);
      case 't':
        out.kind = Value::Kind::Boolean;
        out.boolean = true;
        return literal("true");
      case 'f':
        out.kind = Value::Kind::Boolean;
        out.boolean = false;
        return literal("false");
      case 'n':
        out.kind = Value::Kind::Null;
        return literal("null");
      default:
        out.kind = Value::Kind::Number;
        return parseNumber(out.text);
    }
  }

  bool parseArray(Value& out, int depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    out.kind = Value::Kind::Array;
    ++pos_;
    skipSpace();
    if (peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      out.items.emplace_back();
      if (!parseValue(out.items.back(), depth)) return false;
      skipSpace();
      if (peek() == ',') {
        ++pos_;
        skipSpace();
        continue;
      }
      if (peek() == ']') {
        ++pos_;
        return true;
      }
      return fail(atEnd() ? "unexpected end of input" : "expected ',' or ']'");
    }
  }

  bool parseObject(Value& out, int depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    out.kind = Value::Kind::Object;
    ++pos_;
    skipSpace();
    if (peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      if (peek() != '"') return fail(atEnd() ? "unexpected end of input" : "expected a key");
      out.keys.emplace_back();
      if (!parseString(out.keys.back())) return false;
      skipSpace();
      if (peek() != ':') return fail("expected ':'");
      ++pos_;
      skipSpace();
      out.values.emplace_back();
      if (!parseValue(out.values.back(), depth)) return false;
      skipSpace();
      if (peek() == ',') {
        ++pos_;
        skipSpace();
        continue;
      }
      if (peek() == '}') {
        ++pos_;
        return true;
      }
      return fail(atEnd() ? "unexpected end of input" : "expected ',' or '}'");
    }
  }

  bool parseNumber(std::string& out) {
    const size_t start = pos_;
    auto digits = [&] {
      const size_t from = pos_;
      while (!atEnd() && peek() >= '0' && peek() <= '9') ++pos_;
      return pos_ > from;
    };
    if (peek() == '-') ++pos_;
    if (peek() == '0') {
      ++pos_;
    } else if (!digits()) {
      return fail("invalid value");
    }
    if (peek() == '.') {
      ++pos_;
      if (!digits()) return fail("invalid number");
    }
    if (peek() == 'e' || peek() == 'E') {
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      if (!digits()) return fail("invalid number");
    }
    out.assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool hex4(uint32_t& out) {
    if (text_.size() - pos_ < 4) return fail("truncated \\u escape");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9')
        out |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        out |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        out |= static_cast<uint32_t>(c - 'A' + 10);
      else
        return fail("invalid \\u escape");
    }
    return true;
  }

  bool escape(std::string& out) {
    if (atEnd()) return fail("unexpected end of input");
    const char c = text_[pos_++];
    switch (c) {
      case '"':
        out += '"';
        return true;
      case '\\':
        out += '\\';
        return true;
      case '/':
        out += '/';
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        --pos_;
        return fail("invalid escape");
    }
    uint32_t cp = 0;
    if (!hex4(cp)) return false;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("unpaired surrogate");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      uint32_t low = 0;
      if (text_.substr(pos_, 2) != "\\u") return fail("unpaired surrogate");
      pos_ += 2;
      if (!hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return fail("unpaired surrogate");
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    utf16::appendUTF8(out, cp);
    return true;
  }

  // One UTF-8 sequence, checked for overlong forms, surrogates and the range.
  bool utf8Sequence(std::string& out) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text_[pos_ + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
    } else
      return fail("invalid UTF-8");
    if (text_.size() - pos_ < length) return fail("invalid UTF-8");
    for (size_t i = 1; i < length; ++i) {
      if ((byte(i) & 0xC0) != 0x80) return fail("invalid UTF-8");
      cp = (cp << 6) | (byte(i) & 0x3F);
    }
    const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return fail("invalid UTF-8");
    }
    out.append(text_.substr(pos_, length));
    pos_ += length;
    return true;
  }

  bool parseString(std::string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (atEnd()) return fail("unterminated string");
      const auto c = static_cast<unsigned char>(peek());
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return fail("control character in string");
      if (c == '\\') {
        ++pos_;
        if (!escape(out)) return false;
      } else if (c < 0x80) {
        out += static_cast<char>(c);
        ++pos_;
      } else if (!utf8Sequence(out)) {
        return false;
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  Error error_;
};

}  // namespace

Result parse(std::string_view text) {
  return Parser(text).run();
}

}  // namespace json
