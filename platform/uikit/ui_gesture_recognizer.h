#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_touch.h"

class UIView;

enum UIGestureRecognizerState : NSInteger {
  UIGestureRecognizerStatePossible = 0,
  UIGestureRecognizerStateBegan = 1,
  UIGestureRecognizerStateChanged = 2,
  UIGestureRecognizerStateEnded = 3,
  UIGestureRecognizerStateCancelled = 4,
  UIGestureRecognizerStateFailed = 5,
  UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

// Sees the touches of its view and the view's subviews before the view does (the delivery is
// TouchDelivery's, platform/uikit/touch_delivery.h). A recognizer that begins or recognizes
// has the delivery cancel the view's touches when `cancelsTouchesInView` (YES by default),
// then sends its action; the others still possible fail.
class TESSARY_EXPORT UIGestureRecognizer : public NSObject {
 public:
  std::shared_ptr<UIView> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool cancelsTouchesInView() const { return cancelsTouches_; }
  void setCancelsTouchesInView(bool cancels) { cancelsTouches_ = cancels; }
  UIGestureRecognizerState state() const { return state_; }
  // Whether touches still reach it: possible, began or changed.
  bool isTracking() const {
    return state_ == UIGestureRecognizerStatePossible || state_ == UIGestureRecognizerStateBegan ||
           state_ == UIGestureRecognizerStateChanged;
  }

  virtual void touchesBegan(const UITouchSet& touches, UIEvent& event);
  virtual void touchesMoved(const UITouchSet& touches, UIEvent& event);
  virtual void touchesEnded(const UITouchSet& touches, UIEvent& event);
  virtual void touchesCancelled(const UITouchSet& touches, UIEvent& event);
  // Back to possible once the touch is over.
  virtual void reset() { state_ = UIGestureRecognizerStatePossible; }
  // Sends the action once, if the target is still alive.
  void sendAction();
  // Another recognizer took the touch.
  void fail() {
    if (state_ == UIGestureRecognizerStatePossible) state_ = UIGestureRecognizerStateFailed;
  }

  using Action = std::function<void(NSObject& target, UIGestureRecognizer& recognizer)>;

 protected:
  UIGestureRecognizer(const std::shared_ptr<NSObject>& target, Action action)
      : target_(target), action_(std::move(action)) {}
  void setState(UIGestureRecognizerState state) { state_ = state; }

 private:
  friend class UIView;
  std::weak_ptr<NSObject> target_;
  Action action_;
  std::weak_ptr<UIView> view_;
  bool enabled_ = true;
  bool cancelsTouches_ = true;
  UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
};

// Recognizes at the finger's lift when the finger has not strayed more than kAllowedMovement
// points from where it came down (about 10 on the platform, not confirmed). A recognizer on
// a control so wins over the control's own touch-up-inside: the control's touch is cancelled.
class TESSARY_EXPORT UITapGestureRecognizer : public UIGestureRecognizer {
 public:
  static constexpr CGFloat kAllowedMovement = 10;

  template <class T>
  static std::shared_ptr<UITapGestureRecognizer> initWithTargetAction(
      const std::shared_ptr<T>& target, void (T::*action)(UITapGestureRecognizer&)) {
    return construct<UITapGestureRecognizer>(target, [action](NSObject& t, UIGestureRecognizer& r) {
      (static_cast<T&>(t).*action)(static_cast<UITapGestureRecognizer&>(r));
    });
  }
  template <class T>
  static std::shared_ptr<UITapGestureRecognizer> initWithTargetAction(
      const std::shared_ptr<T>& target, void (T::*action)()) {
    return construct<UITapGestureRecognizer>(
        target, [action](NSObject& t, UIGestureRecognizer&) { (static_cast<T&>(t).*action)(); });
  }

  UITapGestureRecognizer(PassKey<UITapGestureRecognizer>, const std::shared_ptr<NSObject>& target,
                         Action action)
      : UIGestureRecognizer(target, std::move(action)) {}

  void touchesMoved(const UITouchSet& touches, UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override;
  // Sends the action as a recognized tap does.
  void handleTap() {
    if (isEnabled()) sendAction();
  }

 private:
  bool strayed(const UITouch& touch) const;
};
