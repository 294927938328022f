#include "host/touch_tracking.h"

#include <algorithm>
#include <cmath>

#include "host/draw_screen.h"
#include "host/simulator.h"
#include "host/touch.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"

namespace {

bool hasEnabledRecognizer(const UIView& view) {
  const auto& recognizers = view.gestureRecognizers();
  return std::any_of(recognizers.begin(), recognizers.end(),
                     [](const auto& r) { return r && r->isEnabled(); });
}

// The nearest scroll view at or above the view that can scroll its content, and along which
// axis.
std::shared_ptr<UIScrollView> scrollerAbove(std::shared_ptr<UIView> view, bool& horizontal) {
  for (; view; view = view->superview()) {
    auto scroll = std::dynamic_pointer_cast<UIScrollView>(view);
    if (!scroll || !scroll->isScrollEnabled()) continue;
    const CGSize content = scroll->contentSize();
    const CGSize size = scroll->bounds().size;
    if (content.width > size.width) {
      horizontal = true;
      return scroll;
    }
    if (content.height > size.height) {
      horizontal = false;
      return scroll;
    }
  }
  return nullptr;
}

CGFloat maximumOffset(const UIScrollView& scroll, bool horizontal) {
  const CGSize content = scroll.contentSize();
  const CGSize size = scroll.bounds().size;
  return std::max(CGFloat{0},
                  horizontal ? content.width - size.width : content.height - size.height);
}

}  // namespace

std::string TouchTracker::down(CGPoint point) {
  if (down_) return "touch down: a finger is already down";
  reset();
  down_ = true;
  start_ = last_ = point;
  if (const auto& alerts = UIAlertView::visibleAlerts(); !alerts.empty()) {
    target_ = Target::Swallowed;
    if (const auto button = alertButtonAt(*alerts.back(), point)) {
      target_ = Target::AlertButton;
      alert_ = alerts.back();
      alertButton_ = *button;
    }
    return {};
  }
  const auto& root = sim_.list().window();
  const auto hit = touch::hitTest(root, point);
  if (!hit) return {};
  hit_ = hit;

  const auto keyboardView = sim_.keyboard().view();
  if (hit->superview() == keyboardView && hit != sim_.keyboard().accessory()) {
    if (auto key = keyUnder(point)) {
      target_ = Target::Key;
      pressKey(std::move(key));
    }
    return {};
  }

  if (auto scroll = scrollerAbove(hit, horizontal_)) {
    scroller_ = scroll;
    startOffset_ = scroll->contentOffset();
  }
  if (std::dynamic_pointer_cast<UISegmentedControl>(hit) ||
      std::dynamic_pointer_cast<UIToolbar>(hit)) {
    target_ = Target::Tap;
    return {};
  }
  for (auto view = hit; view; view = view->superview()) {
    if (hasEnabledRecognizer(*view)) {
      hit_ = view;
      target_ = Target::Recognizer;
      return {};
    }
    // A control keeps only touches whose hit view it is itself (host/touch.h).
    if (view != hit) continue;
    if (auto control = std::dynamic_pointer_cast<UIControl>(view)) {
      if (!control->isEnabled()) return {};
      control_ = control;
      target_ = Target::Control;
      inside_ = true;
      control->setHighlighted(true);
      control->sendActionsForControlEvents(UIControlEventTouchDown);
      return {};
    }
  }
  return {};
}

