#include "platform/uikit/ui_toolbar.h"

#include <cmath>

#include "platform/uikit/painter.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/view_description.h"

namespace {
constexpr CGFloat kEdgeMargin = 6;
constexpr CGFloat kItemPadding = 6;
}  // namespace

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::flexibleSpace() {
  auto item = construct<UIBarButtonItem>();
  item->system_ = UIBarButtonSystemItemFlexibleSpace;
  return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithCustomView(std::shared_ptr<UIView> view) {
  auto item = construct<UIBarButtonItem>();
  item->customView_ = std::move(view);
  return item;
}

std::string UIBarButtonItem::displayTitle() const {
  if (system_ == UIBarButtonSystemItemDone) return "Done";
  if (system_ == UIBarButtonSystemItemCancel) return "Cancel";
  return title_;
}

void UIBarButtonItem::sendAction() {
  if (!action_) return;
  const auto protector = weak_from_this().lock();
  if (const auto target = target_.lock()) action_(*target);
}

void UIToolbar::setItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool) {
  for (const auto& item : items_) {
    if (item && item->customView()) item->customView()->removeFromSuperview();
  }
  items_ = std::move(items);
  for (const auto& item : items_) {
    if (item && item->customView()) addSubview(item->customView());
  }
  layoutItems();
  setNeedsDisplay();
}

CGSize UIToolbar::sizeThatFits(CGSize) const {
  const UIApplication& app = UIApplication::sharedApplication();
  const UIDevice& device = UIDevice::currentDevice();
  const bool tablet = device.respondsToUserInterfaceIdiom() &&
                      device.userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  return {app.screenWidth(), app.isLandscape() && !tablet ? 32.0f : 44.0f};
}

void UIToolbar::setFrame(CGRect frame) {
  UIView::setFrame(frame);
  layoutItems();
}

void UIToolbar::layoutItems() {
  const CGFloat height = frame().size.height;
  std::vector<CGFloat> widths;
  CGFloat fixed = 0;
  size_t flexible = 0;
  const auto font = UIFont::boldSystemFontOfSize(12);
  for (const auto& item : items_) {
    CGFloat width = 0;
    if (!item || item->isFlexibleSpace()) {
      ++flexible;
    } else if (item->customView()) {
      width = item->customView()->frame().size.width;
    } else if (item->image()) {
      width = item->image()->size().width + 2 * kItemPadding;
    } else {
      width = std::ceil(measureText(item->displayTitle(), *font).width) + 2 * kItemPadding;
    }
    widths.push_back(width);
    fixed += width;
  }
  const CGFloat spare = std::max<CGFloat>(0, frame().size.width - 2 * kEdgeMargin - fixed);
  const CGFloat share = flexible ? spare / static_cast<CGFloat>(flexible) : 0;
  CGFloat x = kEdgeMargin;
  for (size_t i = 0; i < items_.size(); ++i) {
    const bool isSpace = !items_[i] || items_[i]->isFlexibleSpace();
    const CGFloat width = isSpace ? share : widths[i];
    if (items_[i]) {
      const CGFloat itemHeight =
          items_[i]->customView() ? items_[i]->customView()->frame().size.height : height - 12;
      const CGRect place = CGRectMake(x, std::floor((height - itemHeight) / 2), width, itemHeight);
      items_[i]->setFrame(place);
      if (const auto& view = items_[i]->customView()) view->UIView::setFrame(place);
    }
    x += width;
  }
}

