#include "platform/uikit/ui_label.h"

#include "platform/uikit/text_measure_pango.h"

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
