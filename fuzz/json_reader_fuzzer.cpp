// The build-time JSON reader: any bytes give a value or an error, and a value written back as
// JSON reads as the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "widget/resources/json_reader.h"

namespace {

void writeString(const std::string& text, std::string& out) {
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

void write(const json::Value& value, std::string& out) {
  switch (value.kind) {
    case json::Value::Kind::Null:
      out += "null";
      break;
    case json::Value::Kind::Boolean:
      out += value.boolean ? "true" : "false";
      break;
    case json::Value::Kind::Number:
      out += value.text;
      break;
    case json::Value::Kind::String:
      writeString(value.text, out);
      break;
    case json::Value::Kind::Array:
      out += '[';
      for (size_t i = 0; i < value.items.size(); ++i) {
        if (i) out += ',';
        write(value.items[i], out);
      }
      out += ']';
      break;
    case json::Value::Kind::Object:
      out += '{';
      for (size_t i = 0; i < value.keys.size(); ++i) {
        if (i) out += ',';
        writeString(value.keys[i], out);
        out += ':';
        write(value.values[i], out);
      }
      out += '}';
      break;
  }
}

bool same(const json::Value& a, const json::Value& b) {
  if (a.kind != b.kind || a.boolean != b.boolean || a.text != b.text || a.keys != b.keys ||
      a.items.size() != b.items.size() || a.values.size() != b.values.size()) {
    return false;
  }
  for (size_t i = 0; i < a.items.size(); ++i) {
    if (!same(a.items[i], b.items[i])) return false;
  }
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (!same(a.values[i], b.values[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const json::Result first = json::parse(text);
  if (!first.value) {
    if (first.error.message.empty() || first.error.offset > size) std::abort();
    return 0;
  }
  std::string written;
  write(*first.value, written);
  const json::Result second = json::parse(written);
  if (!second.value || !same(*first.value, *second.value)) std::abort();
  return 0;
}
