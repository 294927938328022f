#include "platform/uikit/ui_view.h"

#include <algorithm>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"

namespace {
struct AnimationState {
  int depth = 0;
  double duration = 0;
  std::vector<UIViewAnimationRecord> records;
};
AnimationState& animationState() {
  static AnimationState state;
  return state;
}
}  // namespace

UIView::~UIView() = default;

void UIView::setFrame(CGRect frame) {
  recordAnimation("frame", frame, alpha_);
  frame_ = frame;
}

void UIView::setAlpha(CGFloat alpha) {
  recordAnimation("alpha", frame_, alpha);
  alpha_ = alpha;
}

void UIView::recordAnimation(const char* property, CGRect toFrame, CGFloat toAlpha) {
  AnimationState& state = animationState();
  if (state.depth == 0) return;
  UIViewAnimationRecord record;
  record.view = std::static_pointer_cast<UIView>(weak_from_this().lock());
  record.property = property;
  record.fromFrame = frame_;
  record.toFrame = toFrame;
  record.fromAlpha = alpha_;
  record.toAlpha = toAlpha;
  record.start = Clock::current().monotonic();
  record.duration = state.duration;
  state.records.push_back(record);
}

void UIView::animateWithDurationAnimations(double duration, const std::function<void()>& animations,
                                           std::function<void(bool)> completion) {
  AnimationState& state = animationState();
  const double outer = state.duration;
  ++state.depth;
  state.duration = duration > 0 ? duration : 0;
  if (animations) animations();
  --state.depth;
  state.duration = outer;
  NSRunLoop::mainRunLoop().addTimer(duration, [completion = std::move(completion)] {
    const double now = Clock::current().monotonic();
    std::erase_if(animationState().records, [now](const UIViewAnimationRecord& r) {
      return r.view.expired() || r.start + r.duration <= now;
    });
    if (completion) completion(true);
  });
}

std::vector<UIViewAnimationRecord> UIView::runningAnimations() {
  const double now = Clock::current().monotonic();
  std::vector<UIViewAnimationRecord> running;
  for (const auto& record : animationState().records) {
    if (!record.view.expired() && record.start + record.duration > now) running.push_back(record);
  }
  return running;
}

void UIView::resetAnimations() {
  animationState() = AnimationState{};
}

void UIView::addGestureRecognizer(const std::shared_ptr<UITapGestureRecognizer>& recognizer) {
  if (!recognizer) return;
  recognizer->view_ = std::static_pointer_cast<UIView>(weak_from_this().lock());
  recognizers_.push_back(recognizer);
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  insertSubviewAtIndex(view, subviews_.size());
}

void UIView::insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index) {
  // A view that no shared pointer owns cannot be anyone's superview.
  const auto self = std::static_pointer_cast<UIView>(weak_from_this().lock());
  if (!self || !view || view.get() == this || isDescendantOfView(*view)) return;
  const std::shared_ptr<UIView> keep = view;  // alive while it moves between superviews
  view->removeFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  keep->superview_ = self;
}

void UIView::removeFromSuperview() {
  const auto parent = superview_.lock();
  superview_.reset();
  if (!parent) return;
  auto& siblings = parent->subviews_;
  const auto found = std::find_if(siblings.begin(), siblings.end(),
                                  [this](const auto& v) { return v.get() == this; });
  if (found == siblings.end()) return;
  const std::shared_ptr<UIView> keep = *found;  // the caller may hold no other reference
  siblings.erase(found);
}

bool UIView::isDescendantOfView(const UIView& view) const {
  for (const UIView* v = this; v;) {
    if (v == &view) return true;
    const auto parent = v->superview_.lock();
    v = parent.get();
  }
  return false;
}

std::shared_ptr<UIView> UIView::viewWithTag(NSInteger tag) {
  if (tag_ == tag) return std::static_pointer_cast<UIView>(weak_from_this().lock());
  for (const auto& child : subviews_) {
    if (auto found = child->viewWithTag(tag)) return found;
  }
  return nullptr;
}

void UIView::setBounds(CGRect bounds) {
  if (bounds.size != frame_.size) {
    const CGPoint middle = center();
    setFrame(CGRectMake(middle.x - bounds.size.width / 2, middle.y - bounds.size.height / 2,
                        bounds.size.width, bounds.size.height));
  }
  boundsOrigin_ = bounds.origin;
}

CGPoint UIView::originInRoot() const {
  CGPoint origin{};
  for (const UIView* v = this; v;) {
    const auto parent = v->superview_.lock();
    if (!parent) break;  // the root lies at the screen's origin
    origin.x += v->frame_.origin.x - v->boundsOrigin_.x;
    origin.y += v->frame_.origin.y - v->boundsOrigin_.y;
    v = parent.get();
  }
  return origin;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const {
  const CGPoint from = view ? view->originInRoot() : CGPointZero;
  const CGPoint to = originInRoot();
  return {point.x + from.x - to.x, point.y + from.y - to.y};
}

CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const {
  const CGPoint from = originInRoot();
  const CGPoint to = view ? view->originInRoot() : CGPointZero;
  return {point.x + from.x - to.x, point.y + from.y - to.y};
}

CGRect UIView::convertRectFromView(CGRect rect, const UIView* view) const {
  return {convertPointFromView(rect.origin, view), rect.size};
}

CGRect UIView::convertRectToView(CGRect rect, const UIView* view) const {
  return {convertPointToView(rect.origin, view), rect.size};
}

bool UIView::pointInside(CGPoint point) const {
  return CGRectContainsPoint(bounds(), point);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point) {
  if (!isShownForTouches() || !userInteraction_) return nullptr;
  const bool inside = pointInside(point);
  if (clips_ && !inside) return nullptr;
  const auto children = subviews_;  // a copy: the tree may not change under the walk
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const UIView& child = **it;
    const CGPoint local{point.x - child.frame_.origin.x + child.boundsOrigin_.x,
                        point.y - child.frame_.origin.y + child.boundsOrigin_.y};
    if (auto found = (*it)->hitTest(local)) return found;
  }
  return inside ? std::static_pointer_cast<UIView>(weak_from_this().lock()) : nullptr;
}

void UIView::sizeToFit() {
  const CGSize size = sizeThatFits(frame_.size);
  setFrame({frame_.origin, size});
}
