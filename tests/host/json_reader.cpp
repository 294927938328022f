#include "tests/host/json_reader.h"

#include <charconv>

#include "platform/foundation/utf16.h"

namespace tessary::test {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  std::optional<Json> document() {
    auto value = parseValue(0);
    skipSpace();
    if (!value || i_ != s_.size()) return std::nullopt;
    return value;
  }

 private:
  void skipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  std::optional<Json> parseValue(int depth) {
    if (depth > 1000) return std::nullopt;
    skipSpace();
    if (i_ >= s_.size()) return std::nullopt;
    const char c = s_[i_];
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') {
      auto text = parseString();
      if (!text) return std::nullopt;
      return Json{*text};
    }
    if (literal("true")) return Json{true};
    if (literal("false")) return Json{false};
    if (literal("null")) return Json{nullptr};
    return parseNumber();
  }

  std::optional<Json> parseNumber() {
    const size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ >= s_.size() || s_[i_] < '0' || s_[i_] > '9') return std::nullopt;
    while (i_ < s_.size() &&
           std::string_view("0123456789.eE+-").find(s_[i_]) != std::string_view::npos)
      ++i_;
    double value = 0;
    const auto result = std::from_chars(s_.data() + start, s_.data() + i_, value);
    if (result.ec != std::errc() || result.ptr != s_.data() + i_) return std::nullopt;
    return Json{value};
  }

  std::optional<uint32_t> hex4() {
    if (i_ + 4 > s_.size()) return std::nullopt;
    uint32_t value = 0;
    const auto result = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, value, 16);
    if (result.ptr != s_.data() + i_ + 4) return std::nullopt;
    i_ += 4;
    return value;
  }

  std::optional<std::string> parseString() {
    ++i_;  // the opening quote
    std::string out;
    while (i_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_++]);
      if (c == '"') return out;
      if (c < 0x20) return std::nullopt;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (i_ >= s_.size()) return std::nullopt;
      const char e = s_[i_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
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
        case 'u': {
          auto cp = hex4();
          if (!cp) return std::nullopt;
          if (*cp >= 0xD800 && *cp <= 0xDBFF) {
            if (!literal("\\u")) return std::nullopt;
            const auto low = hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
            *cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
          }
          utf16::appendUTF8(out, *cp);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<Json> parseArray(int depth) {
    ++i_;
    Json::Array items;
    skipSpace();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      return Json{std::move(items)};
    }
    for (;;) {
      auto item = parseValue(depth + 1);
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
      skipSpace();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
      } else if (i_ < s_.size() && s_[i_] == ']') {
        ++i_;
        return Json{std::move(items)};
      } else {
        return std::nullopt;
      }
    }
  }

  std::optional<Json> parseObject(int depth) {
    ++i_;
    Json::Object members;
    skipSpace();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      return Json{std::move(members)};
    }
    for (;;) {
      skipSpace();
      if (i_ >= s_.size() || s_[i_] != '"') return std::nullopt;
      auto key = parseString();
      skipSpace();
      if (!key || i_ >= s_.size() || s_[i_] != ':') return std::nullopt;
      ++i_;
      auto value = parseValue(depth + 1);
      if (!value) return std::nullopt;
      members[*key] = std::move(*value);
      skipSpace();
      if (i_ < s_.size() && s_[i_] == ',') {
        ++i_;
      } else if (i_ < s_.size() && s_[i_] == '}') {
        ++i_;
        return Json{std::move(members)};
      } else {
        return std::nullopt;
      }
    }
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
  return Reader(text).document();
}

}  // namespace tessary::test
