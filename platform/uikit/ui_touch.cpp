#include "platform/uikit/ui_touch.h"

#include "platform/uikit/ui_view.h"

CGPoint UITouch::inView(CGPoint point, const UIView* view) const {
  if (!view) return point;
  const auto root = root_.lock();
  return view->convertPointFromView(point, root.get());
}

CGPoint UITouch::locationInView(const UIView* view) const {
  return inView(point_, view);
}

CGPoint UITouch::previousLocationInView(const UIView* view) const {
  return inView(previous_, view);
}

CGPoint UITouch::startLocationInView(const UIView* view) const {
  return inView(start_, view);
}

void UITouch::update(UITouchPhase phase, CGPoint point, double timestamp) {
  phase_ = phase;
  previous_ = point_;
  point_ = point;
  timestamp_ = timestamp;
}

void UIResponder::touchesBegan(const UITouchSet& touches, UIEvent& event) {
  if (const auto next = nextResponder()) next->touchesBegan(touches, event);
}

void UIResponder::touchesMoved(const UITouchSet& touches, UIEvent& event) {
  if (const auto next = nextResponder()) next->touchesMoved(touches, event);
}

void UIResponder::touchesEnded(const UITouchSet& touches, UIEvent& event) {
  if (const auto next = nextResponder()) next->touchesEnded(touches, event);
}

void UIResponder::touchesCancelled(const UITouchSet& touches, UIEvent& event) {
  if (const auto next = nextResponder()) next->touchesCancelled(touches, event);
}
