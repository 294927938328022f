#pragma once

#include <string>

#include "platform/uikit/geometry.h"
#include "platform/uikit/touch_delivery.h"

class Simulator;

// One finger on the screen, from touch down through moves to touch up or cancel. It only
// routes: at touch down the screen's frontmost layer that takes the point (an alert's layer
// while one is shown, else the window) receives the touch, and the views decide what it does
// (platform/uikit/touch_delivery.h).
class TouchTracker {
 public:
  explicit TouchTracker(Simulator& simulator) : sim_(simulator) {}

  // Each answers an empty string, or the reason the touch was refused (a second finger, a
  // move, lift or cancel without a finger down).
  std::string down(CGPoint point);
  std::string move(CGPoint point);
  std::string up(CGPoint point);
  // The system takes the finger away (it left the window): nothing acts, a held key is let go
  // without typing, a control gets TouchCancel, and a drag settles as at a lift.
  std::string cancel();

  bool isDown() const { return finger_.isDown(); }

 private:
  Simulator& sim_;
  TouchDelivery finger_;
  CGPoint last_{};
};
