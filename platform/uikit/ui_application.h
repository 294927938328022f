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
  // The orientation the host shows the interface in, and the screen's size in portrait.
  UIInterfaceOrientation statusBarOrientation() const { return orientation_; }
  void setStatusBarOrientation(UIInterfaceOrientation orientation) { orientation_ = orientation; }
  bool isLandscape() const { return orientation_ == 3 || orientation_ == 4; }
  float portraitScreenWidth() const { return screenWidth_; }
  float portraitScreenHeight() const { return screenHeight_; }
  void setPortraitScreenSize(float width, float height) {
    screenWidth_ = width;
    screenHeight_ = height;
  }
  // The screen's width in the current orientation.
  float screenWidth() const { return isLandscape() ? screenHeight_ : screenWidth_; }
  bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
  void setNetworkActivityIndicatorVisible(bool visible) { networkActivity_ = visible; }

 private:
  bool networkActivity_ = false;
  UIInterfaceOrientation orientation_ = UIInterfaceOrientationPortrait;
  float screenWidth_ = 320;
  float screenHeight_ = 480;
};
