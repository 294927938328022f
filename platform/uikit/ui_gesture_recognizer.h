#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/values.h"

class UIView;

// A tap recognizer: the host recognises the tap and calls `handleTap`, which sends the action
// to the target (held weakly, as the platform does). A recognizer on a control wins over the
// control's own touch-up-inside.
class TESSARY_EXPORT UITapGestureRecognizer : public NSObject {
 public:
  template <class T>
  static std::shared_ptr<UITapGestureRecognizer> initWithTargetAction(
      const std::shared_ptr<T>& target, void (T::*action)(UITapGestureRecognizer&)) {
    return construct<UITapGestureRecognizer>(
        target,
        [action](NSObject& t, UITapGestureRecognizer& r) { (static_cast<T&>(t).*action)(r); });
  }
  template <class T>
  static std::shared_ptr<UITapGestureRecognizer> initWithTargetAction(
      const std::shared_ptr<T>& target, void (T::*action)()) {
    return construct<UITapGestureRecognizer>(
        target, [action](NSObject& t, UITapGestureRecognizer&) { (static_cast<T&>(t).*action)(); });
  }

  using Action = std::function<void(NSObject& target, UITapGestureRecognizer& recognizer)>;
  UITapGestureRecognizer(PassKey<UITapGestureRecognizer>, const std::shared_ptr<NSObject>& target,
                         Action action)
      : target_(target), action_(std::move(action)) {}

  std::shared_ptr<UIView> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  // Sends the action once, if the target is still alive.
  void handleTap();

 private:
  friend class UIView;
  std::weak_ptr<NSObject> target_;
  Action action_;
  std::weak_ptr<UIView> view_;
  bool enabled_ = true;
};
