#include "platform/uikit/ui_text_field.h"

#include "platform/foundation/utf16.h"

UITextFieldDelegate::~UITextFieldDelegate() = default;

UITextField::UITextField(CGRect frame)
    : UIControl(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {}

bool UITextField::replaceRangeByUser(NSRange range, const std::string& replacement) {
  const auto protector = shared_from_this();
  const NSUInteger length = utf16::length(text_);
  if (range.location > length) range.location = length;
  if (range.length > length - range.location) range.length = length - range.location;
  if (const auto delegate = delegate_.lock()) {
    if (!delegate->textFieldShouldChangeCharactersInRangeReplacementString(*this, range,
                                                                           replacement)) {
      return false;
    }
  }
  text_ = utf16::replaceRange(text_, range.location, range.length, replacement);
  sendActionsForControlEvents(UIControlEventEditingChanged);
  return true;
}
