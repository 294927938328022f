#include "platform/uikit/ui_gesture_recognizer.h"

#include <cmath>

#include "platform/uikit/ui_view.h"

void UIGestureRecognizer::touchesBegan(const UITouchSet&, UIEvent&) {}
void UIGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent&) {}
void UIGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent&) {
  if (state_ == UIGestureRecognizerStatePossible) state_ = UIGestureRecognizerStateFailed;
}
void UIGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent&) {
  state_ = state_ == UIGestureRecognizerStatePossible ? UIGestureRecognizerStateFailed
                                                      : UIGestureRecognizerStateCancelled;
}

void UIGestureRecognizer::sendAction() {
  if (!enabled_ || !action_) return;
  const auto protector = weak_from_this().lock();
  if (const auto target = target_.lock()) action_(*target, *this);
}

bool UITapGestureRecognizer::strayed(const UITouch& touch) const {
  const CGPoint now = touch.locationInView(nullptr);
  const CGPoint start = touch.startLocationInView(nullptr);
  return std::hypot(now.x - start.x, now.y - start.y) > kAllowedMovement;
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent&) {
  if (!touches.empty() && strayed(*touches.front())) setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent&) {
  if (state() != UIGestureRecognizerStatePossible) return;
  const bool tap = !touches.empty() && !strayed(*touches.front());
  setState(tap ? UIGestureRecognizerStateRecognized : UIGestureRecognizerStateFailed);
}
