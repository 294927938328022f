#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/time_interval.h"
#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_gesture_recognizer.h"
#include "platform/uikit/ui_touch.h"

class Painter;
class UIView;
class ViewDescription;

// One animated property of one view: the model value is set at once, and this record tells a
// renderer (and tests) how it moves. Times are the process clock's monotonic seconds.
struct UIViewAnimationRecord {
  std::weak_ptr<UIView> view;
  std::string property;  // "frame", "bounds", "alpha" or "backgroundColor"
  CGRect fromFrame, toFrame;
  CGRect fromBounds, toBounds;
  CGFloat fromAlpha = 0, toAlpha = 0;
  std::shared_ptr<UIColor> fromColor, toColor;  // null is no colour
  double start = 0;
  Seconds duration{};
  // The area, in the view's root, that the animation was last marked in; null before.
  std::optional<CGRect> marked;

  double end() const { return start + duration.count(); }

  // How far the property has moved at `now`, from 0 to 1, on the platform's default
  // ease-in-out curve.
  double progress(double now) const;
};

// The platform's default animation curve: a cubic Bézier from (0, 0) to (1, 1) through the
// control points (0.42, 0) and (0.58, 1). Answers the eased fraction for a time fraction.
TESSARY_EXPORT double easeInOut(double t);

// A view owns its subviews; the link back to the superview is weak. Touches it does not
// handle go to its superview, its next responder.
class TESSARY_EXPORT UIView : public UIResponder {
 public:
  explicit UIView(PassKey<UIView>, CGRect frame = CGRectZero) : UIView(frame) {}
  ~UIView() override;
  static std::shared_ptr<UIView> initWithFrame(CGRect frame) { return construct<UIView>(frame); }

  // The class name the host's dump and hit-testing report.
  virtual const char* className() const { return "UIView"; }
  // Writes the view's own properties, not its subviews': its class name, frame, alpha, hidden,
  // tag and background colour. A subclass writes its base's first, then what it adds.
  virtual void describe(ViewDescription& out) const;

