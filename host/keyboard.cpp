#include "host/keyboard.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/notification_center.h"
#include "platform/uikit/ns_value.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_keyboard.h"

namespace keyboard {

CGFloat keysHeight(bool tablet, bool landscape) {
  if (tablet) return landscape ? 352 : 264;
  return landscape ? 162 : 216;
}

CGRect portraitFrame(CGSize screen, UIInterfaceOrientation orientation, CGFloat height, bool up) {
  switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown:
      return CGRectMake(0, up ? 0 : -height, screen.width, height);
    case UIInterfaceOrientationLandscapeRight:
      return CGRectMake(up ? 0 : -height, 0, height, screen.height);
    case UIInterfaceOrientationLandscapeLeft:
      return CGRectMake(up ? screen.width - height : screen.width, 0, height, screen.height);
    case UIInterfaceOrientationPortrait:
    default:
      return CGRectMake(0, up ? screen.height - height : screen.height, screen.width, height);
  }
}

std::vector<Key> keys(UIKeyboardType type, CGSize size, bool tablet) {
  std::vector<Key> result;
  if (!(size.width > 0) || !(size.height > 0)) return result;
  const auto add = [&](Key::Kind kind, std::string label, CGFloat x, CGFloat y, CGFloat w,
                       CGFloat h) {
    result.push_back({kind, std::move(label), CGRectMake(x, y, w, h)});
  };
  if (tablet) {
    // Two rows of eleven: digits and delete, then punctuation; a wide space bar under them.
    static const char* const kRows[2][11] = {
        {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", ""},
        {"-", "/", ":", ";", "(", ")", "$", "&", "@", ".", ","}};
    const CGFloat gap = 12;
    const CGFloat w = (size.width - gap * 12) / 11;
    const CGFloat h = (size.height - gap * 5) / 4;
    for (int row = 0; row < 2; ++row) {
      for (int column = 0; column < 11; ++column) {
        const bool del = row == 0 && column == 10;
        add(del ? Key::Kind::Delete : Key::Kind::Character, kRows[row][column],
            gap + column * (w + gap), gap + row * (h + gap), w, h);
      }
    }
    add(Key::Kind::Character, "!", gap, gap + 2 * (h + gap), w, h);
    add(Key::Kind::Character, "?", gap + (w + gap), gap + 2 * (h + gap), w, h);
    add(Key::Kind::Character, " ", gap + 3 * (w + gap), gap + 3 * (h + gap), 5 * w + 4 * gap, h);
    return result;
  }
  // A phone's pad: three columns of four rows, the keys touching with a hairline between.
  static const char* const kPad[4][3] = {
      {"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {".", "0", ""}};
  const CGFloat w = size.width / 3;
  const CGFloat h = size.height / 4;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 3; ++column) {
      Key::Kind kind = Key::Kind::Character;
      std::string label = kPad[row][column];
      if (row == 3 && column == 2) kind = Key::Kind::Delete;
      if (row == 3 && column == 0 && type != UIKeyboardTypeDecimalPad) {
        kind = Key::Kind::Blank;
        label.clear();
      }
      add(kind, label, std::floor(column * w), std::floor(row * h),
          std::floor((column + 1) * w) - std::floor(column * w),
          std::floor((row + 1) * h) - std::floor(row * h));
    }
  }
  return result;
}

}  // namespace keyboard

const keyboard::Key* KeypadView::keyAt(const std::vector<keyboard::Key>& keys, CGPoint point) {
  const keyboard::Key* best = nullptr;
  CGFloat bestDistance = kKeyReach;
  for (const auto& key : keys) {
    if (key.kind == keyboard::Key::Kind::Blank) continue;
    const CGRect& r = key.frame;
    const CGFloat dx =
        std::max({r.origin.x - point.x, CGFloat{0}, point.x - (r.origin.x + r.size.width)});
    const CGFloat dy =
        std::max({r.origin.y - point.y, CGFloat{0}, point.y - (r.origin.y + r.size.height)});
    const auto d = static_cast<CGFloat>(std::hypot(dx, dy));
    if (d < bestDistance) {
      best = &key;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

std::optional<keyboard::Key> KeypadView::keyUnder(CGPoint point) const {
  // Off the keys' area is off every key, however near one the point lies.
  if (!CGRectContainsPoint(bounds(), point)) return std::nullopt;
  const auto keys = keyboard::keys(type_, bounds().size, tablet_);
  if (const auto* key = keyAt(keys, point)) return *key;
  return std::nullopt;
}

void KeypadView::touchesBegan(const UITouchSet& touches, UIEvent&) {
  setPressedKey(keyUnder(touches.front()->locationInView(this)));
  tracking_ = pressed_.has_value();
}

void KeypadView::touchesMoved(const UITouchSet& touches, UIEvent&) {
  if (tracking_) setPressedKey(keyUnder(touches.front()->locationInView(this)));
}

void KeypadView::touchesEnded(const UITouchSet& touches, UIEvent&) {
  const bool tracking = tracking_;
  tracking_ = false;
  setPressedKey(std::nullopt);
  if (!tracking) return;
  const auto key = keyUnder(touches.front()->locationInView(this));
  if (key && action_) action_(*key);
}

void KeypadView::touchesCancelled(const UITouchSet&, UIEvent&) {
  tracking_ = false;
  setPressedKey(std::nullopt);
}

namespace {

CGSize portraitScreen() {
  const UIApplication& application = UIApplication::sharedApplication();
  return {application.portraitScreenWidth(), application.portraitScreenHeight()};
}

// An accessory's height as the keyboard carries it: a broken one counts as none.
CGFloat carriedHeight(const UIView& view) {
  const CGFloat height = view.frame().size.height;
  return std::isfinite(height) && height > 0 ? height : 0;
}

}  // namespace

Keyboard::Keyboard(std::shared_ptr<UIView> window)
    : window_(std::move(window)),
      view_(construct<KeyboardView>()),
      keys_(construct<KeypadView>()),
      generation_(std::make_shared<unsigned long>(0)) {
  view_->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.16f, 0.17f, 0.2f, 1));
  keys_->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.6f, 0.62f, 0.66f, 1));
  view_->addSubview(keys_);
  UITextField::setResponderObserver(
      [this](UITextField* became, UITextField* resigned) { responderChanged(became, resigned); });
}

