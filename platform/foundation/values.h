#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/objc.h"

// The property-list value classes: string, number (integer, real, boolean), date, data, array
// and dictionary. Objects are immutable once made, except the mutable dictionary and array,
// so parsed values can be shared.

class NSString;
class NSNumber;
class NSDate;
class NSData;
class NSArray;
class NSDictionary;

// Takes a value by its class (NSObject::accept), so a reader of values needs no casts. The
// mutable array and dictionary come as their immutable bases.
class TESSARY_EXPORT PropertyListVisitor {
 public:
  virtual ~PropertyListVisitor() = default;
  virtual void string(const NSString& value) = 0;
  virtual void number(const NSNumber& value) = 0;
  virtual void date(const NSDate& value) = 0;
  virtual void data(const NSData& value) = 0;
  virtual void array(const NSArray& value) = 0;
  virtual void dictionary(const NSDictionary& value) = 0;
  // Any object that is not a property-list value.
  virtual void other(const NSObject& value) = 0;
};

class TESSARY_EXPORT NSString : public NSObject {
 public:
  explicit NSString(std::string utf8) : utf8_(std::move(utf8)) {}
  static std::shared_ptr<NSString> stringWithString(std::string utf8) {
    return std::make_shared<NSString>(std::move(utf8));
  }
  // nullptr when the bytes are not valid UTF-8, as initWithData:encoding: gives nil.
  static std::shared_ptr<NSString> stringWithUTF8Data(std::string_view bytes);

  const std::string& UTF8String() const { return utf8_; }
  // Length in UTF-16 code units, the platform's unit.
  NSUInteger length() const;

  std::string description() const override { return utf8_; }
  void accept(PropertyListVisitor& visitor) const override { visitor.string(*this); }
  BOOL boolValue() const override;
  int intValue() const override;
  float floatValue() const override;
  double doubleValue() const override;
  bool isEqual(const NSObject& other) const override;

 private:
  std::string utf8_;
};

class TESSARY_EXPORT NSNumber : public NSObject {
 public:
  enum class Kind { Integer, Real, Boolean };

  static std::shared_ptr<NSNumber> numberWithInteger(int64_t value);
  // Integers from 2^63 to 2^64-1, which binary property lists can hold.
  static std::shared_ptr<NSNumber> numberWithUnsignedInteger(uint64_t value);
  static std::shared_ptr<NSNumber> numberWithDouble(double value);
  static std::shared_ptr<NSNumber> numberWithBool(bool value);

  Kind kind() const { return kind_; }
  bool isUnsigned() const { return unsigned_; }
  int64_t integerValue() const { return integer_; }
  uint64_t unsignedValue() const { return static_cast<uint64_t>(integer_); }
  double realValue() const { return real_; }

  std::string description() const override;
  void accept(PropertyListVisitor& visitor) const override { visitor.number(*this); }
  BOOL boolValue() const override;
  int intValue() const override;
  float floatValue() const override;
  double doubleValue() const override;
  bool isEqual(const NSObject& other) const override;

  NSNumber(Kind kind, int64_t integer, double real, bool isUnsigned)
      : kind_(kind), unsigned_(isUnsigned), integer_(integer), real_(real) {}

 private:
  Kind kind_;
  bool unsigned_;
  int64_t integer_;
  double real_;
};

class TESSARY_EXPORT NSDate : public NSObject {
 public:
  explicit NSDate(double sinceReferenceDate) : seconds_(sinceReferenceDate) {}
  // Now, by the wall time of the process clock.
  static std::shared_ptr<NSDate> date();
  static std::shared_ptr<NSDate> dateWithTimeIntervalSinceReferenceDate(double seconds) {
    return std::make_shared<NSDate>(seconds);
  }
  NSTimeInterval timeIntervalSinceReferenceDate() const { return seconds_; }
  std::string description() const override;
  void accept(PropertyListVisitor& visitor) const override { visitor.date(*this); }
  bool isEqual(const NSObject& other) const override;

 private:
  double seconds_;
};

class TESSARY_EXPORT NSData : public NSObject {
 public:
  explicit NSData(std::string bytes) : bytes_(std::move(bytes)) {}
  static std::shared_ptr<NSData> dataWithBytes(std::string bytes) {
    return std::make_shared<NSData>(std::move(bytes));
  }
  // The file's bytes, or nothing when it is missing or cannot be opened or read.
  static std::shared_ptr<NSData> dataWithContentsOfFile(const std::string& path);
  const std::string& bytes() const { return bytes_; }
  NSUInteger length() const { return bytes_.size(); }
  std::string description() const override;
  void accept(PropertyListVisitor& visitor) const override { visitor.data(*this); }
  bool isEqual(const NSObject& other) const override;

 private:
  std::string bytes_;
};

class TESSARY_EXPORT NSArray : public NSObject {
 public:
  NSArray() = default;
  explicit NSArray(std::vector<id> objects) : objects_(std::move(objects)) {}
  // The file's root array, or nullptr when it is missing, corrupt or not an array.
  static std::shared_ptr<NSArray> arrayWithContentsOfFile(const std::string& path);

  NSUInteger count() const { return objects_.size(); }
  const id& objectAtIndex(NSUInteger index) const { return objects_.at(index); }
  const std::vector<id>& objects() const { return objects_; }
  std::string description() const override;
  void accept(PropertyListVisitor& visitor) const override { visitor.array(*this); }
  bool isEqual(const NSObject& other) const override;
  // Writes XML, atomically when asked; false when the file could not be written.
  bool writeToFileAtomically(const std::string& path, bool atomically) const;

 protected:
  std::vector<id> objects_;
};

class TESSARY_EXPORT NSMutableArray : public NSArray {
 public:
  using NSArray::NSArray;
  static std::shared_ptr<NSMutableArray> arrayWithContentsOfFile(const std::string& path);
  void addObject(id object) { objects_.push_back(std::move(object)); }
  void removeAllObjects() { objects_.clear(); }
};

class TESSARY_EXPORT NSDictionary : public NSObject {
 public:
  using Storage = std::map<std::string, id, std::less<>>;

  NSDictionary() = default;
  explicit NSDictionary(Storage entries) : entries_(std::move(entries)) {}
  // The file's root dictionary, or nullptr when it is missing, corrupt or not a dictionary.
  static std::shared_ptr<NSDictionary> dictionaryWithContentsOfFile(const std::string& path);

  // nullptr for a missing key, as the platform answers nil.
  id objectForKey(std::string_view key) const;
  NSUInteger count() const { return entries_.size(); }
  const Storage& entries() const { return entries_; }
  std::string description() const override;
  void accept(PropertyListVisitor& visitor) const override { visitor.dictionary(*this); }
  bool isEqual(const NSObject& other) const override;
  bool writeToFileAtomically(const std::string& path, bool atomically) const;

 protected:
  Storage entries_;
};

class TESSARY_EXPORT NSMutableDictionary : public NSDictionary {
 public:
  using NSDictionary::NSDictionary;
  static std::shared_ptr<NSMutableDictionary> dictionaryWithContentsOfFile(const std::string& path);
  void setObjectForKey(id object, std::string key) { entries_[std::move(key)] = std::move(object); }
  void removeObjectForKey(std::string_view key);
};

// Shorthands for building values in code.
inline std::shared_ptr<NSString> NSStr(std::string utf8) {
  return NSString::stringWithString(std::move(utf8));
}
