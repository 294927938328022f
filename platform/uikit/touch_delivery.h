#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/ui_gesture_recognizer.h"
#include "platform/uikit/ui_touch.h"

class UIView;

// One finger on a tree of views, delivered as the platform's window delivers it. At touch down
// the root hit-tests once; the touch belongs to that view for its whole life. The recognizers
// of the view and of its ancestors (innermost first) see each change before the view. When one
// of them begins or recognizes, the others still possible fail and, if it cancels touches in
// view, the view gets touchesCancelled and nothing more of this touch; then its action is sent.
// The view receives touchesBegan, Moved, Ended or Cancelled, and passes what it does not
// handle to its next responder.
class TESSARY_EXPORT TouchDelivery {
 public:
  // Answers false when no view under the point takes touches; the finger is down either way
  // until end() or cancel().
  bool begin(const std::shared_ptr<UIView>& root, CGPoint point);
  void move(CGPoint point);
  void end(CGPoint point);
  // The touch ends as cancelled: recognizers fail or cancel, the view gets touchesCancelled.
  void cancel();

  bool isDown() const { return down_; }
  const std::shared_ptr<UITouch>& touch() const { return touch_; }

  // A finger down and lifted at the same point of `root`.
  static void tap(const std::shared_ptr<UIView>& root, CGPoint point);

 private:
  void deliver(UITouchPhase phase, CGPoint point);
  void toRecognizers(UITouchPhase phase, UIEvent& event);
  void toView(UITouchPhase phase, UIEvent& event);
  void cancelView(UIEvent& event);
  void finish();

  bool down_ = false;
  std::shared_ptr<UITouch> touch_;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
  bool viewCancelled_ = false;
};
