#include "platform/uikit/ui_callout_view.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/painter.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/view_description.h"

namespace {
// The body and the arrow are places the bubble draws itself into; they draw nothing of their
// own, so the bubble's shape is not covered by their squares.
class CalloutPart : public UIView {
 public:
  explicit CalloutPart(PassKey<CalloutPart>) {}
  void drawRect(Painter&, CGRect) const override {}
};
}  // namespace

UICalloutView::UICalloutView(PassKey<UICalloutView>)
    : body_(construct<CalloutPart>()), arrow_(construct<CalloutPart>()) {
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
  auto view = construct<UICalloutView>();
  // The parts join the bubble once a shared pointer holds it, outside the constructor.
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
  setNeedsDisplay();
  layout(false);
}

void UICalloutView::setSubtitleAnimated(std::optional<std::string> subtitle, bool animated) {
  subtitle_ = std::move(subtitle);
  setNeedsDisplay();
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
  const auto self = std::static_pointer_cast<UICalloutView>(shared_from_this());
  const unsigned generation = generation_;
  UIView::animateWithDurationAnimations(
      Seconds(seconds), [&] { setAlpha(0); },
      [self, generation](bool) {
        if (self->generation_ != generation) return;
        self->removeFromSuperview();
        self->setAlpha(1);
      });
}

void UICalloutView::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  const CGRect body = body_->presentationFrame();
  const CGRect arrow = arrow_->presentationFrame();
  if (body.size.width <= 0 || body.size.height <= 0) return;
  const auto top = UIColor::colorWithRedGreenBlueAlpha(0.36f, 0.37f, 0.4f, 0.95f);
  const auto bottom = UIColor::colorWithRedGreenBlueAlpha(0.06f, 0.06f, 0.08f, 0.95f);
  const auto edge = UIColor::colorWithWhiteAlpha(1, 0.55f);
  const CGFloat middle = arrow.origin.x + arrow.size.width / 2;
  // Wider than the arrow's square: the view's drawn area allows for it.
  const CGFloat half = arrow.size.width * 0.7f;
  // The arrow joins the body one point inside it, so no seam shows.
  std::vector<CGPoint> triangle;
  if (above_) {
    const CGFloat base = body.origin.y + body.size.height - 1;
    triangle = {
        {middle - half, base}, {middle + half, base}, {middle, base + arrow.size.height + 1}};
  } else {
    const CGFloat base = body.origin.y + 1;
    triangle = {
        {middle - half, base}, {middle + half, base}, {middle, base - arrow.size.height - 1}};
  }
  std::vector<CGPoint> outline = triangle;
  for (auto& p : outline) p.y += above_ ? 1 : -1;
  painter.fillPolygon(outline, *edge);
  painter.fillRoundedRect(CGRectInset(body, -1, -1), 9, *edge);
  painter.fillRoundedRectGradient(body, 8, *top, *bottom);
  painter.fillPolygon(triangle, above_ ? *bottom : *top);

  // The texts run on under the body's edge while it widens, cut there rather than ellipsized.
  painter.save();
  painter.clipRect(body);
  TextStyle title;
  title.ellipsis = false;
  title.font = UIFont::boldSystemFontOfSize(17);
  title.color = UIColor::whiteColor();
  title.alignment = NSTextAlignmentCenter;
  title.shadowColor = UIColor::colorWithWhiteAlpha(0, 0.6f);
  const CGSize titleSize = measureText(title_, *title.font);
  painter.drawText(title_,
                   CGRectMake(body.origin.x, body.origin.y + kVerticalPadding, body.size.width,
                              titleSize.height),
                   title);
  if (subtitle_) {
    TextStyle sub = title;
    sub.font = UIFont::systemFontOfSize(12);
    painter.drawText(*subtitle_,
                     CGRectMake(body.origin.x, body.origin.y + kVerticalPadding + titleSize.height,
                                body.size.width, measureText(*subtitle_, *sub.font).height),
                     sub);
  }
  painter.restore();
}

void UICalloutView::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.point("anchorPoint", anchorPoint());
  out.string("title", title());
  if (subtitle()) {
    out.string("subtitle", *subtitle());
  } else {
    out.null("subtitle");
  }
  out.boolean("above", isAbove());
}