std::string TouchTracker::move(CGPoint point) {
  if (!down_) return "touch move: no finger is down";
  last_ = point;
  travelled_ = std::max(travelled_,
                        static_cast<CGFloat>(std::hypot(point.x - start_.x, point.y - start_.y)));
  if (target_ == Target::Key) {
    pressKey(keyUnder(point));
    return {};
  }
  if (target_ == Target::Swallowed || target_ == Target::AlertButton) return {};
  startScrollingIfDragged(point);
  if (scrolling_) {
    const auto scroll = scroller_.lock();
    if (!scroll) return {};
    const CGFloat along = horizontal_ ? start_.x - point.x : start_.y - point.y;
    const CGFloat from = horizontal_ ? startOffset_.x : startOffset_.y;
    const CGFloat offset =
        std::clamp(from + along, CGFloat{0}, maximumOffset(*scroll, horizontal_));
    CGPoint next = scroll->contentOffset();
    (horizontal_ ? next.x : next.y) = offset;
    scroll->setContentOffset(next);
    return {};
  }
  if (target_ == Target::Control) trackControl(point);
  return {};
}

void TouchTracker::startScrollingIfDragged(CGPoint point) {
  if (scrolling_) return;
  const auto scroll = scroller_.lock();
  if (!scroll) return;
  const CGFloat along = horizontal_ ? point.x - start_.x : point.y - start_.y;
  if (std::fabs(along) <= kSlop) return;
  scrolling_ = true;
  if (const auto control = control_.lock()) {
    control->setHighlighted(false);
    control->sendActionsForControlEvents(UIControlEventTouchCancel);
  }
  control_.reset();
  target_ = Target::None;
}

void TouchTracker::trackControl(CGPoint point) {
  const auto control = control_.lock();
  if (!control) return;
  const auto visible = touch::visibleRect(*control, *sim_.list().window());
  const bool inside = visible && CGRectContainsPoint(*visible, point);
  UIControlEvents events = inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
  if (inside != inside_)
    events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
  inside_ = inside;
  control->setHighlighted(inside);
  control->sendActionsForControlEvents(events);
}

std::string TouchTracker::up(CGPoint point) {
  if (!down_) return "touch up: no finger is down";
  if (point.x != last_.x || point.y != last_.y) move(point);
  switch (target_) {
    case Target::Key:
      actOnKey(point);
      break;
    case Target::AlertButton:
      if (const auto alert = alert_.lock(); alert && alertButtonAt(*alert, point) == alertButton_ &&
                                            !UIAlertView::visibleAlerts().empty() &&
                                            UIAlertView::visibleAlerts().back() == alert) {
        alert->dismissWithClickedButtonIndex(static_cast<NSInteger>(alertButton_));
      }
      break;
    case Target::Control:
      if (const auto control = control_.lock()) {
        control->setHighlighted(false);
        control->sendActionsForControlEvents(inside_ ? UIControlEventTouchUpInside
                                                     : UIControlEventTouchUpOutside);
        if (const auto field = std::dynamic_pointer_cast<UITextField>(control); field && inside_) {
          field->becomeFirstResponder();
        }
      }
      break;
    case Target::Recognizer:
      if (const auto view = hit_.lock(); view && !movedTooFar()) {
        const auto recognizers = view->gestureRecognizers();  // the action may change them
        for (const auto& recognizer : recognizers) {
          if (recognizer && recognizer->isEnabled()) {
            recognizer->handleTap();
            break;
          }
        }
      }
      break;
    case Target::Tap:
      if (!movedTooFar()) touch::tapAt(sim_.list().window(), start_);
      break;
    case Target::None:
    case Target::Swallowed:
      break;
  }
  if (scrolling_) finishScrolling();
  reset();
  return {};
}

void TouchTracker::finishScrolling() {
  const auto scroll = scroller_.lock();
  if (!scroll || !scroll->isPagingEnabled()) return;
  const CGFloat page = horizontal_ ? scroll->bounds().size.width : scroll->bounds().size.height;
  if (!(page > 0)) return;
  const CGFloat offset = horizontal_ ? scroll->contentOffset().x : scroll->contentOffset().y;
  const CGFloat from = horizontal_ ? startOffset_.x : startOffset_.y;
  const CGFloat startPage = std::round(from / page);
  CGFloat target = std::round(offset / page);
  if (target == startPage && std::fabs(offset - from) >= kPageDrag) {
    target += offset > from ? 1 : -1;
  }
  const CGFloat snapped =
      std::clamp(target * page, CGFloat{0}, maximumOffset(*scroll, horizontal_));
  CGPoint next = scroll->contentOffset();
  (horizontal_ ? next.x : next.y) = snapped;
  UIView::animateWithDurationAnimations(kPageDuration, [&] { scroll->setContentOffset(next); });
}

