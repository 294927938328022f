#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/ui_control.h"
#include "platform/uikit/ui_label.h"

class UITextField;

class TESSARY_EXPORT UITextFieldDelegate {
 public:
  virtual ~UITextFieldDelegate();
  virtual BOOL textFieldShouldChangeCharactersInRangeReplacementString(UITextField&, NSRange,
                                                                       const std::string&) {
    return YES;
  }
  virtual BOOL textFieldShouldBeginEditing(UITextField&) { return YES; }
  virtual void textFieldDidBeginEditing(UITextField&) {}
  virtual BOOL textFieldShouldEndEditing(UITextField&) { return YES; }
  virtual void textFieldDidEndEditing(UITextField&) {}
  virtual BOOL textFieldShouldReturn(UITextField&) { return YES; }
};

enum UITextBorderStyle : NSInteger {
  UITextBorderStyleNone = 0,
  UITextBorderStyleLine = 1,
  UITextBorderStyleBezel = 2,
  UITextBorderStyleRoundedRect = 3,
};

enum UIKeyboardType : NSInteger {
  UIKeyboardTypeDefault = 0,
  UIKeyboardTypeNumbersAndPunctuation = 2,
  UIKeyboardTypeNumberPad = 4,
  UIKeyboardTypeDecimalPad = 8,
};

class TESSARY_EXPORT UITextField : public UIControl {
 public:
  explicit UITextField(PassKey<UITextField>, CGRect frame = CGRectZero) : UITextField(frame) {}
  static std::shared_ptr<UITextField> initWithFrame(CGRect frame) {
    return construct<UITextField>(frame);
  }
  const char* className() const override { return "UITextField"; }
  void describe(ViewDescription& out) const override;

  // Setting the text in code sends no event, as on the platform.
  const std::string& text() const { return text_; }
  void setText(std::string text) {
    text_ = std::move(text);
    validLength_.reset();
    markText();
  }
  // The text's length in UTF-16 code units, as the platform counts it; kept from edit to edit,
  // so that typing at the end costs nothing for the text before it.
  NSUInteger textLength() const;
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string text) {
    placeholder_ = std::move(text);
    setNeedsDisplay();
  }

  std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<UITextFieldDelegate>& delegate) { delegate_ = delegate; }

  UIKeyboardType keyboardType() const { return keyboardType_; }
  void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
  UITextBorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(UITextBorderStyle style) {
    borderStyle_ = style;
    setNeedsDisplay();
  }
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
  }
  const std::shared_ptr<UIFont>& font() const { return font_; }
  void setFont(std::shared_ptr<UIFont> font) {
    if (!font) return;
    font_ = std::move(font);
    setNeedsDisplay();
  }
  const std::shared_ptr<UIColor>& textColor() const { return textColor_; }
  void setTextColor(std::shared_ptr<UIColor> color) {
    textColor_ = std::move(color);
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
  bool isEditing() const { return editing_; }

  // The rounded rectangle's white body and grey edge, the text (or the placeholder in grey)
  // inset from the edges and centred vertically, and while editing the caret after the text,
  // the text moved left so that its end and the caret stay in sight.
  void drawRect(Painter& painter, CGRect rect) const override;

  // The view riding on the keyboard while this field is edited; the field holds it.
  const std::shared_ptr<UIView>& inputAccessoryView() const { return accessory_; }
  void setInputAccessoryView(std::shared_ptr<UIView> view) { accessory_ = std::move(view); }

  // First responder: at most one field at a time. Becoming first responder ends the editing
  // of the one before (without the keyboard going), then begins this field's: the delegate's
  // did-begin call, then the editing-did-begin event, then the responder observer.
  // A touch that began in the field and ends in it makes it first responder.
  void endTrackingWithTouch(UITouch* touch, UIEvent& event) override;
  bool becomeFirstResponder();
  bool resignFirstResponder();
  bool isFirstResponder() const;
  static std::shared_ptr<UITextField> firstResponder();
  // Told after every change: the field that became first responder (or null) and the one
  // that resigned (or null). The host's keyboard follows it.
  using ResponderObserver = std::function<void(UITextField* became, UITextField* resigned)>;
  static void setResponderObserver(ResponderObserver observer);
  // No first responder and no observer, as at process start; nobody is told.
  static void resetFirstResponder();

  // A user's edit, as the keyboard or the edit menu makes it: the delegate may refuse it;
  // an accepted change replaces the range and then sends the editing-changed event.
  // Returns whether the change was made.
  bool replaceRangeByUser(NSRange range, const std::string& replacement);

 protected:
  explicit UITextField(CGRect frame = CGRectZero);

  void setEditing(bool isEditing) {
    editing_ = isEditing;
    markText();
  }

 private:
  // Where the text and the caret are drawn, inside the frame's border, at the given size.
  CGRect textArea(CGSize size) const;
  // Marks that area only: a keystroke leaves the frame and what lies around it as they are.
  void markText() { setNeedsDisplayInRect(textArea(frame().size)); }

  std::string text_;
  // text_'s length when it is known to be valid UTF-8; unknown after setText.
  mutable std::optional<NSUInteger> validLength_;
  std::string placeholder_;
  std::weak_ptr<UITextFieldDelegate> delegate_;
  UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
  UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
  NSTextAlignment alignment_ = NSTextAlignmentLeft;
  std::shared_ptr<UIFont> font_;
  std::shared_ptr<UIColor> textColor_;
  bool adjusts_ = false;
  CGFloat minimumFontSize_ = 0;
  bool editing_ = false;
  std::shared_ptr<UIView> accessory_;

  void endEditing();
};
