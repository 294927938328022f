#pragma once

#include "platform/foundation/objc.h"

enum UIUserInterfaceIdiom : NSInteger {
  UIUserInterfaceIdiomPhone = 0,
  UIUserInterfaceIdiomPad = 1,
};

// The device the host simulates: a phone, a tablet, or an old phone whose system does not
// answer userInterfaceIdiom at all.
class TESSARY_EXPORT UIDevice {
 public:
  enum class Kind { Phone, Tablet, Old };
  static UIDevice& currentDevice();
  bool respondsToUserInterfaceIdiom() const { return kind_ != Kind::Old; }
  // Only meaningful where the device answers; an old device answers as a phone would.
  UIUserInterfaceIdiom userInterfaceIdiom() const {
    return kind_ == Kind::Tablet ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
  }
  Kind kind() const { return kind_; }
  void setKind(Kind kind) { kind_ = kind; }

 private:
  Kind kind_ = Kind::Phone;
};

// A tablet is a device that answers userInterfaceIdiom, and answers it with the tablet idiom;
// the widget and the host ask the same question.
inline bool isTablet() {
  const UIDevice& device = UIDevice::currentDevice();
  return device.respondsToUserInterfaceIdiom() &&
         device.userInterfaceIdiom() == UIUserInterfaceIdiomPad;
}
