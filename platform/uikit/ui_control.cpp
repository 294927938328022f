#include "platform/uikit/ui_control.h"

#include <algorithm>

#include "platform/uikit/view_description.h"

void UIControl::addAction(const std::shared_ptr<NSObject>& target, Invoke invoke,
                          UIControlEvents events) {
  if (!target || !invoke || events == 0) return;
  actions_.push_back({target, target.get(), std::move(invoke), events});
}

void UIControl::removeTarget(const NSObject* target, UIControlEvents events) {
  for (auto& action : actions_) {
    if (!target || action.key == target) action.events &= ~events;
  }
  std::erase_if(actions_, [](const Action& a) { return a.events == 0; });
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
  // The control and its targets stay alive while the actions run, even if one of them drops
  // the view tree.
  const auto protector = weak_from_this().lock();
  const std::vector<Action> snapshot = actions_;
  for (const Action& action : snapshot) {
    if ((action.events & events) == 0) continue;
    if (auto target = action.target.lock()) action.invoke(*target, *this);
  }
}

UIControlEvents UIControl::allControlEvents() const {
  UIControlEvents all = 0;
  for (const auto& action : actions_) all |= action.events;
  return all;
}

void UIControl::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.boolean("highlighted", isHighlighted());
  out.boolean("enabled", isEnabled());
}

bool UIControl::beginTrackingWithTouch(UITouch&, UIEvent&) {
  return true;
}

bool UIControl::continueTrackingWithTouch(UITouch&, UIEvent&) {
  return true;
}

void UIControl::endTrackingWithTouch(UITouch*, UIEvent&) {}

void UIControl::cancelTrackingWithEvent(UIEvent*) {}

UITouch* UIControl::trackedTouch(const UITouchSet& touches) const {
  for (const auto& touch : touches) {
    if (touch && touch->view().get() == this) return touch.get();
  }
  return nullptr;
}

bool UIControl::isInside(const UITouch& touch) const {
  const CGRect reach = CGRectInset(bounds(), -kTrackingTolerance, -kTrackingTolerance);
  return CGRectContainsPoint(reach, touch.locationInView(this));
}

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent& event) {
  UITouch* touch = trackedTouch(touches);
  if (!touch) return UIView::touchesBegan(touches, event);
  if (!enabled_) return;
  const auto protector = weak_from_this().lock();
  held_ = true;
  touchInside_ = true;
  tracking_ = beginTrackingWithTouch(*touch, event);
  setHighlighted(true);
  sendActionsForControlEvents(UIControlEventTouchDown);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent& event) {
  UITouch* touch = trackedTouch(touches);
  if (!touch) return UIView::touchesMoved(touches, event);
  if (!held_) return;
  const auto protector = weak_from_this().lock();
  const bool inside = isInside(*touch);
  UIControlEvents events = inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
  if (inside != touchInside_) {
    events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
  }
  touchInside_ = inside;
  if (tracking_) tracking_ = continueTrackingWithTouch(*touch, event);
  setHighlighted(inside);
  sendActionsForControlEvents(events);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent& event) {
  UITouch* touch = trackedTouch(touches);
  if (!touch) return UIView::touchesEnded(touches, event);
  if (!held_) return;
  const auto protector = weak_from_this().lock();
  touchInside_ = isInside(*touch);
  held_ = false;
  setHighlighted(false);
  if (tracking_) endTrackingWithTouch(touch, event);
  tracking_ = false;
  sendActionsForControlEvents(touchInside_ ? UIControlEventTouchUpInside
                                           : UIControlEventTouchUpOutside);
}

void UIControl::touchesCancelled(const UITouchSet& touches, UIEvent& event) {
  if (!trackedTouch(touches)) return UIView::touchesCancelled(touches, event);
  if (!held_) return;
  const auto protector = weak_from_this().lock();
  held_ = false;
  setHighlighted(false);
  if (tracking_) cancelTrackingWithEvent(&event);
  tracking_ = false;
  sendActionsForControlEvents(UIControlEventTouchCancel);
}
