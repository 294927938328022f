#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"

class UIView;

enum UITouchPhase : NSInteger {
  UITouchPhaseBegan = 0,
  UITouchPhaseMoved = 1,
  UITouchPhaseStationary = 2,
  UITouchPhaseEnded = 3,
  UITouchPhaseCancelled = 4,
};

// One finger. Its view is the one hit at touch down, whatever the finger does afterwards; its
// location is kept in the coordinates of the root the touch came down on.
class TESSARY_EXPORT UITouch : public NSObject {
 public:
  UITouch(PassKey<UITouch>, const std::shared_ptr<UIView>& root,
          const std::shared_ptr<UIView>& view, CGPoint point, double timestamp)
      : root_(root),
        view_(view),
        point_(point),
        previous_(point),
        start_(point),
        timestamp_(timestamp) {}

  UITouchPhase phase() const { return phase_; }
  // The process clock's monotonic seconds of the latest change.
  double timestamp() const { return timestamp_; }
  std::shared_ptr<UIView> view() const { return view_.lock(); }
  // The location in `view`'s coordinates; in the root's when `view` is null.
  CGPoint locationInView(const UIView* view) const;
  CGPoint previousLocationInView(const UIView* view) const;
  // Where the finger came down, in `view`'s coordinates.
  CGPoint startLocationInView(const UIView* view) const;

  // The delivery moves the finger.
  void update(UITouchPhase phase, CGPoint point, double timestamp);

 private:
  CGPoint inView(CGPoint point, const UIView* view) const;

  std::weak_ptr<UIView> root_;
  std::weak_ptr<UIView> view_;
  UITouchPhase phase_ = UITouchPhaseBegan;
  CGPoint point_, previous_, start_;
  double timestamp_;
};

using UITouchSet = std::vector<std::shared_ptr<UITouch>>;

// The touches of one change, as the responders receive them.
class TESSARY_EXPORT UIEvent {
 public:
  UIEvent(UITouchSet touches, double timestamp)
      : touches_(std::move(touches)), timestamp_(timestamp) {}
  const UITouchSet& allTouches() const { return touches_; }
  double timestamp() const { return timestamp_; }

 private:
  UITouchSet touches_;
  double timestamp_;
};

// Receives touches; what a responder does not handle goes to its next responder.
class TESSARY_EXPORT UIResponder : public NSObject {
 public:
  virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }
  virtual void touchesBegan(const UITouchSet& touches, UIEvent& event);
  virtual void touchesMoved(const UITouchSet& touches, UIEvent& event);
  virtual void touchesEnded(const UITouchSet& touches, UIEvent& event);
  virtual void touchesCancelled(const UITouchSet& touches, UIEvent& event);

 protected:
  UIResponder() = default;
};
