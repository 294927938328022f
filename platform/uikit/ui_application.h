#pragma once

#include "platform/foundation/objc.h"

enum UIInterfaceOrientation : NSInteger {
  UIInterfaceOrientationPortrait = 1,
  UIInterfaceOrientationPortraitUpsideDown = 2,
  UIInterfaceOrientationLandscapeRight = 3,
  UIInterfaceOrientationLandscapeLeft = 4,
};

class TESSARY_EXPORT UIApplication {
 public:
  static UIApplication& sharedApplication();
  bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
  void setNetworkActivityIndicatorVisible(bool visible) { networkActivity_ = visible; }

 private:
  bool networkActivity_ = false;
};
