#pragma once

#include <memory>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"

// A rectangle boxed as an object, as the keyboard notifications carry their frames.
class TESSARY_EXPORT NSValue : public NSObject {
 public:
  explicit NSValue(CGRect rect) : rect_(rect) {}
  static std::shared_ptr<NSValue> valueWithCGRect(CGRect rect) {
    return std::make_shared<NSValue>(rect);
  }
  CGRect CGRectValue() const { return rect_; }
  std::string description() const override;

 private:
  CGRect rect_;
};
