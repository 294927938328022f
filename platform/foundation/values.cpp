#include "platform/foundation/values.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/foundation/clock.h"
#include "platform/foundation/number_text.h"
#include "platform/foundation/utf16.h"

NSObject::~NSObject() = default;

std::string NSObject::description() const {
  char text[64];
  std::snprintf(text, sizeof text, "<NSObject: %p>", static_cast<const void*>(this));
  return text;
}

void NSObject::accept(PropertyListVisitor& visitor) const {
  visitor.other(*this);
}

// NSString

std::shared_ptr<NSString> NSString::stringWithUTF8Data(std::string_view bytes) {
  if (!utf16::isValidUTF8(bytes)) return nullptr;
  return std::make_shared<NSString>(std::string(bytes));
}

NSUInteger NSString::length() const {
  return utf16::length(utf8_);
}
BOOL NSString::boolValue() const {
  return number_text::boolValue(utf8_);
}
int NSString::intValue() const {
  return number_text::intValue(utf8_);
}
float NSString::floatValue() const {
  return number_text::floatValue(utf8_);
}
double NSString::doubleValue() const {
  return number_text::doubleValue(utf8_);
}

bool NSString::isEqual(const NSObject& other) const {
  const auto* string = dynamic_cast<const NSString*>(&other);
  return string && string->utf8_ == utf8_;
}

// NSNumber

std::shared_ptr<NSNumber> NSNumber::numberWithInteger(int64_t value) {
  return std::make_shared<NSNumber>(Kind::Integer, value, static_cast<double>(value), false);
}

std::shared_ptr<NSNumber> NSNumber::numberWithUnsignedInteger(uint64_t value) {
  return std::make_shared<NSNumber>(Kind::Integer, static_cast<int64_t>(value),
                                    static_cast<double>(value), value > INT64_MAX);
}

std::shared_ptr<NSNumber> NSNumber::numberWithDouble(double value) {
  return std::make_shared<NSNumber>(Kind::Real, 0, value, false);
}

std::shared_ptr<NSNumber> NSNumber::numberWithBool(bool value) {
  return std::make_shared<NSNumber>(Kind::Boolean, value ? 1 : 0, value ? 1.0 : 0.0, false);
}

std::string NSNumber::description() const {
  switch (kind_) {
    case Kind::Boolean:
      return integer_ ? "1" : "0";
    case Kind::Integer:
      return unsigned_ ? std::to_string(unsignedValue()) : std::to_string(integer_);
    case Kind::Real:
      break;
  }
  if (std::isnan(real_)) return "nan";
  if (std::isinf(real_)) return real_ < 0 ? "-inf" : "inf";
  // Shortest text that reads back to the same double.
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, real_);
  return std::string(text, result.ptr);
}

BOOL NSNumber::boolValue() const {
  if (kind_ != Kind::Real) return integer_ != 0 || unsigned_ ? YES : NO;
  // A fraction counts as its integer part, so 0.5 is NO; NaN has none and is NO too.
  return std::isnan(real_) || std::trunc(real_) == 0.0 ? NO : YES;
}

int NSNumber::intValue() const {
  if (kind_ == Kind::Real) {
    if (std::isnan(real_)) return 0;
    if (real_ >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (real_ <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(real_);
  }
  if (unsigned_ || integer_ > INT_MAX) return INT_MAX;
  if (integer_ < INT_MIN) return INT_MIN;
  return static_cast<int>(integer_);
}

float NSNumber::floatValue() const {
  return static_cast<float>(doubleValue());
}

double NSNumber::doubleValue() const {
  if (kind_ == Kind::Real) return real_;
  return unsigned_ ? static_cast<double>(unsignedValue()) : static_cast<double>(integer_);
}

bool NSNumber::isEqual(const NSObject& other) const {
  const auto* number = dynamic_cast<const NSNumber*>(&other);
  if (!number) return false;
  if (kind_ == Kind::Real || number->kind_ == Kind::Real)
    return doubleValue() == number->doubleValue();
  return integer_ == number->integer_ && unsigned_ == number->unsigned_;
}

// NSDate

std::shared_ptr<NSDate> NSDate::date() {
  return std::make_shared<NSDate>(Clock::current().wall());
}

std::string NSDate::description() const {
  const double unix = std::floor(seconds_ + kReferenceDateUnixTime);
  if (!std::isfinite(unix) || std::fabs(unix) > 1e15) return "(invalid date)";
  const time_t t = static_cast<time_t>(unix);
  struct tm parts {};
  gmtime_r(&t, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
  return text;
}

bool NSDate::isEqual(const NSObject& other) const {
  const auto* date = dynamic_cast<const NSDate*>(&other);
  return date && date->seconds_ == seconds_;
}

// NSData

std::string NSData::description() const {
  static const char* hex = "0123456789abcdef";
  std::string text = "<";
  for (size_t i = 0; i < bytes_.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += ' ';
    text += hex[static_cast<unsigned char>(bytes_[i]) >> 4];
    text += hex[static_cast<unsigned char>(bytes_[i]) & 0xF];
  }
  return text + ">";
}

bool NSData::isEqual(const NSObject& other) const {
  const auto* data = dynamic_cast<const NSData*>(&other);
  return data && data->bytes_ == bytes_;
}

// NSArray and NSDictionary

namespace {
bool sameObject(const id& a, const id& b) {
  if (!a || !b) return a == b;
  return a->isEqual(*b);
}
}  // namespace

std::string NSArray::description() const {
  std::string text = "(";
  for (size_t i = 0; i < objects_.size(); ++i) {
    text += i ? ", " : "";
    text += objects_[i] ? objects_[i]->description() : "(null)";
  }
  return text + ")";
}

bool NSArray::isEqual(const NSObject& other) const {
  const auto* array = dynamic_cast<const NSArray*>(&other);
  if (!array || array->objects_.size() != objects_.size()) return false;
  for (size_t i = 0; i < objects_.size(); ++i) {
    if (!sameObject(objects_[i], array->objects_[i])) return false;
  }
  return true;
}

id NSDictionary::objectForKey(std::string_view key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : found->second;
}

std::string NSDictionary::description() const {
  std::string text = "{";
  bool first = true;
  for (const auto& [key, value] : entries_) {
    text += first ? "" : "; ";
    text += key + " = " + (value ? value->description() : "(null)");
    first = false;
  }
  return text + "}";
}

bool NSDictionary::isEqual(const NSObject& other) const {
  const auto* dictionary = dynamic_cast<const NSDictionary*>(&other);
  if (!dictionary || dictionary->entries_.size() != entries_.size()) return false;
  for (const auto& [key, value] : entries_) {
    const auto found = dictionary->entries_.find(key);
    if (found == dictionary->entries_.end() || !sameObject(value, found->second)) return false;
  }
  return true;
}

void NSMutableDictionary::removeObjectForKey(std::string_view key) {
  const auto found = entries_.find(key);
  if (found != entries_.end()) entries_.erase(found);
}
