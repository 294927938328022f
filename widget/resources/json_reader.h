#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A small strict JSON reader (RFC 8259) for the build-time data files. It reads whole
// documents into a value tree; anything malformed, nested deeper than kMaxDepth or larger
// than kMaxBytes is an error with its byte offset, never a crash.
namespace json {

inline constexpr int kMaxDepth = 64;
inline constexpr size_t kMaxBytes = size_t{64} << 20;

struct Value {
  enum class Kind { Null, Boolean, Number, String, Array, Object };

  Kind kind = Kind::Null;
  bool boolean = false;
  // A string's UTF-8 text, or a number's text as written.
  std::string text;
  std::vector<Value> items;
  // In document order; a repeated key keeps every occurrence and `member` finds the last.
  std::vector<std::string> keys;
  std::vector<Value> values;

  bool isString() const { return kind == Kind::String; }
  bool isArray() const { return kind == Kind::Array; }
  bool isObject() const { return kind == Kind::Object; }
  // The member's value, or nullptr when this is not an object or has no such key.
  const Value* member(std::string_view key) const;
};

struct Error {
  size_t offset = 0;
  std::string message;
};

struct Result {
  std::optional<Value> value;
  Error error;  // meaningful when value is empty
};

Result parse(std::string_view text);

}  // namespace json
