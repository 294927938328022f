#include "platform/uikit/ui_scroll_view.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/view_description.h"

// The scroll view's own drag: it begins once the finger has gone further than the slop along
// the scroll view's axis.
class ScrollViewDrag final : public UIGestureRecognizer {
 public:
  ScrollViewDrag(PassKey<ScrollViewDrag>, const std::shared_ptr<UIScrollView>& scroll)
      : UIGestureRecognizer(nullptr, {}), scroll_(scroll) {}

  void touchesBegan(const UITouchSet&, UIEvent&) override {
    const auto scroll = scroll_.lock();
    if (!scroll || !scroll->canDrag(horizontal_)) setState(UIGestureRecognizerStateFailed);
  }
  void touchesMoved(const UITouchSet& touches, UIEvent&) override {
    const auto scroll = scroll_.lock();
    if (!scroll || touches.empty()) return;
    const UITouch& touch = *touches.front();
    const CGPoint now = touch.locationInView(nullptr);
    const CGPoint start = touch.startLocationInView(nullptr);
    const CGFloat along = horizontal_ ? now.x - start.x : now.y - start.y;
    if (state() == UIGestureRecognizerStatePossible) {
      if (std::fabs(along) <= UIScrollView::kSlop) return;
      setState(UIGestureRecognizerStateBegan);
      scroll->dragBegan(horizontal_);
    } else {
      setState(UIGestureRecognizerStateChanged);
    }
    scroll->dragMoved(along);
  }
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override {
    if (state() == UIGestureRecognizerStatePossible) {
      // A lift past the slop without a move before it still drags.
      touchesMoved(touches, event);
      if (state() == UIGestureRecognizerStatePossible) {
        setState(UIGestureRecognizerStateFailed);
        return;
      }
    }
    setState(UIGestureRecognizerStateEnded);
    if (const auto scroll = scroll_.lock()) scroll->dragEnded();
  }
  void touchesCancelled(const UITouchSet& touches, UIEvent& event) override {
    const bool dragging = state() != UIGestureRecognizerStatePossible;
    UIGestureRecognizer::touchesCancelled(touches, event);
    if (const auto scroll = scroll_.lock(); scroll && dragging) scroll->dragEnded();
  }

 private:
  std::weak_ptr<UIScrollView> scroll_;
  bool horizontal_ = false;
};

std::vector<std::shared_ptr<UIGestureRecognizer>> UIScrollView::recognizersForTouches() {
  if (!drag_) {
    drag_ = construct<ScrollViewDrag>(std::static_pointer_cast<UIScrollView>(shared_from_this()));
  }
  auto recognizers = UIView::recognizersForTouches();
  recognizers.push_back(drag_);
  return recognizers;
}

bool UIScrollView::canDrag(bool& horizontal) const {
  if (!scrollEnabled_) return false;
  const CGSize size = bounds().size;
  horizontal = contentSize_.width > size.width;
  return horizontal || contentSize_.height > size.height;
}

CGFloat UIScrollView::maximumOffset() const {
  const CGSize size = bounds().size;
  return std::max(CGFloat{0}, horizontal_ ? contentSize_.width - size.width
                                          : contentSize_.height - size.height);
}

void UIScrollView::dragBegan(bool horizontal) {
  dragging_ = true;
  horizontal_ = horizontal;
  dragStart_ = contentOffset();
}

void UIScrollView::dragMoved(CGFloat along) {
  const CGFloat from = horizontal_ ? dragStart_.x : dragStart_.y;
  CGFloat offset = from - along;
  // Beyond the ends the content follows at half pace.
  const CGFloat end = maximumOffset();
  if (offset < 0) offset /= 2;
  if (offset > end) offset = end + (offset - end) / 2;
  CGPoint next = contentOffset();
  (horizontal_ ? next.x : next.y) = offset;
  setContentOffset(next);
}

void UIScrollView::dragEnded() {
  dragging_ = false;
  const CGFloat offset = horizontal_ ? contentOffset().x : contentOffset().y;
  const CGFloat end = maximumOffset();
  CGFloat target = std::clamp(offset, CGFloat{0}, end);
  const CGFloat page = horizontal_ ? bounds().size.width : bounds().size.height;
  if (paging_ && page > 0) {
    const CGFloat from = horizontal_ ? dragStart_.x : dragStart_.y;
    const CGFloat startPage = std::round(from / page);
    CGFloat index = std::round(offset / page);
    if (index == startPage && std::fabs(offset - from) >= kPageDrag)
      index += offset > from ? 1 : -1;
    target = std::clamp(index * page, CGFloat{0}, end);
  } else if (target == offset) {
    return;
  }
  CGPoint next = contentOffset();
  (horizontal_ ? next.x : next.y) = target;
  UIView::animateWithDurationAnimations(kSettleDuration, [&] { setContentOffset(next); });
}

void UIScrollView::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.size("contentSize", contentSize_);
  out.point("contentOffset", contentOffset());
}
