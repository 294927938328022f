#include <algorithm>
#include <string>

#include "platform/hostlist/bulletin_list.h"
#include "widget/controller/device.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"
#include "widget/picker/catalogue.h"
#include "widget/util/perform_block_after_delay.h"

namespace {

constexpr CGFloat kAnchorOffset = 24;  // the middle of the 48-point currency button
constexpr CGFloat kButtonHeight = 30;
constexpr CGFloat kRowHeight = 35;
constexpr CGFloat kRowAbove = 56;     // the row's top above the button's top
constexpr CGFloat kRowBelow = 49;     // the row's top below the button's top
constexpr CGFloat kDetailShift = 45;  // a bubble below the button clears the detail labels
constexpr CGFloat kRowWidth = 295;
constexpr CGFloat kWideExtra = 160;
constexpr CGFloat kCodePitch = 53;
constexpr CGFloat kLeftRowStart = -18;  // from the anchor
constexpr CGFloat kRightRowStart = 16;  // from the anchor, before the row grows to the left
constexpr CGFloat kRightRowEnd = 19;    // from the anchor, once grown
constexpr CGFloat kBubbleBorder = 10;   // the bubble's body reaches this far past what it holds
constexpr double kFadeIn = 0.6;
constexpr double kExpansionDelay = 0.3;
constexpr double kExpansion = 0.3;
constexpr double kFadeOut = 0.3;
const char* const kTitle = "    ";

bool fieldIsFirstResponder(const std::weak_ptr<UITextField>& field) {
  const auto f = field.lock();
  return f && f->isFirstResponder();
}

CGRect withOrigin(const CGRect& frame, CGFloat x, CGFloat y) {
  return CGRectMake(x, y, frame.size.width, frame.size.height);
}

// The overlay's rectangle cut so that the bubble's far side ends where the expanded row does,
// plus the bubble's border: a bubble held inside it holds the row whichever way it grows.
CGRect rowBoundary(CGRect overlay, bool leftSide, CGFloat anchorX) {
  CGFloat x0 = overlay.origin.x;
  CGFloat x1 = overlay.origin.x + overlay.size.width;
  if (leftSide) {
    x0 = std::max(x0, anchorX + kLeftRowStart - kBubbleBorder);
  } else {
    x1 = std::min(x1, anchorX + kRightRowEnd + kBubbleBorder);
  }
  return CGRectMake(x0, overlay.origin.y, std::max(CGFloat{0}, x1 - x0), overlay.size.height);
}

// The row's frame kept within the overlay, so that every code can be reached. A widget keeps
// the layout it was built with when the device turns, where its row could reach past the
// screen's edge: such a row is moved in, and narrowed when wider than the overlay, leaving
// the bubble's border inside. A row that fits stays where it is.
CGRect withinOverlay(CGRect row, CGRect overlay) {
  const CGFloat x0 = overlay.origin.x;
  const CGFloat x1 = overlay.origin.x + overlay.size.width;
  if (row.origin.x >= x0 && row.origin.x + row.size.width <= x1) return row;
  const CGFloat margin = std::min(kBubbleBorder, overlay.size.width / 4);
  const CGFloat width = std::min(row.size.width, overlay.size.width - 2 * margin);
  const CGFloat x = std::clamp(row.origin.x, x0 + margin, x1 - margin - width);
  return CGRectMake(x, row.origin.y, width, row.size.height);
}

// The bubble lies above its anchor when its first subview's y is exactly 0.
bool isAbove(const UICalloutView& bubble) {
  return !bubble.subviews().empty() && bubble.subviews()[0]->frame().origin.y == 0;
}

std::string titleOf(const std::weak_ptr<UIButton>& button) {
  const auto b = button.lock();
  return b ? b->titleLabel()->text() : std::string();
}

}  // namespace

void TessaryController::tapLeft(UITapGestureRecognizer&) {
  openPicker(true);
}

void TessaryController::tapRight(UITapGestureRecognizer&) {
  openPicker(false);
}

void TessaryController::openPicker(bool leftSide) {
  // The overlay is fading out and takes whatever is on it; a tap then is not an opening.
  if (dim && dim->superview() && dim->actionCount() == 0) return;

  const auto bubble = callout.lock();
  if (bubble && bubble->superview()) {
    const CGFloat x = bubble->anchorPoint().x;
    const CGFloat middle = sideMidpoint();
    if (leftSide ? x < middle : x > middle) {
      hide();
      return;
    }
  }
  dismiss();
  alloc();
  const auto shown = callout.lock();
  if (!dim || !shown || !mini) return;
  dim->addSubview(shown);
  placePicker(leftSide, true);
  performBlockAfterDelay(
      self(), [controller = self()] { controller->expandPicker(); }, kExpansionDelay);
}