void UIToolbar::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  const bool dark = style_ != UIBarStyleDefault;
  const CGFloat opacity = style_ == UIBarStyleBlackTranslucent ? 0.75f : 1;
  if (dark) {
    painter.fillRoundedRectGradient(rect, 0, *UIColor::colorWithWhiteAlpha(0.32f, opacity),
                                    *UIColor::colorWithWhiteAlpha(0.02f, opacity));
  } else {
    painter.fillRoundedRectGradient(rect, 0,
                                    *UIColor::colorWithRedGreenBlueAlpha(0.69f, 0.74f, 0.8f, 1),
                                    *UIColor::colorWithRedGreenBlueAlpha(0.43f, 0.51f, 0.62f, 1));
  }
  painter.fillRect(CGRectMake(0, 0, rect.size.width, 1),
                   *UIColor::colorWithWhiteAlpha(dark ? 0.45f : 0.85f, opacity));

  const TextStyle title = barTitleStyle();
  for (const auto& item : items_) {
    if (!item || item->isFlexibleSpace() || item->customView()) continue;
    const CGRect place = item->frame();
    if (item->style() == UIBarButtonItemStyleDone) {
      painter.fillRoundedRectGradient(place, 5,
                                      *UIColor::colorWithRedGreenBlueAlpha(0.35f, 0.55f, 0.95f, 1),
                                      *UIColor::colorWithRedGreenBlueAlpha(0.1f, 0.3f, 0.8f, 1));
      painter.strokeRoundedRect(CGRectInset(place, 0.5f, 0.5f), 5, 1,
                                *UIColor::colorWithWhiteAlpha(0, 0.6f));
    } else if (item->style() == UIBarButtonItemStyleBordered) {
      painter.fillRoundedRectGradient(place, 5, *UIColor::colorWithWhiteAlpha(0.4f, 0.9f),
                                      *UIColor::colorWithWhiteAlpha(0.12f, 0.9f));
      painter.strokeRoundedRect(CGRectInset(place, 0.5f, 0.5f), 5, 1,
                                *UIColor::colorWithWhiteAlpha(0, 0.6f));
    }
    if (const auto& image = item->image()) {
      const CGSize size = image->size();
      painter.drawImage(
          *image, CGRectMake(place.origin.x + std::round((place.size.width - size.width) / 2),
                             place.origin.y + std::round((place.size.height - size.height) / 2),
                             size.width, size.height));
    } else {
      painter.drawText(item->displayTitle(), place, title);
    }
  }
}

TextStyle barTitleStyle() {
  TextStyle title;
  title.font = UIFont::boldSystemFontOfSize(12);
  title.color = UIColor::whiteColor();
  title.alignment = NSTextAlignmentCenter;
  title.shadowColor = UIColor::colorWithWhiteAlpha(0, 0.6f);
  title.shadowOffset = CGSizeMake(0, -1);
  return title;
}

void UIToolbar::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.integer("barStyle", barStyle());
  out.beginEntries("items");
  for (const auto& item : items()) {
    if (!item) {
      out.nullEntry();
      continue;
    }
    out.beginEntry();
    out.string("title", item->displayTitle());
    out.image("image", item->image().get());
    out.integer("style", item->style());
    out.integer("systemItem", item->systemItem());
    out.boolean("customView", item->customView() != nullptr);
    out.rect("frame", item->frame());
    out.endEntry();
  }
  out.endEntries();
}

const UITouch* UIToolbar::ownTouch(const UITouchSet& touches) const {
  for (const auto& touch : touches) {
    if (touch && touch->view().get() == this) return touch.get();
  }
  return nullptr;
}

void UIToolbar::dropIfStrayed(const UITouch& touch) {
  const CGPoint now = touch.locationInView(this);
  const CGPoint start = touch.startLocationInView(this);
  if (std::hypot(now.x - start.x, now.y - start.y) > kItemSlop) held_.reset();
}

void UIToolbar::touchesBegan(const UITouchSet& touches, UIEvent& event) {
  const UITouch* touch = ownTouch(touches);
  if (!touch) return UIView::touchesBegan(touches, event);
  held_.reset();
  const CGPoint point = touch->locationInView(this);
  for (const auto& item : items_) {
    if (!item || item->isFlexibleSpace() || item->customView()) continue;
    if (CGRectContainsPoint(item->frame(), point)) {
      held_ = item;
      break;
    }
  }
}

void UIToolbar::touchesMoved(const UITouchSet& touches, UIEvent& event) {
  const UITouch* touch = ownTouch(touches);
  if (!touch) return UIView::touchesMoved(touches, event);
  dropIfStrayed(*touch);
}

void UIToolbar::touchesEnded(const UITouchSet& touches, UIEvent& event) {
  const UITouch* touch = ownTouch(touches);
  if (!touch) return UIView::touchesEnded(touches, event);
  dropIfStrayed(*touch);
  const auto item = held_.lock();
  held_.reset();
  if (item) item->sendAction();
}

void UIToolbar::touchesCancelled(const UITouchSet& touches, UIEvent& event) {
  if (!ownTouch(touches)) return UIView::touchesCancelled(touches, event);
  held_.reset();
}
