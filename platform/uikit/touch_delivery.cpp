#include "platform/uikit/touch_delivery.h"

#include "platform/foundation/clock.h"
#include "platform/uikit/ui_view.h"

namespace {

// The change as the receiver's touches method for its phase: views and recognizers alike.
template <class Receiver>
void send(Receiver& receiver, UITouchPhase phase, const UITouchSet& touches, UIEvent& event) {
  switch (phase) {
    case UITouchPhaseBegan:
      receiver.touchesBegan(touches, event);
      break;
    case UITouchPhaseMoved:
    case UITouchPhaseStationary:
      receiver.touchesMoved(touches, event);
      break;
    case UITouchPhaseEnded:
      receiver.touchesEnded(touches, event);
      break;
    case UITouchPhaseCancelled:
      receiver.touchesCancelled(touches, event);
      break;
  }
}

}  // namespace

bool TouchDelivery::begin(const std::shared_ptr<UIView>& root, CGPoint point) {
  if (down_) finish();
  down_ = true;
  viewCancelled_ = false;
  recognizers_.clear();
  const auto view = root ? root->hitTest(point) : nullptr;
  touch_ = construct<UITouch>(root, view, point, Clock::current().monotonic());
  for (auto v = view; v; v = v->superview()) {
    for (auto& recognizer : v->recognizersForTouches()) {
      if (recognizer && recognizer->isEnabled()) recognizers_.push_back(std::move(recognizer));
    }
  }
  for (const auto& recognizer : recognizers_) recognizer->reset();
  deliver(UITouchPhaseBegan, point);
  return view != nullptr;
}

void TouchDelivery::move(CGPoint point) {
  if (down_) deliver(UITouchPhaseMoved, point);
}

void TouchDelivery::end(CGPoint point) {
  if (!down_) return;
  deliver(UITouchPhaseEnded, point);
  finish();
}

void TouchDelivery::cancel() {
  if (!down_) return;
  deliver(UITouchPhaseCancelled, touch_->locationInView(nullptr));
  finish();
}

void TouchDelivery::tap(const std::shared_ptr<UIView>& root, CGPoint point) {
  TouchDelivery finger;
  finger.begin(root, point);
  finger.end(point);
}

void TouchDelivery::deliver(UITouchPhase phase, CGPoint point) {
  const double now = Clock::current().monotonic();
  touch_->update(phase, point, now);
  UIEvent event({touch_}, now);
  toRecognizers(phase, event);
  toView(phase, event);
}

void TouchDelivery::toRecognizers(UITouchPhase phase, UIEvent& event) {
  const UITouchSet& touches = event.allTouches();
  // A copy: an action may change what the views hold.
  const auto recognizers = recognizers_;
  for (const auto& recognizer : recognizers) {
    if (!recognizer->isTracking()) continue;
    send(*recognizer, phase, touches, event);
    const UIGestureRecognizerState state = recognizer->state();
    const bool took =
        state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateRecognized;
    if (took) {
      for (const auto& other : recognizers) {
        if (other != recognizer) other->fail();
      }
      if (recognizer->cancelsTouchesInView()) cancelView(event);
    }
    if (took || state == UIGestureRecognizerStateChanged ||
        (state == UIGestureRecognizerStateCancelled && phase == UITouchPhaseCancelled)) {
      recognizer->sendAction();
    }
  }
}

void TouchDelivery::cancelView(UIEvent& event) {
  if (viewCancelled_) return;
  viewCancelled_ = true;
  if (const auto view = touch_->view()) view->touchesCancelled(event.allTouches(), event);
}

void TouchDelivery::toView(UITouchPhase phase, UIEvent& event) {
  if (viewCancelled_) return;
  const auto view = touch_->view();
  if (!view) return;
  if (phase == UITouchPhaseCancelled) return cancelView(event);
  send(*view, phase, event.allTouches(), event);
}

void TouchDelivery::finish() {
  for (const auto& recognizer : recognizers_) recognizer->reset();
  recognizers_.clear();
  touch_.reset();
  down_ = false;
}
