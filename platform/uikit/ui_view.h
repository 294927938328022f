#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_gesture_recognizer.h"

class UIView;

// One animated property of one view: the model value is set at once, and this record tells a
// renderer (and tests) how it moves. Times are the process clock's monotonic seconds.
struct UIViewAnimationRecord {
  std::weak_ptr<UIView> view;
  std::string property;  // "frame" or "alpha"
  CGRect fromFrame, toFrame;
  CGFloat fromAlpha = 0, toAlpha = 0;
  double start = 0, duration = 0;
};

// A view owns its subviews; the link back to the superview is weak.
class TESSARY_EXPORT UIView : public NSObject {
 public:
  explicit UIView(CGRect frame = CGRectZero) : frame_(frame) {}
  ~UIView() override;
  static std::shared_ptr<UIView> initWithFrame(CGRect frame) {
    return std::make_shared<UIView>(frame);
  }

  // The class name the host's dump and hit-testing report.
  virtual const char* className() const { return "UIView"; }

  CGRect frame() const { return frame_; }
  virtual void setFrame(CGRect frame);
  CGRect bounds() const { return CGRectMake(0, 0, frame_.size.width, frame_.size.height); }
  CGPoint center() const {
    return {frame_.origin.x + frame_.size.width / 2, frame_.origin.y + frame_.size.height / 2};
  }
  void setCenter(CGPoint center) {
    setFrame(CGRectMake(center.x - frame_.size.width / 2, center.y - frame_.size.height / 2,
                        frame_.size.width, frame_.size.height));
  }

  std::shared_ptr<UIView> superview() const { return superview_.lock(); }
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  // Moving a view to another superview keeps it alive.
  void addSubview(const std::shared_ptr<UIView>& view);
  void insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index);
  void removeFromSuperview();
  bool isDescendantOfView(const UIView& view) const;
  std::shared_ptr<UIView> viewWithTag(NSInteger tag);

  NSInteger tag() const { return tag_; }
  void setTag(NSInteger tag) { tag_ = tag; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }
  CGFloat alpha() const { return alpha_; }
  void setAlpha(CGFloat alpha);
  const std::shared_ptr<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::shared_ptr<UIColor> color) { backgroundColor_ = std::move(color); }
  bool isUserInteractionEnabled() const { return userInteraction_; }
  void setUserInteractionEnabled(bool enabled) { userInteraction_ = enabled; }
  bool clipsToBounds() const { return clips_; }
  void setClipsToBounds(bool clips) { clips_ = clips; }
  NSUInteger autoresizingMask() const { return autoresizing_; }
  void setAutoresizingMask(NSUInteger mask) { autoresizing_ = mask; }

  // A point in `view`'s coordinates (screen coordinates when null) in this view's.
  CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
  CGPoint convertPointToView(CGPoint point, const UIView* view) const;

  virtual CGSize sizeThatFits(CGSize size) const { return size; }
  void sizeToFit();

  void addGestureRecognizer(const std::shared_ptr<UITapGestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<UITapGestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }

  // Runs `animations` at once; frame and alpha changes made inside are recorded as
  // animations of `duration` seconds, and `completion` runs with true once they have passed.
  static void animateWithDurationAnimations(double duration,
                                            const std::function<void()>& animations,
                                            std::function<void(bool finished)> completion = {});
  // Animations still running, oldest first.
  static std::vector<UIViewAnimationRecord> runningAnimations();

 protected:
  CGRect frame_;

 private:
  CGPoint originInRoot() const;

  void recordAnimation(const char* property, CGRect toFrame, CGFloat toAlpha);

  std::weak_ptr<UIView> superview_;
  std::vector<std::shared_ptr<UITapGestureRecognizer>> recognizers_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  NSInteger tag_ = 0;
  bool hidden_ = false;
  CGFloat alpha_ = 1.0f;
  std::shared_ptr<UIColor> backgroundColor_;
  bool userInteraction_ = true;
  bool clips_ = false;
  NSUInteger autoresizing_ = 0;
};

enum UIViewAutoresizing : NSUInteger {
  UIViewAutoresizingNone = 0,
  UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
  UIViewAutoresizingFlexibleWidth = 1 << 1,
  UIViewAutoresizingFlexibleRightMargin = 1 << 2,
  UIViewAutoresizingFlexibleTopMargin = 1 << 3,
  UIViewAutoresizingFlexibleHeight = 1 << 4,
  UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};
