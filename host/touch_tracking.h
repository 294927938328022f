#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/keyboard.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_control.h"
#include "platform/uikit/ui_scroll_view.h"

class Simulator;

// One finger on the screen, followed from touch down through moves to touch up, as the
// platform delivers it. The view under the finger at touch down keeps the touch:
// - a control is highlighted and gets TouchDown; moves send TouchDragInside or
//   TouchDragOutside (with TouchDragEnter and TouchDragExit when the finger crosses its
//   edge) and the highlight follows the finger; the lift sends TouchUpInside or
//   TouchUpOutside; a text field touched up inside becomes first responder;
// - a tap recognizer, a segmented control's segment and a toolbar's item take a tap: they act
//   at the lift when the finger has not moved further than kSlop from where it came down;
// - a key of the on-screen keyboard is drawn pressed while the finger holds it, the press
//   following the finger from key to key, and the key under the lift types (or deletes);
//   a lift off the keys types nothing;
// - a finger that moves further than kSlop along the axis in which a scroll view under it
//   can scroll drags its content instead: the control's touch is cancelled (TouchCancel) and
//   the content follows the finger within its size; at the lift a paging scroll view moves
//   to a whole page: the next one in the drag's direction once the finger has gone
//   kPageDrag, else the nearest one.
// While an alert is shown it takes every touch: a lift on the button the finger came down on
// clicks it, and nothing else reaches the views beneath.
class TouchTracker {
 public:
  static constexpr CGFloat kSlop = 10;
  static constexpr CGFloat kPageDrag = 30;
  static constexpr Seconds kPageDuration{0.3};

  explicit TouchTracker(Simulator& simulator) : sim_(simulator) {}

  // Each answers an empty string, or the reason the touch was refused (a second finger, a
  // move or lift without a finger down).
  std::string down(CGPoint point);
  std::string move(CGPoint point);
  std::string up(CGPoint point);
  // The system takes the finger away (it left the window): nothing acts, a held key is let go
  // without typing, a control gets TouchCancel, and a drag settles as at a lift.
  std::string cancel();

  bool isDown() const { return down_; }
  // The key the finger holds on the on-screen keyboard, for drawing it pressed.
  const std::optional<keyboard::Key>& pressedKey() const { return key_; }

  // The key under a point of the keys' area: the one whose frame holds it, or else the
  // nearest within kKeyReach, so that the thin gaps between keys are not dead. Blank keys
  // take no touch.
  static constexpr CGFloat kKeyReach = 6;
  static const keyboard::Key* keyAt(const std::vector<keyboard::Key>& keys, CGPoint point);

 private:
  enum class Target { None, Swallowed, AlertButton, Key, Control, Recognizer, Tap };

  void startScrollingIfDragged(CGPoint point);
  void trackControl(CGPoint point);
  void finishScrolling();
  void actOnKey(CGPoint point);
  // The button of the front alert under the point, if any.
  std::optional<size_t> alertButtonAt(const UIAlertView& alert, CGPoint point) const;
  // The key under a point of the screen, while the keyboard is on it.
  std::optional<keyboard::Key> keyUnder(CGPoint point) const;
  // Holds the key (or none) and draws it pressed.
  void pressKey(std::optional<keyboard::Key> key);
  bool movedTooFar() const { return travelled_ > kSlop; }
  void reset();

  Simulator& sim_;
  bool down_ = false;
  Target target_ = Target::None;
  CGPoint start_{}, last_{};
  CGFloat travelled_ = 0;  // the furthest the finger has been from where it came down
  std::weak_ptr<UIView> hit_;
  std::weak_ptr<UIControl> control_;
  bool inside_ = false;
  std::optional<keyboard::Key> key_;
  std::weak_ptr<UIAlertView> alert_;
  size_t alertButton_ = 0;
  std::weak_ptr<UIScrollView> scroller_;
  bool horizontal_ = false;
  bool scrolling_ = false;
  CGPoint startOffset_{};
};