std::optional<keyboard::Key> TouchTracker::keyUnder(CGPoint point) const {
  Keyboard& keyboard = sim_.keyboard();
  if (!keyboard.isOnScreen()) return std::nullopt;
  const auto& root = sim_.list().window();
  const auto accessory = keyboard.accessory();
  for (const auto& view : keyboard.view()->subviews()) {
    if (view == accessory) continue;
    const auto rect = touch::screenRect(*view, *root);
    // Off the keys' area is off every key, however near one the point lies.
    if (!rect || !CGRectContainsPoint(*rect, point)) return std::nullopt;
    const UIDevice& device = UIDevice::currentDevice();
    const bool tablet = device.respondsToUserInterfaceIdiom() &&
                        device.userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    const auto keys = keyboard::keys(keyboard.type(), rect->size, tablet);
    if (const auto* key = keyAt(keys, {point.x - rect->origin.x, point.y - rect->origin.y})) {
      return *key;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

void TouchTracker::pressKey(std::optional<keyboard::Key> key) {
  if (key == key_) return;
  key_ = std::move(key);
  sim_.keyboard().setPressedKey(key_);
}

const keyboard::Key* TouchTracker::keyAt(const std::vector<keyboard::Key>& keys, CGPoint point) {
  const keyboard::Key* best = nullptr;
  CGFloat bestDistance = kKeyReach;
  for (const auto& key : keys) {
    if (key.kind == keyboard::Key::Kind::Blank) continue;
    const CGRect& r = key.frame;
    const CGFloat dx =
        std::max({r.origin.x - point.x, CGFloat{0}, point.x - (r.origin.x + r.size.width)});
    const CGFloat dy =
        std::max({r.origin.y - point.y, CGFloat{0}, point.y - (r.origin.y + r.size.height)});
    const auto d = static_cast<CGFloat>(std::hypot(dx, dy));
    if (d < bestDistance) {
      best = &key;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

void TouchTracker::actOnKey(CGPoint point) {
  // The key under the lift types, wherever the finger came down: a phone's keyboard lets
  // the finger slide to the right key. Lifted off the keys, nothing is typed.
  const auto key = keyUnder(point);
  if (!key) return;
  switch (key->kind) {
    case keyboard::Key::Kind::Character:
      sim_.type(key->label);
      break;
    case keyboard::Key::Kind::Delete:
      sim_.backspace(1);
      break;
    case keyboard::Key::Kind::Blank:
      break;
  }
}

std::optional<size_t> TouchTracker::alertButtonAt(const UIAlertView& alert, CGPoint point) const {
  const auto frames = screen::alertButtonFrames(alert, sim_.list().screenSize());
  for (size_t i = 0; i < frames.size(); ++i) {
    if (CGRectContainsPoint(frames[i], point)) return i;
  }
  return std::nullopt;
}

std::string TouchTracker::cancel() {
  if (!down_) return "touch cancel: no finger is down";
  if (target_ == Target::Control) {
    if (const auto control = control_.lock()) {
      control->setHighlighted(false);
      control->sendActionsForControlEvents(UIControlEventTouchCancel);
    }
  }
  if (scrolling_) finishScrolling();
  reset();
  return {};
}

void TouchTracker::reset() {
  down_ = false;
  target_ = Target::None;
  travelled_ = 0;
  hit_.reset();
  control_.reset();
  inside_ = false;
  pressKey(std::nullopt);
  alert_.reset();
  alertButton_ = 0;
  scroller_.reset();
  scrolling_ = false;
  startOffset_ = {};
}
