#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A small JSON writer for the host's dump: one line, no spaces. Keys and values are written in
// the order given; commas are placed by the writer. Strings are escaped so that any bytes give
// valid JSON (invalid UTF-8 becomes U+FFFD); reals that are not finite become the strings
// "nan", "inf" and "-inf".
class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  // Inside an object, the next value's key.
  JsonWriter& key(std::string_view name);

  JsonWriter& string(std::string_view text);
  JsonWriter& boolean(bool value);
  JsonWriter& null();
  JsonWriter& integer(int64_t value);
  JsonWriter& unsignedInteger(uint64_t value);
  // Shortest text that reads back as the same double (or float).
  JsonWriter& real(double value);
  JsonWriter& real(float value);
  // Text already written as JSON by another writer.
  JsonWriter& raw(std::string_view json);

  const std::string& str() const { return out_; }

  static std::string escape(std::string_view text);

 private:
  void beforeValue();

  std::string out_;
  // One entry per open container: whether it already holds a value.
  std::vector<bool> hasValue_;
  bool afterKey_ = false;
};
