#include "host/touch_tracking.h"

#include "host/simulator.h"

std::string TouchTracker::down(CGPoint point) {
  if (finger_.isDown()) return "touch down: a finger is already down";
  last_ = point;
  finger_.begin(sim_.touchRootAt(point), point);
  return {};
}

std::string TouchTracker::move(CGPoint point) {
  if (!finger_.isDown()) return "touch move: no finger is down";
  last_ = point;
  finger_.move(point);
  return {};
}

std::string TouchTracker::up(CGPoint point) {
  if (!finger_.isDown()) return "touch up: no finger is down";
  if (point.x != last_.x || point.y != last_.y) move(point);
  finger_.end(point);
  return {};
}

std::string TouchTracker::cancel() {
  if (!finger_.isDown()) return "touch cancel: no finger is down";
  finger_.cancel();
  return {};
}
