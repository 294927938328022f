#include "platform/uikit/ui_label.h"

#include <cmath>

#include "platform/foundation/utf16.h"

namespace {
TextMeasurer& measurerSlot() {
  static TextMeasurer measurer = nullptr;
  return measurer;
}
}  // namespace

void setTextMeasurer(TextMeasurer measurer) { measurerSlot() = measurer; }

CGSize measureText(const std::string& text, const UIFont& font) {
  if (measurerSlot()) return measurerSlot()(text, font);
  const auto units = static_cast<CGFloat>(utf16::length(text));
  return {std::ceil(units * font.pointSize() * 0.6f), std::ceil(font.pointSize() * 1.2f)};
}

UILabel::UILabel(CGRect frame)
    : UIView(frame),
      font_(UIFont::systemFontOfSize(17)),
      textColor_(UIColor::blackColor()) {}
