#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_view.h"

// The on-screen keyboard as the host draws it: the keys, with the first responder's input
// accessory view riding on top of them.
class KeyboardView : public UIView {
 public:
  explicit KeyboardView(PassKey<KeyboardView>) {}
  const char* className() const override { return "UIKeyboard"; }
};

namespace keyboard {

inline constexpr Seconds kAnimationDuration{0.25};

// One key of the on-screen keys, in the keys' own coordinates.
struct Key {
  enum class Kind { Character, Delete, Blank };
  Kind kind = Kind::Character;
  std::string label;  // what a Character key types
  CGRect frame;
  bool operator==(const Key&) const = default;
};

// The keys of a keyboard type at that size: on a phone the decimal pad (digits, the point and
// delete) or the number pad (no point); on a tablet a row of digits with punctuation under it,
// as its number pad shows. Other types show the phone's number pad.
std::vector<Key> keys(UIKeyboardType type, CGSize size, bool tablet);

// The keys' height without any accessory view: a phone's keyboard is 216 high in portrait and
// 162 in landscape, a tablet's 264 and 352.
CGFloat keysHeight(bool tablet, bool landscape);

// The keyboard's rectangle in portrait screen coordinates, as the notifications carry it: up
// (lying on the interface's bottom edge) or down (just off that edge). `height` is the
// keyboard's extent across that edge, accessory included; in landscape it is the rectangle's
// width. Landscape right has the interface's bottom on the portrait screen's left side,
// landscape left on its right side; upside down puts it at the portrait top.
CGRect portraitFrame(CGSize portraitScreen, UIInterfaceOrientation orientation, CGFloat height,
                     bool up);

}  // namespace keyboard

// The keys themselves, for the keyboard type of the field being edited. The key a finger
// holds is drawn pressed: a character key darkens, the delete key lightens. A touch that comes
// down on a key presses it; the press follows the finger from key to key, and the key under
// the lift acts, so that the finger may slide to the right key. A lift off the keys does
// nothing, and a touch that comes down off the keys never presses one.
class KeypadView : public UIView {
 public:
  explicit KeypadView(PassKey<KeypadView>) {}
  using KeyAction = std::function<void(const keyboard::Key& key)>;
  void setKeyAction(KeyAction action) { action_ = std::move(action); }

  // The key under a point of the keys' area: the one whose frame holds it, or else the
  // nearest within kKeyReach, so that the thin gaps between keys are not dead. Blank keys
  // take no touch.
  static constexpr CGFloat kKeyReach = 6;
  static const keyboard::Key* keyAt(const std::vector<keyboard::Key>& keys, CGPoint point);

  void touchesBegan(const UITouchSet& touches, UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override;
  void touchesCancelled(const UITouchSet& touches, UIEvent& event) override;
  void setType(UIKeyboardType type, bool tablet) {
    type_ = type;
    tablet_ = tablet;
    setNeedsDisplay();
  }
  // A key that is not among the keys of the present layout is drawn as none. Only the keys
  // let go and pressed are drawn again.
  void setPressedKey(std::optional<keyboard::Key> key);
  const std::optional<keyboard::Key>& pressedKey() const { return pressed_; }
  void drawRect(Painter& painter, CGRect rect) const override;

 private:
  // The key under a point in the keypad's coordinates; none off the keys' area.
  std::optional<keyboard::Key> keyUnder(CGPoint point) const;

  UIKeyboardType type_ = UIKeyboardTypeDefault;
  bool tablet_ = false;
  std::optional<keyboard::Key> pressed_;
  bool tracking_ = false;
  KeyAction action_;
};

// Follows the first responder: when a text field becomes first responder and no keyboard is
// up, the keyboard of the field's type rises over 0.25 s with the field's accessory view on
// top, after UIKeyboardWillShowNotification; when the field resigns and no other takes over,
// UIKeyboardWillHideNotification is posted and the keyboard goes down over 0.25 s. Moving
// from one field to another keeps the keyboard up and posts nothing; the new field's accessory
// view takes the old one's place.
//
// A rotation with the keyboard up posts a hide and then a show with the new orientation's
// begin frame, so that observers lay themselves out afresh; the keys and the accessory take
// the new screen width at once, and the accessory keeps its height.
//
// One keyboard per process: it installs the text fields' responder observer while it lives.
class Keyboard {
 public:
  // The keyboard's view is added to `window`, in front of everything else, while it shows.
  explicit Keyboard(std::shared_ptr<UIView> window);
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // Up, or rising; false from the start of the hide on.
  bool isVisible() const { return visible_; }
  // In the window: up, rising or going down.
  bool isOnScreen() const { return view_->superview() != nullptr; }
  // The keyboard's rectangle in the current orientation's screen coordinates, accessory
  // included, while it is on screen; it is the rectangle the animation ends at.
  std::optional<CGRect> frame() const;
  UIKeyboardType type() const { return type_; }
  // The accessory view riding on the keyboard, while it does.
  std::shared_ptr<UIView> accessory() const;
  const std::shared_ptr<KeyboardView>& view() const { return view_; }
  // The key drawn pressed, while a finger holds one.
  void setPressedKey(std::optional<keyboard::Key> key) { keys_->setPressedKey(std::move(key)); }
  const std::optional<keyboard::Key>& pressedKey() const { return keys_->pressedKey(); }
  // What a key does when the finger lifts on it.
  void setKeyAction(KeypadView::KeyAction action) { keys_->setKeyAction(std::move(action)); }

  // Lays the keyboard out for the screen's present orientation (see above).
  void orientationChanged();

 private:
  void responderChanged(UITextField* became, UITextField* resigned);
  void show(UITextField& field);
  void hide();
  // Puts the field's accessory view on the keys and sizes everything to the screen's width;
  // answers the keyboard's height with the accessory.
  CGFloat layOut(UITextField& field);
  // The view's frame in the window, up or just below the screen.
  CGRect windowFrame(bool up) const;
  void post(const char* name, CGRect portraitBegin);
  void dropAccessory();

  std::shared_ptr<UIView> window_;
  std::shared_ptr<KeyboardView> view_;
  std::shared_ptr<KeypadView> keys_;
  std::weak_ptr<UIView> accessory_;
  UIKeyboardType type_ = UIKeyboardTypeDefault;
  CGFloat height_ = 0;
  bool visible_ = false;
  // Where the keyboard stands when up, in portrait screen coordinates: a hide's begin frame.
  CGRect shownPortraitFrame_{};
  // Counts shows and hides, so that a hide's end does nothing once the keyboard came back or
  // the keyboard has gone.
  std::shared_ptr<unsigned long> generation_;
};
