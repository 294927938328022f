#pragma once

#include <memory>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"

class TESSARY_EXPORT UIColor : public NSObject {
 public:
  UIColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a) : r_(r), g_(g), b_(b), a_(a) {}
  static std::shared_ptr<UIColor> colorWithRedGreenBlueAlpha(CGFloat r, CGFloat g, CGFloat b,
                                                             CGFloat a) {
    return std::make_shared<UIColor>(r, g, b, a);
  }
  static std::shared_ptr<UIColor> colorWithWhiteAlpha(CGFloat white, CGFloat a) {
    return std::make_shared<UIColor>(white, white, white, a);
  }
  static std::shared_ptr<UIColor> blackColor() { return colorWithWhiteAlpha(0, 1); }
  static std::shared_ptr<UIColor> whiteColor() { return colorWithWhiteAlpha(1, 1); }
  static std::shared_ptr<UIColor> clearColor() { return colorWithWhiteAlpha(0, 0); }
  static std::shared_ptr<UIColor> darkGrayColor() { return colorWithWhiteAlpha(1.0f / 3, 1); }
  static std::shared_ptr<UIColor> lightGrayColor() { return colorWithWhiteAlpha(2.0f / 3, 1); }
  static std::shared_ptr<UIColor> grayColor() { return colorWithWhiteAlpha(0.5f, 1); }
  static std::shared_ptr<UIColor> darkTextColor() { return colorWithWhiteAlpha(0, 1); }
  std::shared_ptr<UIColor> colorWithAlphaComponent(CGFloat a) const {
    return std::make_shared<UIColor>(r_, g_, b_, a);
  }

  CGFloat red() const { return r_; }
  CGFloat green() const { return g_; }
  CGFloat blue() const { return b_; }
  CGFloat alpha() const { return a_; }

 private:
  CGFloat r_, g_, b_, a_;
};

class TESSARY_EXPORT UIFont : public NSObject {
 public:
  UIFont(std::string name, CGFloat size, bool bold)
      : name_(std::move(name)), size_(size), bold_(bold) {}
  static std::shared_ptr<UIFont> systemFontOfSize(CGFloat size) {
    return std::make_shared<UIFont>("DejaVu Sans", size, false);
  }
  static std::shared_ptr<UIFont> boldSystemFontOfSize(CGFloat size) {
    return std::make_shared<UIFont>("DejaVu Sans", size, true);
  }
  const std::string& fontName() const { return name_; }
  CGFloat pointSize() const { return size_; }
  bool isBold() const { return bold_; }

 private:
  std::string name_;
  CGFloat size_;
  bool bold_;
};
