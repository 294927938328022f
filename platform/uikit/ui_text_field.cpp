#include "platform/uikit/ui_text_field.h"

#include "platform/foundation/utf16.h"

UITextFieldDelegate::~UITextFieldDelegate() = default;

UITextField::UITextField(CGRect frame)
    : UIControl(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {}

bool UITextField::replaceRangeByUser(NSRange range, const std::string& replacement) {
  const auto protector = weak_from_this().lock();
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

namespace {
std::weak_ptr<UITextField>& responderSlot() {
  static std::weak_ptr<UITextField> responder;
  return responder;
}
UITextField::ResponderObserver& observerSlot() {
  static UITextField::ResponderObserver observer;
  return observer;
}
}  // namespace

std::shared_ptr<UITextField> UITextField::firstResponder() {
  return responderSlot().lock();
}

void UITextField::setResponderObserver(ResponderObserver observer) {
  observerSlot() = std::move(observer);
}

void UITextField::resetFirstResponder() {
  responderSlot().reset();
  observerSlot() = nullptr;
}

bool UITextField::isFirstResponder() const {
  return responderSlot().lock().get() == this;
}

void UITextField::endEditing() {
  editing_ = false;
  if (const auto delegate = delegate_.lock()) delegate->textFieldDidEndEditing(*this);
  sendActionsForControlEvents(UIControlEventEditingDidEnd);
}

bool UITextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  auto self = std::static_pointer_cast<UITextField>(weak_from_this().lock());
  if (!self) return false;
  if (const auto delegate = delegate_.lock()) {
    if (!delegate->textFieldShouldBeginEditing(*this)) return false;
  }
  const auto previous = responderSlot().lock();
  if (previous) {
    responderSlot().reset();
    previous->endEditing();
  }
  responderSlot() = self;
  editing_ = true;
  if (const auto delegate = delegate_.lock()) delegate->textFieldDidBeginEditing(*this);
  sendActionsForControlEvents(UIControlEventEditingDidBegin);
  if (observerSlot()) observerSlot()(this, previous.get());
  return true;
}

bool UITextField::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  const auto protector = weak_from_this().lock();
  if (const auto delegate = delegate_.lock()) {
    if (!delegate->textFieldShouldEndEditing(*this)) return false;
  }
  responderSlot().reset();
  endEditing();
  if (observerSlot()) observerSlot()(nullptr, this);
  return true;
}
