#include "platform/uikit/ui_view.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/painter.h"
#include "platform/uikit/view_description.h"

namespace {
struct AnimationState {
  int depth = 0;
  Seconds duration{};
  std::vector<UIViewAnimationRecord> records;
};
AnimationState& animationState() {
  static AnimationState state;
  return state;
}
}  // namespace

UIView::~UIView() = default;

void UIView::setFrame(CGRect frame) {
  UIViewAnimationRecord record;
  record.property = "frame";
  record.fromFrame = frame_;
  record.toFrame = frame;
  const bool changed = frame != frame_;
  recordAnimation(std::move(record), changed);
  if (changed) markArea();
  frame_ = frame;
  if (changed) markArea();
}

void UIView::setAlpha(CGFloat alpha) {
  UIViewAnimationRecord record;
  record.property = "alpha";
  record.fromAlpha = alpha_;
  record.toAlpha = alpha;
  recordAnimation(std::move(record), alpha != alpha_);
  if (alpha != alpha_) markArea();
  alpha_ = alpha;
}

void UIView::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  markArea();
}

void UIView::setClipsToBounds(bool clips) {
  if (clips == clips_) return;
  markArea();  // the larger of the two areas: what stuck out is shown or cut
  clips_ = clips;
  markArea();
}

void UIView::setBackgroundColor(std::shared_ptr<UIColor> color) {
  UIViewAnimationRecord record;
  record.property = "backgroundColor";
  record.fromColor = backgroundColor_;
  record.toColor = color;
  const bool changed = color != backgroundColor_;
  recordAnimation(std::move(record), changed);
  backgroundColor_ = std::move(color);
  if (changed) setNeedsDisplay();
}

namespace {
// A root's damage beyond this many rectangles becomes the one rectangle that holds them all,
// so that a tree changed often while nothing presents it stays small.
constexpr size_t kMaxDamageRects = 32;
}  // namespace

void UIView::setNeedsDisplay() {
  setNeedsDisplayInRect(drawnArea(frame_.size));
}

void UIView::setNeedsDisplayInRect(CGRect rect) {
  const CGPoint origin = originInRoot();
  markInRoot(CGRectMake(origin.x + boundsOrigin_.x + rect.origin.x,
                        origin.y + boundsOrigin_.y + rect.origin.y, rect.size.width,
                        rect.size.height));
}

void UIView::markInRoot(CGRect area) {
  if (CGRectIsEmpty(area)) return;
  UIView* root = this;
  std::shared_ptr<UIView> parent;
  while ((parent = root->superview_.lock())) root = parent.get();
  auto& damage = root->damage_;
  for (const CGRect& marked : damage) {
    if (CGRectUnion(marked, area) == marked) return;  // already marked
  }
  if (damage.size() >= kMaxDamageRects) {
    CGRect all = area;
    for (const CGRect& marked : damage) all = CGRectUnion(all, marked);
    damage.assign(1, all);
    return;
  }
  damage.push_back(area);
}

std::vector<CGRect> UIView::takeDamage() {
  return std::exchange(damage_, {});
}

CGRect UIView::areaInRoot(bool presented) const {
  // Where the view's top-left corner lies in its root.
  CGPoint corner{};
  for (const UIView* v = this;;) {
    const auto parent = v->superview_.lock();
    if (!parent) break;  // the root lies at the screen's origin
    const CGRect frame = presented ? v->presentationFrame() : v->frame_;
    const CGPoint scrolled =
        presented ? parent->presentationBounds().origin : parent->boundsOrigin_;
    corner.x += frame.origin.x - scrolled.x;
    corner.y += frame.origin.y - scrolled.y;
    v = parent.get();
  }
  // The view's own rectangle, and its subviews' areas where it does not clip them.
  const auto area = [presented](const auto& self, const UIView& view, CGPoint at) -> CGRect {
    const CGRect frame = presented ? view.presentationFrame() : view.frame_;
    const CGRect drawn = view.drawnArea(frame.size);
    CGRect covered = CGRectMake(at.x + drawn.origin.x, at.y + drawn.origin.y, drawn.size.width,
                                drawn.size.height);
    if (view.clips_) return covered;
    const CGPoint scrolled = presented ? view.presentationBounds().origin : view.boundsOrigin_;
    for (const auto& child : view.subviews_) {
      const CGRect childFrame = presented ? child->presentationFrame() : child->frame_;
      covered = CGRectUnion(covered, self(self, *child,
                                          {at.x - scrolled.x + childFrame.origin.x,
                                           at.y - scrolled.y + childFrame.origin.y}));
    }
    return covered;
  };
  return area(area, *this, corner);
}

