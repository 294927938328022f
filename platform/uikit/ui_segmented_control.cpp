#include "platform/uikit/ui_segmented_control.h"

#include <cmath>

#include "platform/uikit/painter.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_toolbar.h"
#include "platform/uikit/view_description.h"

namespace {
constexpr CGFloat kSegmentPadding = 8;
}

UISegmentedControl::UISegmentedControl(std::vector<std::string> titles)
    : titles_(std::move(titles)) {
  setFrame(CGRect{{0, 0}, sizeThatFits({})});
}

void UISegmentedControl::setSelectedSegmentIndex(NSInteger index) {
  selected_ = index >= 0 && static_cast<NSUInteger>(index) < titles_.size()
                  ? index
                  : UISegmentedControlNoSegment;
  setNeedsDisplay();
}

CGFloat UISegmentedControl::segmentWidth(NSUInteger index) const {
  const auto font = UIFont::boldSystemFontOfSize(12);
  return std::ceil(measureText(titles_[index], *font).width) + 2 * kSegmentPadding;
}

CGSize UISegmentedControl::sizeThatFits(CGSize) const {
  CGFloat width = 0;
  for (NSUInteger i = 0; i < titles_.size(); ++i) width += segmentWidth(i);
  return {width, style_ == UISegmentedControlStyleBar ? 30.0f : 44.0f};
}

CGRect UISegmentedControl::segmentFrame(NSUInteger index) const {
  CGFloat x = 0;
  for (NSUInteger i = 0; i < index && i < titles_.size(); ++i) x += segmentWidth(i);
  const CGFloat width = index < titles_.size() ? segmentWidth(index) : 0;
  return CGRectMake(x, 0, width, frame().size.height);
}

void UISegmentedControl::touchSegment(NSUInteger index) {
  if (index >= titles_.size() || !isEnabled()) return;
  const auto protector = weak_from_this().lock();
  selected_ = static_cast<NSInteger>(index);
  setNeedsDisplay();
  sendActionsForControlEvents(UIControlEventValueChanged);
  if (momentary_) selected_ = UISegmentedControlNoSegment;
}

bool UISegmentedControl::beginTrackingWithTouch(UITouch& touch, UIEvent&) {
  const CGPoint point = touch.locationInView(this);
  held_ = UISegmentedControlNoSegment;
  for (NSUInteger i = 0; i < titles_.size(); ++i) {
    if (CGRectContainsPoint(segmentFrame(i), point)) held_ = static_cast<NSInteger>(i);
  }
  if (held_ == UISegmentedControlNoSegment) return false;
  beforeHeld_ = selected_;
  selected_ = held_;
  return true;
}

void UISegmentedControl::endTrackingWithTouch(UITouch*, UIEvent&) {
  const NSInteger index = held_;
  held_ = UISegmentedControlNoSegment;
  selected_ = beforeHeld_;
  if (isTouchInside()) touchSegment(static_cast<NSUInteger>(index));
}

void UISegmentedControl::cancelTrackingWithEvent(UIEvent*) {
  held_ = UISegmentedControlNoSegment;
  selected_ = beforeHeld_;
}

void UISegmentedControl::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  constexpr CGFloat kRadius = 5;
  painter.fillRoundedRectGradient(rect, kRadius, *UIColor::colorWithWhiteAlpha(0.42f, 0.95f),
                                  *UIColor::colorWithWhiteAlpha(0.14f, 0.95f));
  const TextStyle title = barTitleStyle();
  for (NSUInteger i = 0; i < titles_.size(); ++i) {
    const CGRect segment = segmentFrame(i);
    if (static_cast<NSInteger>(i) == selected_) {
      painter.save();
      painter.clipRect(segment);
      painter.fillRoundedRectGradient(rect, kRadius, *UIColor::colorWithWhiteAlpha(0.05f, 0.95f),
                                      *UIColor::colorWithWhiteAlpha(0.25f, 0.95f));
      painter.restore();
    }
    if (i > 0) {
      painter.fillRect(CGRectMake(segment.origin.x, 0, 1, rect.size.height),
                       *UIColor::colorWithWhiteAlpha(0, 0.7f));
    }
    painter.drawText(titles_[i], segment, title);
  }
  painter.strokeRoundedRect(CGRectInset(rect, 0.5f, 0.5f), kRadius, 1,
                            *UIColor::colorWithWhiteAlpha(0, 0.7f));
}

void UISegmentedControl::describe(ViewDescription& out) const {
  UIControl::describe(out);
  out.strings("segments", titles_);
  out.integer("selectedSegmentIndex", selectedSegmentIndex());
  out.boolean("momentary", isMomentary());
  out.integer("segmentedControlStyle", segmentedControlStyle());
}
