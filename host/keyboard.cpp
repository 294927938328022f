#include "host/keyboard.h"

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

}  // namespace keyboard

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
      view_(std::make_shared<KeyboardView>()),
      keys_(std::make_shared<UIView>()),
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
  info->setObjectForKey(NSNumber::numberWithDouble(keyboard::kAnimationDuration),
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
