#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/ui_view.h"

using UIControlEvents = NSUInteger;
enum : NSUInteger {
  UIControlEventTouchDown = 1 << 0,
  UIControlEventTouchDownRepeat = 1 << 1,
  UIControlEventTouchDragInside = 1 << 2,
  UIControlEventTouchDragOutside = 1 << 3,
  UIControlEventTouchDragEnter = 1 << 4,
  UIControlEventTouchDragExit = 1 << 5,
  UIControlEventTouchUpInside = 1 << 6,
  UIControlEventTouchUpOutside = 1 << 7,
  UIControlEventTouchCancel = 1 << 8,
  UIControlEventValueChanged = 1 << 12,
  UIControlEventEditingDidBegin = 1 << 16,
  UIControlEventEditingChanged = 1 << 17,
  UIControlEventEditingDidEnd = 1 << 18,
  UIControlEventEditingDidEndOnExit = 1 << 19,
  UIControlEventAllTouchEvents = 0xFFF,
  UIControlEventAllEditingEvents = 0xF0000,
};

using UIControlState = NSUInteger;
enum : NSUInteger {
  UIControlStateNormal = 0,
  UIControlStateHighlighted = 1 << 0,
  UIControlStateDisabled = 1 << 1,
  UIControlStateSelected = 1 << 2,
};

// Targets are not owned: a released target's actions are skipped.
//
// A control tracks the touches whose view it is itself (a touch on a view lying on it does not
// reach it): highlighted while the finger is inside (kTrackingTolerance points around its
// bounds count as inside), it sends TouchDown at the start, TouchDragInside or
// TouchDragOutside at each move (with TouchDragEnter or TouchDragExit when the finger crosses
// the edge), TouchUpInside or TouchUpOutside at the lift, and TouchCancel when the touch is
// cancelled. A disabled control takes touches and does nothing with them.
class TESSARY_EXPORT UIControl : public UIView {
 public:
  explicit UIControl(PassKey<UIControl>, CGRect frame = CGRectZero) : UIControl(frame) {}
  static std::shared_ptr<UIControl> initWithFrame(CGRect frame) {
    return construct<UIControl>(frame);
  }
  const char* className() const override { return "UIControl"; }
  void describe(ViewDescription& out) const override;

  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*action)(), UIControlEvents events) {
    addAction(
        target, [action](NSObject& t, UIControl&) { (static_cast<T&>(t).*action)(); }, events);
  }
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*action)(UIControl& sender),
                 UIControlEvents events) {
    addAction(
        target, [action](NSObject& t, UIControl& s) { (static_cast<T&>(t).*action)(s); }, events);
  }
  void removeTarget(const NSObject* target, UIControlEvents events);
  void sendActionsForControlEvents(UIControlEvents events);
  UIControlEvents allControlEvents() const;
  size_t actionCount() const { return actions_.size(); }

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    setNeedsDisplay();
  }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    setNeedsDisplay();
  }
  bool isSelected() const { return selected_; }
  void setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    setNeedsDisplay();
  }

  // About 70 points on the platform (not confirmed).
  static constexpr CGFloat kTrackingTolerance = 70;
  bool isTracking() const { return tracking_; }
  bool isTouchInside() const { return touchInside_; }
  // Subclasses refine tracking; returning false from begin or continue stops it.
  virtual bool beginTrackingWithTouch(UITouch& touch, UIEvent& event);
  virtual bool continueTrackingWithTouch(UITouch& touch, UIEvent& event);
  virtual void endTrackingWithTouch(UITouch* touch, UIEvent& event);
  virtual void cancelTrackingWithEvent(UIEvent* event);

  void touchesBegan(const UITouchSet& touches, UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override;
  void touchesCancelled(const UITouchSet& touches, UIEvent& event) override;

 protected:
  explicit UIControl(CGRect frame = CGRectZero) : UIView(frame) {}

  using Invoke = std::function<void(NSObject& target, UIControl& sender)>;
  void addAction(const std::shared_ptr<NSObject>& target, Invoke invoke, UIControlEvents events);

 private:
  struct Action {
    std::weak_ptr<NSObject> target;
    const NSObject* key;
    Invoke invoke;
    UIControlEvents events;
  };
  // The touch this control tracks, if the set holds it.
  UITouch* trackedTouch(const UITouchSet& touches) const;
  bool isInside(const UITouch& touch) const;

  std::vector<Action> actions_;
  bool held_ = false;  // a touch of its own is down
  bool tracking_ = false;
  bool touchInside_ = false;
  bool enabled_ = true;
  bool highlighted_ = false;
  bool selected_ = false;
};