void UIView::markAnimations() {
  for (auto& record : animationState().records) {
    const auto view = record.view.lock();
    if (!view) continue;
    const CGRect now = view->areaInRoot(true);
    view->markInRoot(now);
    if (record.marked) view->markInRoot(*record.marked);
    record.marked = now;
  }
}

bool UIView::forget(const UIViewAnimationRecord& record) {
  if (!record.marked) return true;
  if (const auto view = record.view.lock()) {
    view->markInRoot(*record.marked);
    view->markInRoot(view->areaInRoot(true));
  }
  return true;
}

void UIView::recordAnimation(UIViewAnimationRecord record, bool changed) {
  AnimationState& state = animationState();
  if (state.depth == 0) {
    if (!changed) return;
    std::erase_if(state.records, [&](const UIViewAnimationRecord& r) {
      return r.property == record.property && r.view.lock().get() == this && forget(r);
    });
    return;
  }
  // Weakly, and without shared_from_this(): a constructor may set its own frame inside an
  // animation block, before any shared pointer holds the view.
  record.view = std::static_pointer_cast<UIView>(weak_from_this().lock());
  record.start = Clock::current().monotonic();
  record.duration = state.duration;
  state.records.push_back(std::move(record));
}

const UIViewAnimationRecord* UIView::runningAnimation(const char* property, double now) const {
  const auto& records = animationState().records;
  // The latest animation of the property wins, as a new animation replaces an older one.
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    if (it->property != property || it->view.lock().get() != this) continue;
    if (it->end() <= now || it->start > now) return nullptr;
    return &*it;
  }
  return nullptr;
}

namespace {
CGFloat mix(CGFloat from, CGFloat to, double f) {
  return static_cast<CGFloat>(from + (to - from) * f);
}
CGRect mixRect(CGRect from, CGRect to, double f) {
  return CGRectMake(mix(from.origin.x, to.origin.x, f), mix(from.origin.y, to.origin.y, f),
                    mix(from.size.width, to.size.width, f),
                    mix(from.size.height, to.size.height, f));
}
}  // namespace

double easeInOut(double t) {
  if (!(t > 0)) return 0;
  if (t >= 1) return 1;
  // x(s) = 3(1-s)^2 s 0.42 + 3(1-s) s^2 0.58 + s^3; solve x(s) = t by bisection, which is
  // monotonic here, then answer y(s) = 3(1-s) s^2 + s^3.
  const auto bezier = [](double s, double p1, double p2) {
    const double r = 1 - s;
    return 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s;
  };
  double lo = 0, hi = 1, s = t;
  for (int i = 0; i < 60; ++i) {
    s = (lo + hi) / 2;
    if (bezier(s, 0.42, 0.58) < t) {
      lo = s;
    } else {
      hi = s;
    }
  }
  return bezier(s, 0, 1);
}

double UIViewAnimationRecord::progress(double now) const {
  if (duration <= Seconds::zero()) return 1;
  return easeInOut((now - start) / duration.count());
}

CGRect UIView::presentationFrame() const {
  const double now = Clock::current().monotonic();
  const auto* record = runningAnimation("frame", now);
  return record ? mixRect(record->fromFrame, record->toFrame, record->progress(now)) : frame_;
}

CGRect UIView::presentationBounds() const {
  const double now = Clock::current().monotonic();
  const auto* record = runningAnimation("bounds", now);
  return record ? mixRect(record->fromBounds, record->toBounds, record->progress(now)) : bounds();
}

CGFloat UIView::presentationAlpha() const {
  const double now = Clock::current().monotonic();
  const auto* record = runningAnimation("alpha", now);
  return record ? mix(record->fromAlpha, record->toAlpha, record->progress(now)) : alpha_;
}

