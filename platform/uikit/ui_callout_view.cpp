#include "platform/uikit/ui_callout_view.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/ui_label.h"

UICalloutView::UICalloutView()
    : body_(UIView::initWithFrame(CGRectZero)), arrow_(UIView::initWithFrame(CGRectZero)) {
  body_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.1f, 0.9f));
  arrow_->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.1f, 0.9f));
}

const std::shared_ptr<UICalloutView>& UICalloutView::sharedCalloutView() {
  return sharedSlot();
}

std::shared_ptr<UICalloutView>& UICalloutView::sharedSlot() {
  static std::shared_ptr<UICalloutView> shared = fresh();
  return shared;
}

std::shared_ptr<UICalloutView> UICalloutView::fresh() {
  auto view = std::make_shared<UICalloutView>();
  // The parts can only join the bubble once a shared pointer holds it.
  view->addSubview(view->body_);
  view->addSubview(view->arrow_);
  return view;
}

void UICalloutView::resetSharedCalloutView() {
  std::shared_ptr<UICalloutView>& shared = sharedSlot();
  shared->removeFromSuperview();
  shared = fresh();
}

void UICalloutView::setTitle(std::string title) {
  title_ = std::move(title);
  layout(false);
}

void UICalloutView::setSubtitleAnimated(std::optional<std::string> subtitle, bool animated) {
  subtitle_ = std::move(subtitle);
  layout(animated);
}

CGSize UICalloutView::contentSize() const {
  const CGSize title = measureText(title_, *UIFont::boldSystemFontOfSize(17));
  const CGSize subtitle =
      subtitle_ ? measureText(*subtitle_, *UIFont::systemFontOfSize(12)) : CGSize{};
  const CGFloat width = std::max(title.width, subtitle.width) + 2 * kSidePadding;
  return {std::max(width, kMinimumWidth), 2 * kVerticalPadding + title.height + subtitle.height};
}

void UICalloutView::setAnchorPointBoundaryRectAnimate(CGPoint point, CGRect boundary,
                                                      bool animate) {
  anchor_ = point;
  boundary_ = boundary;
  ++generation_;
  setAlpha(1);
  const CGSize size = contentSize();
  above_ = point.y - (size.height + kArrowHeight) >= boundary.origin.y;
  layout(animate);
}

void UICalloutView::layout(bool animated) {
  const auto place = [this] {
    CGSize size = contentSize();
    // A boundary without width (none given yet) leaves the body its natural width.
    if (boundary_.size.width > 0) size.width = std::min(size.width, boundary_.size.width);
    const CGFloat minX = boundary_.origin.x;
    const CGFloat maxX = boundary_.origin.x + boundary_.size.width - size.width;
    CGFloat x = anchor_.x - size.width / 2;
    if (boundary_.size.width > 0) x = std::clamp(x, minX, std::max(minX, maxX));
    const CGFloat height = size.height + kArrowHeight;
    const CGFloat y = above_ ? anchor_.y - height : anchor_.y;
    setFrame(CGRectMake(x, y, size.width, height));
    body_->setFrame(CGRectMake(0, above_ ? 0 : kArrowHeight, size.width, size.height));
    // The arrow's square stays over the body, its centre at the anchor where it can.
    const CGFloat side = kArrowHeight;
    const CGFloat arrowX =
        std::clamp(anchor_.x - x - side / 2, CGFloat{0}, std::max(CGFloat{0}, size.width - side));
    arrow_->setFrame(CGRectMake(arrowX, above_ ? size.height : 0, side, side));
  };
  if (animated) {
    UIView::animateWithDurationAnimations(kResizeDuration, place);
  } else {
    place();
  }
}

void UICalloutView::fadeOutWithDuration(double seconds) {
  const auto self = std::static_pointer_cast<UICalloutView>(weak_from_this().lock());
  if (!self) return;
  const unsigned generation = generation_;
  UIView::animateWithDurationAnimations(
      seconds, [&] { setAlpha(0); },
      [self, generation](bool) {
        if (self->generation_ != generation) return;
        self->removeFromSuperview();
        self->setAlpha(1);
      });
}
