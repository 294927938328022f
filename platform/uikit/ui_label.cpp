#include "platform/uikit/ui_label.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/utf16.h"
#include "platform/uikit/painter.h"
#include "platform/uikit/view_description.h"

namespace {
TextMeasurer& measurerSlot() {
  static TextMeasurer measurer = nullptr;
  return measurer;
}
}  // namespace

void setTextMeasurer(TextMeasurer measurer) {
  measurerSlot() = measurer;
}

CGSize measureText(const std::string& text, const UIFont& font) {
  if (measurerSlot()) return measurerSlot()(text, font);
  return estimateTextSize(text, font);
}

UILabel::UILabel(CGRect frame)
    : UIView(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {
  setUserInteractionEnabled(false);  // a button's title label leaves its touches to the button
}

CGSize estimateTextSize(const std::string& text, const UIFont& font) {
  const auto units = static_cast<CGFloat>(utf16::length(text));
  return {std::ceil(units * font.pointSize() * 0.6f), std::ceil(font.pointSize() * 1.2f)};
}

std::shared_ptr<UIFont> fontFittingWidth(const std::string& text,
                                         const std::shared_ptr<UIFont>& font, CGFloat width,
                                         bool shrinks, CGFloat minimumSize) {
  if (!shrinks || !font || text.empty() || measureText(text, *font).width <= width) return font;
  CGFloat size = font->pointSize();
  if (!std::isfinite(size) || !std::isfinite(minimumSize)) return font;
  const CGFloat smallest = std::max<CGFloat>(1, minimumSize);
  // Bounded: sizes far above any screen's text come down in whole steps of half the size.
  while (size > 200) size /= 2;
  for (size -= 0.5f; size > smallest; size -= 0.5f) {
    auto smaller = std::make_shared<UIFont>(font->fontName(), size, font->isBold());
    if (measureText(text, *smaller).width <= width) return smaller;
  }
  return std::make_shared<UIFont>(font->fontName(), std::min(smallest, font->pointSize()),
                                  font->isBold());
}

CGRect UILabel::drawnArea(CGSize size) const {
  const CGFloat points = font_ ? font_->pointSize() : 0;
  const CGFloat line =
      std::isfinite(points) ? std::ceil(std::clamp<CGFloat>(points, 0, 1000) * 1.25f) : 0;
  const CGFloat over = std::max<CGFloat>(0, std::ceil((line - size.height) / 2));
  return CGRectInset(UIView::drawnArea(size), -(std::abs(shadowOffset_.width) + 2),
                     -(over + std::abs(shadowOffset_.height) + 1));
}

void UILabel::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  if (text_.empty()) return;
  TextStyle style;
  style.font = fontFittingWidth(text_, font_, rect.size.width, adjusts_ || minimumFontSize_ > 0,
                                minimumFontSize_);
  style.color = textColor_ ? textColor_ : UIColor::blackColor();
  style.alignment = alignment_;
  style.shadowColor = shadowColor_;
  style.shadowOffset = shadowOffset_;
  painter.drawText(text_, rect, style);
}

void UILabel::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.string("text", text());
  out.integer("textAlignment", textAlignment());
  out.font("fontSize", font().get());
  out.color("textColor", textColor().get());
}
