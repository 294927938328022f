#include "platform/uikit/ui_button.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/painter.h"
#include "platform/uikit/view_description.h"

namespace {
template <class Map>
auto lookup(const Map& map, UIControlState state) -> typename Map::mapped_type {
  const auto found = map.find(state);
  if (found != map.end()) return found->second;
  const auto normal = map.find(UIControlStateNormal);
  return normal != map.end() ? normal->second : typename Map::mapped_type{};
}
}  // namespace

UIButton::UIButton(UIButtonType type) : type_(type), titleLabel_(construct<UILabel>()) {
  titleLabel_->setTextAlignment(NSTextAlignmentCenter);
  titleLabel_->setFont(UIFont::boldSystemFontOfSize(15));
  titleLabel_->setTextColor(UIColor::whiteColor());
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
  auto button = construct<UIButton>(type);
  // The label joins the tree once the button is owned by a shared pointer.
  button->addSubview(button->titleLabel_);
  return button;
}

void UIButton::setTitleForState(std::string title, UIControlState state) {
  titles_[state] = std::move(title);
  refreshTitle();
}

std::string UIButton::titleForState(UIControlState state) const {
  return lookup(titles_, state);
}

std::string UIButton::currentTitle() const {
  return lookup(titles_, isHighlighted() ? UIControlStateHighlighted : UIControlStateNormal);
}

void UIButton::setTitleColorForState(std::shared_ptr<UIColor> color, UIControlState state) {
  titleColors_[state] = std::move(color);
  refreshTitle();
}

void UIButton::setBackgroundImageForState(std::shared_ptr<UIImage> image, UIControlState state) {
  backgrounds_[state] = std::move(image);
  setNeedsDisplay();
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(UIControlState state) const {
  return lookup(backgrounds_, state);
}

std::shared_ptr<UIImage> UIButton::currentBackgroundImage() const {
  return lookup(backgrounds_, isHighlighted() ? UIControlStateHighlighted : UIControlStateNormal);
}

void UIButton::setImageForState(std::shared_ptr<UIImage> image, UIControlState state) {
  images_[state] = std::move(image);
  setNeedsDisplay();
}

std::shared_ptr<UIImage> UIButton::imageForState(UIControlState state) const {
  return lookup(images_, state);
}

void UIButton::setHighlighted(bool highlighted) {
  // The glow may reach past a small button's edges: marked while it still shows.
  if (highlighted != isHighlighted() && showsTouch_ && isHighlighted()) setNeedsDisplay();
  UIControl::setHighlighted(highlighted);
  refreshTitle();
}

void UIButton::setShowsTouchWhenHighlighted(bool shows) {
  if (shows == showsTouch_) return;
  if (isHighlighted()) setNeedsDisplay();
  showsTouch_ = shows;
  if (isHighlighted()) setNeedsDisplay();
}

CGFloat UIButton::glowRadius(CGSize size) {
  return std::max<CGFloat>(20, std::min(size.width, size.height) * 0.75f);
}

CGRect UIButton::drawnArea(CGSize size) const {
  const CGRect own = UIControl::drawnArea(size);
  if (!showsTouch_ || !isHighlighted()) return own;
  const CGFloat radius = glowRadius(size);
  return CGRectUnion(
      own, CGRectMake(size.width / 2 - radius, size.height / 2 - radius, 2 * radius, 2 * radius));
}

CGSize UIButton::sizeThatFits(CGSize size) const {
  if (const auto image = lookup(backgrounds_, UIControlStateNormal)) return image->size();
  if (const auto image = lookup(images_, UIControlStateNormal)) return image->size();
  const std::string title = titleForState(UIControlStateNormal);
  return title.empty() ? size : measureText(title, *titleLabel_->font());
}

void UIButton::setFrame(CGRect frame) {
  UIControl::setFrame(frame);
  titleLabel_->setFrame(bounds());
}

void UIButton::refreshTitle() {
  // Setting a title changes the label's text; the label keeps a text set on it directly
  // until the next title change, as the platform's does.
  titleLabel_->setText(currentTitle());
  const auto color =
      lookup(titleColors_, isHighlighted() ? UIControlStateHighlighted : UIControlStateNormal);
  if (color) titleLabel_->setTextColor(color);
}

void UIButton::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  if (type_ == UIButtonTypeRoundedRect) {
    const auto body = isHighlighted() ? UIColor::colorWithRedGreenBlueAlpha(0.2f, 0.45f, 0.9f, 1)
                                      : UIColor::whiteColor();
    painter.fillRoundedRect(rect, 8, *body);
    painter.strokeRoundedRect(CGRectInset(rect, 0.5f, 0.5f), 8, 1,
                              *UIColor::colorWithWhiteAlpha(0.55f, 1));
  }
  if (const auto background = currentBackgroundImage()) painter.drawImage(*background, rect);
  const auto image =
      lookup(images_, isHighlighted() ? UIControlStateHighlighted : UIControlStateNormal);
  if (image) {
    const CGSize size = image->size();
    painter.drawImage(*image, CGRectMake(std::round((rect.size.width - size.width) / 2),
                                         std::round((rect.size.height - size.height) / 2),
                                         size.width, size.height));
  }
}

void UIButton::drawOverSubviews(Painter& painter, CGRect rect) const {
  if (!showsTouch_ || !isHighlighted()) return;
  painter.fillGlow(CGPointMake(rect.size.width / 2, rect.size.height / 2), glowRadius(rect.size),
                   *UIColor::colorWithWhiteAlpha(1, 0.9f));
}

void UIButton::describe(ViewDescription& out) const {
  UIControl::describe(out);
  out.string("title", currentTitle());
  out.image("backgroundImage", currentBackgroundImage().get());
  out.image("image", imageForState(UIControlStateNormal).get());
}