std::shared_ptr<UIColor> UIView::presentationBackgroundColor() const {
  const double now = Clock::current().monotonic();
  const auto* record = runningAnimation("backgroundColor", now);
  if (!record) return backgroundColor_;
  // No colour moves as the other colour made transparent, so a fade keeps its hue.
  const auto& from = record->fromColor ? record->fromColor : record->toColor;
  const auto& to = record->toColor ? record->toColor : record->fromColor;
  if (!from || !to) return backgroundColor_;
  const double f = record->progress(now);
  return UIColor::colorWithRedGreenBlueAlpha(
      mix(from->red(), to->red(), f), mix(from->green(), to->green(), f),
      mix(from->blue(), to->blue(), f),
      mix(record->fromColor ? from->alpha() : 0, record->toColor ? to->alpha() : 0, f));
}

void UIView::drawRect(Painter& painter, CGRect rect) const {
  if (const auto color = presentationBackgroundColor(); color && color->alpha() > 0) {
    painter.fillRect(rect, *color);
  }
}

void UIView::drawOverSubviews(Painter&, CGRect) const {}

void UIView::animateWithDurationAnimations(Seconds duration,
                                           const std::function<void()>& animations,
                                           std::function<void(bool)> completion) {
  AnimationState& state = animationState();
  const Seconds outer = state.duration;
  ++state.depth;
  state.duration = duration > Seconds::zero() ? duration : Seconds::zero();
  if (animations) animations();
  --state.depth;
  state.duration = outer;
  // The completion always runs, also when its views are gone by then.
  NSRunLoop::mainRunLoop()
      .addTimer(duration,
                [completion = std::move(completion)] {
                  const double now = Clock::current().monotonic();
                  std::erase_if(animationState().records, [now](const UIViewAnimationRecord& r) {
                    return (r.view.expired() || r.end() <= now) && forget(r);
                  });
                  if (completion) completion(true);
                })
      .detach();
}

std::vector<UIViewAnimationRecord> UIView::runningAnimations() {
  const double now = Clock::current().monotonic();
  std::vector<UIViewAnimationRecord> running;
  for (const auto& record : animationState().records) {
    if (!record.view.expired() && record.end() > now) running.push_back(record);
  }
  return running;
}

void UIView::resetAnimations() {
  animationState() = AnimationState{};
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
  if (!recognizer) return;
  recognizer->view_ = std::static_pointer_cast<UIView>(shared_from_this());
  recognizers_.push_back(recognizer);
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  insertSubviewAtIndex(view, subviews_.size());
}

void UIView::insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index) {
  if (!view || view.get() == this || isDescendantOfView(*view)) return;
  const auto self = std::static_pointer_cast<UIView>(shared_from_this());
  // Alive while it moves between superviews: `view` may be the very entry removed.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  const std::shared_ptr<UIView> keep = view;
  view->removeFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  keep->superview_ = self;
  keep->damage_.clear();  // no longer a root: all of it is marked in this one
  keep->markArea();
}

void UIView::removeFromSuperview() {
  const auto parent = superview_.lock();
  if (!parent) return;
  markArea();
  superview_.reset();
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
  if (tag_ == tag) return std::static_pointer_cast<UIView>(shared_from_this());
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
  UIViewAnimationRecord record;
  record.property = "bounds";
  record.fromBounds = this->bounds();
  record.toBounds = {bounds.origin, frame_.size};
  const bool changed = bounds.origin != boundsOrigin_;
  recordAnimation(std::move(record), changed);
  if (changed) markArea();
  boundsOrigin_ = bounds.origin;
  if (changed) markArea();
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
  return inside ? std::static_pointer_cast<UIView>(shared_from_this()) : nullptr;
}

void UIView::sizeToFit() {
  const CGSize size = sizeThatFits(frame_.size);
  setFrame({frame_.origin, size});
}

void UIView::describe(ViewDescription& out) const {
  out.string("class", className());
  out.rect("frame", frame());
  out.real("alpha", alpha());
  out.boolean("hidden", isHidden());
  out.integer("tag", tag());
  out.color("backgroundColor", backgroundColor().get());
}