void TessaryController::placePicker(bool leftSide, bool opening) {
  const auto shown = callout.lock();
  if (!dim || !shown || !mini) return;
  const auto button = (leftSide ? leftButton : rightButton).lock();
  const CGPoint origin = dim->convertPointFromView(CGPointZero, button.get());
  const CGPoint anchor = CGPointMake(origin.x + kAnchorOffset, origin.y);
  const CGRect boundary = rowBoundary(dim->frame(), leftSide, anchor.x);
  shown->setAnchorPointBoundaryRectAnimate(anchor, boundary, false);
  if (opening) mini->setAlpha(0);

  const bool above = isAbove(*shown);
  const CGFloat shift = !above && detailMode ? kDetailShift : 0;
  // An opening starts the row as a line at its start; a later placement keeps its x and width.
  const CGRect row = mini->frame();
  const CGFloat x = opening ? anchor.x + (leftSide ? kLeftRowStart : kRightRowStart) : row.origin.x;
  const CGFloat width = opening ? 0 : row.size.width;
  if (opening) dim->addSubview(mini);
  if (above) {
    shown->setAnchorPointBoundaryRectAnimate(anchor, boundary, opening);
    mini->setFrame(CGRectMake(x, origin.y - kRowAbove, width, kRowHeight));
  } else {
    const CGFloat drop = kButtonHeight + shift;
    shown->setAnchorPointBoundaryRectAnimate(
        CGPointMake(anchor.x, origin.y + drop),
        CGRectMake(boundary.origin.x, boundary.origin.y + drop, boundary.size.width,
                   boundary.size.height - drop),
        opening);
    mini->setFrame(CGRectMake(x, origin.y + kRowBelow + shift, width, kRowHeight));
  }
}

void TessaryController::expandPicker() {
  const auto bubble = callout.lock();
  if (!bubble || !mini || !dim) return;  // closed in the meantime
  const bool wide = !portraitmode || isTablet();
  const CGFloat extra = wide ? kWideExtra : 0;
  bubble->setSubtitleAnimated(std::string(wide ? 140 : 85, ' '), true);
  // Side and placement as they are now: keyboard alignment may have moved the button.
  const bool leftSide = bubble->anchorPoint().x < sideMidpoint();
  const auto button = (leftSide ? leftButton : rightButton).lock();
  const CGPoint origin = dim->convertPointFromView(CGPointZero, button.get());
  const CGFloat anchorX = origin.x + kAnchorOffset;
  const bool above = isAbove(*bubble);
  const CGFloat shift = !above && detailMode ? kDetailShift : 0;
  const CGFloat width = kRowWidth + extra;
  const CGFloat x = leftSide ? anchorX + kLeftRowStart : anchorX + kRightRowEnd - width;
  const CGFloat y = above ? origin.y - kRowAbove : origin.y + kRowBelow + shift;
  const CGRect row = CGRectMake(x, y, width, kRowHeight);
  const CGRect reachable = withinOverlay(row, dim->bounds());
  const auto view = mini;
  UIView::animateWithDurationAnimations(kExpansion, [&] {
    view->setAlpha(1);
    view->setFrame(reachable);
  });
  if (reachable != row) holdRowInBubble(reachable);
}

void TessaryController::keepRowReachable() {
  if (!dim || !mini || mini->frame().size.width == 0) return;  // not yet expanded
  const CGRect row = mini->frame();
  const CGRect reachable = withinOverlay(row, dim->bounds());
  if (reachable == row) return;
  mini->setFrame(reachable);
  holdRowInBubble(reachable);
}

void TessaryController::holdRowInBubble(CGRect row) {
  const auto bubble = callout.lock();
  if (!bubble || !dim) return;
  const CGRect overlay = dim->bounds();
  const CGRect boundary = bubble->boundaryRect();
  const CGFloat x0 = std::max(overlay.origin.x, row.origin.x - kBubbleBorder);
  const CGFloat x1 = std::min(overlay.origin.x + overlay.size.width,
                              row.origin.x + row.size.width + kBubbleBorder);
  bubble->setAnchorPointBoundaryRectAnimate(
      bubble->anchorPoint(),
      CGRectMake(x0, boundary.origin.y, std::max(CGFloat{0}, x1 - x0), boundary.size.height), true);
}