Keyboard::~Keyboard() {
  UITextField::setResponderObserver(nullptr);
  ++*generation_;
  dropAccessory();
  view_->removeFromSuperview();
}

std::optional<CGRect> Keyboard::frame() const {
  if (!isOnScreen()) return std::nullopt;
  return view_->frame();
}

std::shared_ptr<UIView> Keyboard::accessory() const {
  auto view = accessory_.lock();
  if (!view || view->superview() != view_) return nullptr;
  return view;
}

void Keyboard::responderChanged(UITextField* became, UITextField* resigned) {
  (void)resigned;
  if (became) {
    if (visible_) {
      // From one field to another: the keyboard stays up and only its load changes.
      type_ = became->keyboardType();
      layOut(*became);
      view_->setFrame(windowFrame(true));
    } else {
      show(*became);
    }
  } else if (visible_) {
    hide();
  }
}

void Keyboard::dropAccessory() {
  if (const auto view = accessory()) view->removeFromSuperview();
  accessory_.reset();
}

CGFloat Keyboard::layOut(UITextField& field) {
  const CGFloat width = window_->frame().size.width;
  const auto& accessory = field.inputAccessoryView();
  if (accessory_.lock() != accessory) dropAccessory();
  CGFloat accessoryHeight = 0;
  if (accessory) {
    accessoryHeight = carriedHeight(*accessory);
    if (accessory->superview() != view_) view_->addSubview(accessory);
    accessory->setFrame(CGRectMake(0, 0, width, accessoryHeight));
    accessory_ = accessory;
  }
  const CGFloat keys =
      keyboard::keysHeight(isTablet(), UIApplication::sharedApplication().isLandscape());
  keys_->setType(field.keyboardType(), isTablet());
  keys_->setFrame(CGRectMake(0, accessoryHeight, width, keys));
  height_ = accessoryHeight + keys;
  return height_;
}

CGRect Keyboard::windowFrame(bool up) const {
  const CGSize screen = window_->frame().size;
  return CGRectMake(0, up ? screen.height - height_ : screen.height, screen.width, height_);
}

void Keyboard::post(const char* name, CGRect portraitBegin) {
  auto info = std::make_shared<NSMutableDictionary>();
  info->setObjectForKey(NSValue::valueWithCGRect(portraitBegin), UIKeyboardFrameBeginUserInfoKey);
  info->setObjectForKey(NSNumber::numberWithDouble(keyboard::kAnimationDuration.count()),
                        UIKeyboardAnimationDurationUserInfoKey);
  NSNotificationCenter::defaultCenter().postNotificationName(name, nullptr, info);
}

void Keyboard::show(UITextField& field) {
  ++*generation_;
  visible_ = true;
  type_ = field.keyboardType();
  layOut(field);
  view_->setFrame(windowFrame(false));
  window_->addSubview(view_);  // in front of the list and anything lying on it
  const UIInterfaceOrientation orientation =
      UIApplication::sharedApplication().statusBarOrientation();
  shownPortraitFrame_ = keyboard::portraitFrame(portraitScreen(), orientation, height_, true);
  post(UIKeyboardWillShowNotification,
       keyboard::portraitFrame(portraitScreen(), orientation, height_, false));
  UIView::animateWithDurationAnimations(keyboard::kAnimationDuration,
                                        [this] { view_->setFrame(windowFrame(true)); });
}

void Keyboard::hide() {
  const unsigned long generation = ++*generation_;
  visible_ = false;
  post(UIKeyboardWillHideNotification, shownPortraitFrame_);
  const std::weak_ptr<unsigned long> current = generation_;
  const std::weak_ptr<KeyboardView> view = view_;
  const std::weak_ptr<UIView> accessory = accessory_;
  UIView::animateWithDurationAnimations(
      keyboard::kAnimationDuration, [this] { view_->setFrame(windowFrame(false)); },
      [current, generation, view, accessory](bool) {
        // The keyboard may have come back, or the host gone, in the meantime.
        const auto now = current.lock();
        const auto keyboardView = view.lock();
        if (!now || *now != generation || !keyboardView) return;
        if (const auto carried = accessory.lock();
            carried && carried->superview() == keyboardView) {
          carried->removeFromSuperview();
        }
        keyboardView->removeFromSuperview();
      });
}

void Keyboard::orientationChanged() {
  if (visible_) {
    if (const auto field = UITextField::firstResponder()) {
      // Observers lay out again: they see the old keyboard go and the new one come.
      post(UIKeyboardWillHideNotification, shownPortraitFrame_);
      show(*field);
    } else {
      hide();
    }
    return;
  }
  if (!isOnScreen()) return;
  // Going down: it finishes below the new screen's edge at the new width.
  const CGFloat width = window_->frame().size.width;
  if (const auto carried = accessory()) {
    carried->setFrame(CGRectMake(0, 0, width, carriedHeight(*carried)));
  }
  keys_->setFrame(CGRectMake(0, keys_->frame().origin.y, width, keys_->frame().size.height));
  view_->setFrame(windowFrame(false));
}
