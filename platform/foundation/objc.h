#pragma once

#include <memory>
#include <string>
#include <utility>

// The platform's basic types, kept under their own names so that widget code reads like the
// code it stands for.
using BOOL = signed char;
inline constexpr BOOL YES = 1;
inline constexpr BOOL NO = 0;
using NSInteger = long;
using NSUInteger = unsigned long;
using NSTimeInterval = double;

#define TESSARY_EXPORT __attribute__((visibility("default")))

class PropertyListVisitor;

// Root of every platform object. The value readings of the platform's number and string
// classes live here with the answers they give for every other kind of object: 0 or NO,
// where the platform would raise and end the host.
class TESSARY_EXPORT NSObject : public std::enable_shared_from_this<NSObject> {
 public:
  NSObject() = default;
  NSObject(const NSObject&) = delete;
  NSObject& operator=(const NSObject&) = delete;
  virtual ~NSObject();

  // The text "%@" makes of the object.
  virtual std::string description() const;
  virtual BOOL boolValue() const { return NO; }
  virtual int intValue() const { return 0; }
  virtual float floatValue() const { return 0.0f; }
  virtual double doubleValue() const { return 0.0; }
  virtual bool isEqual(const NSObject& other) const { return this == &other; }
  // Hands the object to the visitor's function for its property-list class, or to `other`.
  virtual void accept(PropertyListVisitor& visitor) const;
};

using id = std::shared_ptr<NSObject>;

template <class T, class... Args>
std::shared_ptr<T> construct(Args&&... args);

// The key to the public constructor of an object that hands out shared_from_this(): only the
// class itself and construct() can make one, so every such object lives in a shared_ptr from
// its first moment and shared_from_this() cannot fail once the constructor has returned.
// Subclasses build on a protected constructor of their base, which takes no key.
template <class T>
class PassKey {
  friend T;
  template <class U, class... Args>
  friend std::shared_ptr<U> construct(Args&&... args);
  PassKey() = default;
};

// The one way to make an object whose constructor takes a pass key.
template <class T, class... Args>
std::shared_ptr<T> construct(Args&&... args) {
  return std::make_shared<T>(PassKey<T>(), std::forward<Args>(args)...);
}

// The std::dynamic_pointer_cast spelled as the platform's isKindOfClass: test.
template <class T>
std::shared_ptr<T> kindOf(const std::shared_ptr<NSObject>& object) {
  return std::dynamic_pointer_cast<T>(object);
}
template <class T>
std::shared_ptr<const T> kindOf(const std::shared_ptr<const NSObject>& object) {
  return std::dynamic_pointer_cast<const T>(object);
}
