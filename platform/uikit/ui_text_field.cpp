#include "platform/uikit/ui_text_field.h"

#include "platform/foundation/utf16.h"

UITextFieldDelegate::~UITextFieldDelegate() = default;

UITextField::UITextField(CGRect frame)
    : UIControl(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {}

NSUInteger UITextField::textLength() const {
  if (validLength_) return *validLength_;
  if (!utf16::isValidUTF8(text_)) return utf16::length(text_);
  validLength_ = utf16::length(text_);
  return *validLength_;
}

bool UITextField::replaceRangeByUser(NSRange range, const std::string& replacement) {
  const auto protector = weak_from_this().lock();
  const NSUInteger length = textLength();
  if (range.location > length) range.location = length;
  if (range.length > length - range.location) range.length = length - range.location;
  if (const auto delegate = delegate_.lock()) {
    if (!delegate->textFieldShouldChangeCharactersInRangeReplacementString(*this, range,
                                                                           replacement)) {
      return false;
    }
  }
  // Valid text, unchanged by the delegate, is edited in place; anything else is re-encoded
  // whole, which turns invalid bytes into U+FFFD as the platform's strings hold them.
  // The end of the text, where typing goes, needs no scan.
  const auto offsetOf = [this, length](NSUInteger units) -> std::optional<size_t> {
    if (!validLength_) return std::nullopt;
    return units == length ? std::optional<size_t>(text_.size()) : utf16::byteOffset(text_, units);
  };
  const auto start = offsetOf(range.location);
  const auto end = start ? offsetOf(range.location + range.length) : std::nullopt;
  if (end && utf16::isValidUTF8(replacement)) {
    text_.replace(*start, *end - *start, replacement);
    validLength_ = length - range.length + utf16::length(replacement);
  } else {
    setText(utf16::replaceRange(text_, range.location, range.length, replacement));
  }
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
