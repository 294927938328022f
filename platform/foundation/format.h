#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "platform/foundation/objc.h"

// stringWithFormat: for the conversions the widget uses: "%@" (an object's description, a
// string as itself, nil as "(null)"), "%i" and "%d", "%f" and "%.Nf", "%%". A conversion
// without a matching argument writes nothing.
class TESSARY_EXPORT FormatArg {
 public:
  FormatArg(const char* text) : value_(std::string(text ? text : "(null)")) {}
  FormatArg(std::string_view text) : value_(std::string(text)) {}
  FormatArg(const std::string& text) : value_(text) {}
  FormatArg(int number) : value_(static_cast<long long>(number)) {}
  FormatArg(long number) : value_(static_cast<long long>(number)) {}
  FormatArg(long long number) : value_(number) {}
  FormatArg(double number) : value_(number) {}
  FormatArg(float number) : value_(static_cast<double>(number)) {}
  template <class T>
  FormatArg(const std::shared_ptr<T>& object)
      : value_(object ? object->description() : std::string("(null)")) {}

  std::string text() const;
  long long integer() const;
  double real() const;

 private:
  std::variant<std::string, long long, double> value_;
};

TESSARY_EXPORT std::string stringWithFormat(std::string_view format,
                                            std::initializer_list<FormatArg> args);
