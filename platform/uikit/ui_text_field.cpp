#include "platform/uikit/ui_text_field.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/foundation/utf16.h"
#include "platform/uikit/painter.h"
#include "platform/uikit/view_description.h"

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
  markText();
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
  markText();
  if (const auto delegate = delegate_.lock()) delegate->textFieldDidEndEditing(*this);
  sendActionsForControlEvents(UIControlEventEditingDidEnd);
}

bool UITextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  const auto self = std::static_pointer_cast<UITextField>(shared_from_this());
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
  markText();
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

namespace {
constexpr CGFloat kTextInset = 8;
constexpr CGFloat kCornerRadius = 6;
constexpr CGFloat kCaretWidth = 2;

// A text field scrolls its text, so only the part around the caret is laid out: the end while
// editing (the caret follows the text), else the start. The part holds enough characters to
// fill the field even in narrow glyphs, however long the text is.
std::string_view partAroundCaret(std::string_view text, CGFloat width, CGFloat pointSize,
                                 bool atEnd) {
  const double points = std::isfinite(pointSize) && pointSize > 1 ? pointSize : 1;
  const double wanted = std::ceil(10 * static_cast<double>(width) / points) + 1;
  if (!(wanted < static_cast<double>(text.size()))) return text;
  const auto characters = static_cast<size_t>(wanted);
  const auto isLead = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; };
  size_t seen = 0;
  if (atEnd) {
    for (size_t i = text.size(); i-- > 0;) {
      if (isLead(text[i]) && ++seen == characters) return text.substr(i);
    }
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      if (isLead(text[i]) && seen++ == characters) return text.substr(0, i);
    }
  }
  return text;
}
}  // namespace

void UITextField::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  if (borderStyle_ == UITextBorderStyleRoundedRect) {
    painter.fillRoundedRect(rect, kCornerRadius, *UIColor::whiteColor());
    painter.fillRoundedRectGradient(CGRectMake(1, 1, rect.size.width - 2, 4), 3,
                                    *UIColor::colorWithWhiteAlpha(0, 0.12f),
                                    *UIColor::colorWithWhiteAlpha(0, 0));
    painter.strokeRoundedRect(CGRectInset(rect, 0.5f, 0.5f), kCornerRadius, 1,
                              *UIColor::colorWithWhiteAlpha(0.45f, 1));
  } else if (borderStyle_ == UITextBorderStyleLine || borderStyle_ == UITextBorderStyleBezel) {
    painter.strokeRoundedRect(CGRectInset(rect, 0.5f, 0.5f), 0, 1, *UIColor::darkGrayColor());
  }
  const CGRect area = textArea(rect.size);
  if (area.size.width <= 0 || area.size.height <= 0) return;
  const bool showsPlaceholder = text_.empty();
  // The part is measured at the smallest size the font may shrink to.
  CGFloat points = font_ ? font_->pointSize() : 1;
  if (adjusts_ && minimumFontSize_ > 0) points = std::min(points, minimumFontSize_);
  const std::string shown(
      partAroundCaret(showsPlaceholder ? placeholder_ : text_, area.size.width, points, editing_));
  TextStyle style;
  style.font = fontFittingWidth(shown, font_, area.size.width, adjusts_, minimumFontSize_);
  style.color = showsPlaceholder ? UIColor::colorWithWhiteAlpha(0.7f, 1)
                                 : (textColor_ ? textColor_ : UIColor::blackColor());
  style.alignment = alignment_;
  style.ellipsis = !editing_;
  const CGFloat width = shown.empty() ? 0 : painter.textSize(shown, style, 0).width;
  const CGFloat lineHeight = std::ceil(style.font->pointSize() * 1.2f);

  // Where the text starts, so that while editing its end and the caret stay in the field.
  CGFloat x = area.origin.x;
  if (alignment_ == NSTextAlignmentCenter) x += std::round((area.size.width - width) / 2);
  if (alignment_ == NSTextAlignmentRight)
    x += area.size.width - width - (editing_ ? kCaretWidth : 0);
  if (editing_ && x + width + kCaretWidth > area.origin.x + area.size.width) {
    x = area.origin.x + area.size.width - width - kCaretWidth;
  }
  painter.save();
  painter.clipRect(area);
  if (!shown.empty()) {
    style.alignment = NSTextAlignmentLeft;
    const CGRect line =
        editing_ ? CGRectMake(x, 0, width + 1, rect.size.height)
                 : CGRectMake(x, 0, area.origin.x + area.size.width - x, rect.size.height);
    painter.drawText(shown, line, style);
  }
  if (editing_) {
    const CGFloat caretX = showsPlaceholder ? x : x + width;
    const CGFloat top = std::round((rect.size.height - lineHeight) / 2) + 1;
    painter.fillRect(CGRectMake(std::max(area.origin.x, caretX), top, kCaretWidth, lineHeight - 2),
                     *UIColor::colorWithRedGreenBlueAlpha(0.26f, 0.42f, 0.95f, 1));
  }
  painter.restore();
}

CGRect UITextField::textArea(CGSize size) const {
  // Inside the one-point line of a framed field.
  const CGFloat border = borderStyle_ == UITextBorderStyleNone ? 0 : 1;
  return CGRectMake(kTextInset, border, size.width - 2 * kTextInset, size.height - 2 * border);
}

void UITextField::describe(ViewDescription& out) const {
  UIControl::describe(out);
  out.string("text", text());
  out.string("placeholder", placeholder());
  out.boolean("editing", isEditing());
  out.boolean("firstResponder", isFirstResponder());
  out.integer("keyboardType", keyboardType());
  out.integer("borderStyle", borderStyle());
  out.integer("textAlignment", textAlignment());
  out.font("fontSize", font().get());
  out.color("textColor", textColor().get());
}

void UITextField::endTrackingWithTouch(UITouch*, UIEvent&) {
  if (isTouchInside()) becomeFirstResponder();
}
