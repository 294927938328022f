#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Reads the host's JSON back in tests: a strict reader of RFC 8259 text.
namespace tessary::test {

struct Json {
  using Array = std::vector<Json>;
  using Object = std::map<std::string, Json>;
  std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value;

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  bool boolean() const { return std::get<bool>(value); }
  double number() const { return std::get<double>(value); }
  const std::string& string() const { return std::get<std::string>(value); }
  const Array& array() const { return std::get<Array>(value); }
  const Object& object() const { return std::get<Object>(value); }
  bool has(const std::string& key) const {
    return std::holds_alternative<Object>(value) && object().count(key) > 0;
  }
  // Throws std::out_of_range for a missing key, which fails the test with a clear reason.
  const Json& operator[](const std::string& key) const { return object().at(key); }
  const Json& operator[](size_t index) const { return array().at(index); }
  std::vector<double> numbers() const {
    std::vector<double> out;
    for (const auto& element : array()) out.push_back(element.number());
    return out;
  }
};

// Nullopt for text that is not exactly one JSON value.
std::optional<Json> parseJson(std::string_view text);

}  // namespace tessary::test
