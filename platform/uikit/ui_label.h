#pragma once

#include <string>

#include "platform/uikit/ui_view.h"

enum NSTextAlignment : NSInteger {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentCenter = 1,
  NSTextAlignmentRight = 2,
};
using UITextAlignment = NSTextAlignment;
inline constexpr NSTextAlignment UITextAlignmentLeft = NSTextAlignmentLeft;
inline constexpr NSTextAlignment UITextAlignmentCenter = NSTextAlignmentCenter;
inline constexpr NSTextAlignment UITextAlignmentRight = NSTextAlignmentRight;

// Measures text in a font; the host installs a real measurer (pango). Without one, a rough
// estimate keeps layout defined.
using TextMeasurer = CGSize (*)(const std::string& text, const UIFont& font);
TESSARY_EXPORT void setTextMeasurer(TextMeasurer measurer);
TESSARY_EXPORT CGSize measureText(const std::string& text, const UIFont& font);
// A rough size without fonts: 0.6 em per UTF-16 unit wide, 1.2 em high.
TESSARY_EXPORT CGSize estimateTextSize(const std::string& text, const UIFont& font);

// The font a one-line text is drawn in to fit `width`: the font itself when the text fits or
// shrinking is off, else the largest size down to `minimumSize`, in half points, that fits
// (the minimum when none does).
TESSARY_EXPORT std::shared_ptr<UIFont> fontFittingWidth(const std::string& text,
                                                        const std::shared_ptr<UIFont>& font,
                                                        CGFloat width, bool shrinks,
                                                        CGFloat minimumSize);

class TESSARY_EXPORT UILabel : public UIView {
 public:
  explicit UILabel(PassKey<UILabel>, CGRect frame = CGRectZero) : UILabel(frame) {}
  static std::shared_ptr<UILabel> initWithFrame(CGRect frame) { return construct<UILabel>(frame); }
  const char* className() const override { return "UILabel"; }
  void describe(ViewDescription& out) const override;

  const std::string& text() const { return text_; }
  void setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
  }
  const std::shared_ptr<UIFont>& font() const { return font_; }
  void setFont(std::shared_ptr<UIFont> font) {
    if (!font) return;
    setNeedsDisplay();  // the text may reach past the edges, as far as the font's line
    font_ = std::move(font);
    setNeedsDisplay();
  }
  const std::shared_ptr<UIColor>& textColor() const { return textColor_; }
  void setTextColor(std::shared_ptr<UIColor> color) {
    textColor_ = std::move(color);
    setNeedsDisplay();
  }
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
  }
  const std::shared_ptr<UIColor>& shadowColor() const { return shadowColor_; }
  void setShadowColor(std::shared_ptr<UIColor> color) {
    shadowColor_ = std::move(color);
    setNeedsDisplay();
  }
  CGSize shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(CGSize offset) {
    setNeedsDisplay();
    shadowOffset_ = offset;
    setNeedsDisplay();
  }
  bool adjustsFontSizeToFitWidth() const { return adjusts_; }
  void setAdjustsFontSizeToFitWidth(bool adjusts) {
    adjusts_ = adjusts;
    setNeedsDisplay();
  }
  CGFloat minimumFontSize() const { return minimumFontSize_; }
  void setMinimumFontSize(CGFloat size) {
    minimumFontSize_ = size;
    setNeedsDisplay();
  }

  CGSize sizeThatFits(CGSize) const override { return measureText(text_, *font_); }
  // The text, shrunk to the width when the label adjusts its font size or has a minimum font
  // size, in the text colour with the shadow.
  void drawRect(Painter& painter, CGRect rect) const override;
  // A line of the font is centred on the label and may be taller than it; glyphs and the
  // shadow may reach a little past the ends.
  CGRect drawnArea(CGSize size) const override;

 protected:
  explicit UILabel(CGRect frame = CGRectZero);

 private:
  std::string text_;
  std::shared_ptr<UIFont> font_;
  std::shared_ptr<UIColor> textColor_;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
  std::shared_ptr<UIColor> shadowColor_;
  CGSize shadowOffset_{0, -1};
  bool adjusts_ = false;
  CGFloat minimumFontSize_ = 0;
};