void TessaryController::alloc() {
  const auto list = sharedBulletinListController();
  const auto listView = list ? list->listView() : nullptr;
  const auto sliding = listView ? listView->slidingView() : nullptr;

  if (!(dim && dim->superview())) {
    dim = UIControl::initWithFrame(sliding ? sliding->bounds() : CGRectZero);
    dim->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0));
    dim->addTarget(self(), &TessaryController::hide, UIControlEventAllTouchEvents);
    if (sliding) sliding->addSubview(dim);
    const auto container = sub.lock();
    if (container) {
      const CGPoint at = dim->convertPointFromView(CGPointZero, container.get());
      container->setFrame(withOrigin(container->frame(), at.x, at.y));
    }
    if (_backgroundView) {
      const CGPoint at = dim->convertPointFromView(CGPointZero, _backgroundView.get());
      _backgroundView->setFrame(withOrigin(_backgroundView->frame(), at.x, at.y));
    }
    const auto overlay = dim;
    UIView::animateWithDurationAnimations(kFadeIn, [&] {
      overlay->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, settings::alpha()));
      if (_backgroundView) overlay->addSubview(_backgroundView);
      if (container) overlay->addSubview(container);
    });
  }

  const auto& bubble = UICalloutView::sharedCalloutView();
  callout = bubble;
  bubble->setTitle(kTitle);
  bubble->setSubtitleAnimated(std::nullopt, false);

  mini = UIScrollView::initWithFrame(CGRectZero);
  mini->setScrollEnabled(true);
  const auto codes = catalogue::entries(titleOf(leftButton), titleOf(rightButton), exclude);
  mini->setContentSize(
      CGSizeMake(kCodePitch * static_cast<CGFloat>(codes.size()), mini->frame().size.height));
  mini->setUserInteractionEnabled(true);
  mini->setPagingEnabled(true);
  for (size_t i = 0; i < codes.size(); ++i) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setBackgroundImageForState(
        UIImage::imageWithContentsOfFile(std::string(paths::kBundle) + "ButtonBG.png"),
        UIControlStateNormal);
    button->titleLabel()->setShadowColor(UIColor::darkTextColor());
    button->titleLabel()->setShadowOffset(CGSizeMake(-1, 1));
    button->setTitleForState(codes[i], UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFontOfSize(16));
    button->setFrame(CGRectMake(kCodePitch * static_cast<CGFloat>(i), 3, 48, 30));
    button->setUserInteractionEnabled(true);
    button->addTarget(self(), &TessaryController::changed, UIControlEventTouchUpInside);
    mini->addSubview(button);
  }
}

void TessaryController::changed(UIControl& sender) {
  const auto bubble = callout.lock();
  bool leftSide = false;
  if (bubble && bubble->superview()) leftSide = bubble->anchorPoint().x < sideMidpoint();
  if (!fieldIsFirstResponder(leftField) && !fieldIsFirstResponder(rightField)) {
    left = leftSide ? YES : NO;
  }
  const auto* codeButton = dynamic_cast<UIButton*>(&sender);
  const std::string code = codeButton ? codeButton->titleLabel()->text() : std::string();
  const auto button = (leftSide ? leftButton : rightButton).lock();
  if (button) button->setTitleForState(code, UIControlStateNormal);
  if (!titleOf(leftSide ? rightButton : leftButton).empty()) load();
  if (detailMode) {
    if (const auto label = (leftSide ? leftDetail : rightDetail).lock()) {
      label->setText(
          catalogue::nameForCode(titleOf(leftSide ? leftButton : rightButton)).value_or(""));
    }
  }
  // The choice and the button that made it outlive the row that hide() releases.
  const auto keep = sender.weak_from_this().lock();
  hide();
  catalogue::recordChoice(leftSide ? "left" : "right", code);
}

CGFloat TessaryController::sideMidpoint() const {
  // Half the root view's width fails where the wide layout leaves both buttons in its left
  // half (a tablet in landscape); the midpoint between the buttons' anchors never does.
  const auto leftCode = leftButton.lock();
  const auto rightCode = rightButton.lock();
  if (dim && leftCode && rightCode) {
    const CGFloat leftX = dim->convertPointFromView(CGPointZero, leftCode.get()).x;
    const CGFloat rightX = dim->convertPointFromView(CGPointZero, rightCode.get()).x;
    return (leftX + rightX) / 2 + kAnchorOffset;
  }
  return (_view ? _view->frame().size.width : 0) * 0.5f;
}

CGRect TessaryController::bubbleBoundary(CGRect overlay) const {
  const auto bubble = callout.lock();
  if (!bubble) return overlay;
  const CGFloat x = bubble->anchorPoint().x;
  return rowBoundary(overlay, x < sideMidpoint(), x);
}

void TessaryController::dismiss() {
  if (mini) {
    mini->removeFromSuperview();
    mini.reset();
  }
  if (const auto bubble = callout.lock()) {
    bubble->setSubtitleAnimated(std::nullopt, true);
    bubble->fadeOutWithDuration(kFadeOut);
    callout.reset();
  }
  if (!fieldIsFirstResponder(leftField) && !fieldIsFirstResponder(rightField)) left = YES;
}

void TessaryController::hide() {
  if (dim) dim->removeTarget(this, UIControlEventAllTouchEvents);
  dismiss();
  const auto overlay = dim;
  UIView::animateWithDurationAnimations(
      kFadeOut,
      [&] {
        if (overlay) overlay->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0));
      },
      [controller = self(), overlay](bool) {
        // The view was unloaded, or the picker opened on a new overlay, while this one faded:
        // the converter and the overlay shown now are no longer this fade's to finish.
        if (controller->dim != overlay) {
          if (overlay) overlay->removeFromSuperview();
          return;
        }
        const auto container = controller->sub.lock();
        if (container) container->setFrame(withOrigin(container->frame(), 0, 0));
        const auto& background = controller->_backgroundView;
        if (background) background->setFrame(withOrigin(background->frame(), 2, 0));
        if (controller->_view) {
          if (background) controller->_view->addSubview(background);
          if (container) controller->_view->addSubview(container);
        }
        if (controller->dim) controller->dim->removeFromSuperview();
        controller->dim.reset();
      });
}