  CGRect frame() const { return frame_; }
  virtual void setFrame(CGRect frame);
  // The view's own coordinate space: its origin is what the view shows at its top-left corner,
  // so a subview at frame origin (x, y) appears at (x - bounds.x, y - bounds.y).
  CGRect bounds() const { return {boundsOrigin_, frame_.size}; }
  // A new size keeps the centre, as on the platform; the origin shifts what the view shows.
  void setBounds(CGRect bounds);
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
  void setHidden(bool hidden);
  CGFloat alpha() const { return alpha_; }
  void setAlpha(CGFloat alpha);
  const std::shared_ptr<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::shared_ptr<UIColor> color);
  bool isUserInteractionEnabled() const { return userInteraction_; }
  void setUserInteractionEnabled(bool enabled) { userInteraction_ = enabled; }
  bool clipsToBounds() const { return clips_; }
  void setClipsToBounds(bool clips);
  NSUInteger autoresizingMask() const { return autoresizing_; }
  void setAutoresizingMask(NSUInteger mask) { autoresizing_ = mask; }

  // A point in `view`'s coordinates (screen coordinates when null) in this view's. Every
  // ancestor's bounds origin is subtracted on the way, so scrolled content converts right.
  // The root of a tree lies at the screen's origin.
  CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
  CGPoint convertPointToView(CGPoint point, const UIView* view) const;
  CGRect convertRectFromView(CGRect rect, const UIView* view) const;
  CGRect convertRectToView(CGRect rect, const UIView* view) const;

  // Whether the point, in this view's coordinates, lies in its bounds.
  virtual bool pointInside(CGPoint point) const;
  // The deepest view under the point (in this view's coordinates) that takes touches: shown
  // (not hidden, alpha of at least 0.01), user interaction on, the point inside it. Later
  // subviews are in front. A clipping view takes nothing outside its bounds, for itself or its
  // subviews; a view that does not clip lets its subviews be touched where they stick out.
  virtual std::shared_ptr<UIView> hitTest(CGPoint point);
  // Not hidden and not transparent to the point of taking no touches.
  bool isShownForTouches() const { return !hidden_ && alpha_ >= 0.01f; }

  virtual CGSize sizeThatFits(CGSize size) const { return size; }
  void sizeToFit();

  void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }
  // The recognizers that see a touch on this view or its subviews: the ones added, and those
  // a class keeps for itself (a scroll view's drag).
  virtual std::vector<std::shared_ptr<UIGestureRecognizer>> recognizersForTouches() {
    return recognizers_;
  }
  std::shared_ptr<UIResponder> nextResponder() const override { return superview(); }

  // What the screen shows at the clock's present time: the model values, or where a running
  // animation has brought them.
  CGRect presentationFrame() const;
  CGRect presentationBounds() const;
  CGFloat presentationAlpha() const;
  std::shared_ptr<UIColor> presentationBackgroundColor() const;

  // Marks the view's content, or the part of it in `rect` (in the coordinates drawRect gets,
  // the view's top-left corner at (0, 0)), to be drawn again: the area is added to the damage
  // of the view's root, in the root's coordinates. A view calls these itself whenever its look
  // changes; a change of frame, bounds, alpha, hidden state or subviews marks the area the
  // view and what sticks out of it left and the area they now cover.
  void setNeedsDisplay();
  void setNeedsDisplayInRect(CGRect rect);
  // The root's marked areas since the last call, in its coordinates, and forgets them. A
  // presenter draws them again (clipped to them) and leaves the rest of its last picture.
  std::vector<CGRect> takeDamage();
  bool hasDamage() const { return !damage_.empty(); }
  // Marks, for every running animation and every one ended since the last call, the area its
  // view covered when last marked and the area it covers now at its presentation values.
  static void markAnimations();

  // Paints the view's own content into `rect`, its presentation size at (0, 0); subviews are
  // drawn after it by the tree walk (platform/uikit/view_drawing.h). The default fills the
  // background colour.
  virtual void drawRect(Painter& painter, CGRect rect) const;
  // Paints over the subviews, such as a highlighted button's glow. Nothing by default.
  virtual void drawOverSubviews(Painter& painter, CGRect rect) const;
  // What the view's drawing may cover at that size, in the coordinates drawRect gets: its
  // rectangle, or more for a view that draws past its edges.
  virtual CGRect drawnArea(CGSize size) const { return CGRectMake(0, 0, size.width, size.height); }

  // Runs `animations` at once; frame, bounds, alpha and background colour changes made inside
  // are recorded as animations of `duration` seconds, and `completion` runs with true once
  // they have passed. A change made outside an animation ends a running animation of the same
  // property of that view.
  static void animateWithDurationAnimations(Seconds duration,
                                            const std::function<void()>& animations,
                                            std::function<void(bool finished)> completion = {});
  // The platform's own spelling, with the duration as a bare NSTimeInterval.
  static void animateWithDurationAnimations(NSTimeInterval duration,
                                            const std::function<void()>& animations,
                                            std::function<void(bool finished)> completion = {}) {
    animateWithDurationAnimations(Seconds(duration), animations, std::move(completion));
  }
  // Animations still running, oldest first.
  static std::vector<UIViewAnimationRecord> runningAnimations();
  // Forgets every record, as at process start.
  static void resetAnimations();

 protected:
  explicit UIView(CGRect frame = CGRectZero) : frame_(frame) {}

  CGRect frame_;

 private:
  // Where this view's coordinate origin lies in its root's coordinates.
  CGPoint originInRoot() const;
  // What the view and everything in it that is not clipped cover, in the root's coordinates,
  // at the model values or at the presentation values.
  CGRect areaInRoot(bool presented) const;
  // Adds an area, in the root's coordinates, to the root's damage.
  void markInRoot(CGRect area);
  void markArea() { markInRoot(areaInRoot(false)); }
  // Marks where a record's view was last drawn and where it is now, as the record goes;
  // answers true, to be used in the test that drops it.
  static bool forget(const UIViewAnimationRecord& record);

  // Records the change inside an animation block, or drops the property's running animation
  // when the value changes outside one.
  void recordAnimation(UIViewAnimationRecord record, bool changed);
  const UIViewAnimationRecord* runningAnimation(const char* property, double now) const;

  std::weak_ptr<UIView> superview_;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  CGPoint boundsOrigin_{};
  NSInteger tag_ = 0;
  bool hidden_ = false;
  CGFloat alpha_ = 1.0f;
  std::shared_ptr<UIColor> backgroundColor_;
  bool userInteraction_ = true;
  bool clips_ = false;
  NSUInteger autoresizing_ = 0;
  std::vector<CGRect> damage_;  // on a root: the areas marked since the last takeDamage
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
