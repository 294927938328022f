// The host's keyboard on plain text fields: what it posts, where it stands, what it carries.
#include "host/keyboard.h"

#include <gtest/gtest.h>

#include "platform/foundation/notification_center.h"
#include "platform/render/surface.h"
#include "platform/uikit/ns_value.h"
#include "platform/uikit/touch_delivery.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_keyboard.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_toolbar.h"
#include "tests/support/test_environment.h"

namespace {

using KeyboardFrames = tessary::test::PlatformTest;
using KeypadDrawing = tessary::test::PlatformTest;

struct Posted {
  std::string name;
  CGRect begin;
  double duration;
};

// Records the keyboard notifications.
struct Listener : NSObject {
  std::vector<Posted> posted;
  void heard(const NSNotification& n) {
    const auto& info = n.userInfo();
    const auto frame = kindOf<NSValue>(info->objectForKey(UIKeyboardFrameBeginUserInfoKey));
    const id duration = info->objectForKey(UIKeyboardAnimationDurationUserInfoKey);
    posted.push_back({n.name(), frame ? frame->CGRectValue() : CGRectZero,
                      duration ? duration->doubleValue() : -1});
    EXPECT_FALSE(n.object());
  }
};

struct Actions : NSObject {
  int next = 0;
  void onNext() { ++next; }
};

class KeyboardTest : public tessary::test::PlatformTest {
 protected:
  KeyboardTest() {
    setScreen(UIDevice::Kind::Phone, UIInterfaceOrientationPortrait);
    listener_ = std::make_shared<Listener>();
    auto& center = NSNotificationCenter::defaultCenter();
    center.addObserver(listener_, &Listener::heard, UIKeyboardWillShowNotification);
    center.addObserver(listener_, &Listener::heard, UIKeyboardWillHideNotification);
    left_ = addField(CGRectMake(10, 40, 100, 30));
    right_ = addField(CGRectMake(200, 40, 100, 30));
  }
  ~KeyboardTest() override {
    if (const auto field = UITextField::firstResponder()) field->resignFirstResponder();
    NSNotificationCenter::defaultCenter().removeObserver(listener_.get());
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
    UIApplication::sharedApplication().setStatusBarOrientation(UIInterfaceOrientationPortrait);
  }
  void setScreen(UIDevice::Kind kind, UIInterfaceOrientation orientation) {
    UIDevice::currentDevice().setKind(kind);
    const bool tablet = kind == UIDevice::Kind::Tablet;
    CGSize size = tablet ? CGSize{768, 1024} : CGSize{320, 480};
    auto& application = UIApplication::sharedApplication();
    application.setPortraitScreenSize(size.width, size.height);
    application.setStatusBarOrientation(orientation);
    if (application.isLandscape()) std::swap(size.width, size.height);
    window_->setFrame(CGRectMake(0, 0, size.width, size.height));
  }
  std::shared_ptr<UITextField> addField(CGRect frame) {
    auto field = UITextField::initWithFrame(frame);
    field->setKeyboardType(UIKeyboardTypeDecimalPad);
    window_->addSubview(field);
    return field;
  }
  std::shared_ptr<UIToolbar> makeBar(CGFloat height) {
    auto bar = UIToolbar::init();
    bar->setFrame(CGRectMake(0, 0, 100, height));
    return bar;
  }

  std::shared_ptr<UIView> window_ = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  std::shared_ptr<Listener> listener_;
  std::shared_ptr<UITextField> left_, right_;
};

TEST_F(KeyboardFrames, PortraitCoordinatesForEveryOrientation) {
  const CGSize phone{320, 480};
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationPortrait, 260, false),
            CGRectMake(0, 480, 320, 260));
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationPortrait, 260, true),
            CGRectMake(0, 220, 320, 260));
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationPortraitUpsideDown, 260, false),
            CGRectMake(0, -260, 320, 260));
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationLandscapeRight, 194, false),
            CGRectMake(-194, 0, 194, 480));
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationLandscapeLeft, 194, false),
            CGRectMake(320, 0, 194, 480));
  EXPECT_EQ(keyboard::portraitFrame(phone, UIInterfaceOrientationLandscapeLeft, 194, true),
            CGRectMake(126, 0, 194, 480));
  EXPECT_EQ(keyboard::keysHeight(false, false), 216);
  EXPECT_EQ(keyboard::keysHeight(false, true), 162);
  EXPECT_EQ(keyboard::keysHeight(true, false), 264);
  EXPECT_EQ(keyboard::keysHeight(true, true), 352);
}

// The keypad drawn with and without a held key, at two pixels a point: the held key's
// brightness inside its rectangle, and how many pixels differ outside it.
struct PressedLook {
  double brightnessChange = 0;  // the mean channel change inside the key, -255 to 255
  long changedInside = 0, changedOutside = 0;
};

PressedLook pressedLook(UIKeyboardType type, CGSize size, bool tablet, const keyboard::Key& key) {
  auto keypad = construct<KeypadView>();
  keypad->setType(type, tablet);
  const CGRect bounds = CGRectMake(0, 0, size.width, size.height);
  const int width = static_cast<int>(size.width * 2), height = static_cast<int>(size.height * 2);
  render::Surface plain(width, height), held(width, height);
  plain.paint(2, [&](Painter& painter) { keypad->drawRect(painter, bounds); });
  keypad->setPressedKey(key);
  held.paint(2, [&](Painter& painter) { keypad->drawRect(painter, bounds); });
  PressedLook look;
  long inside = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const render::RGBA a = plain.pixel(x, y), b = held.pixel(x, y);
      const bool within = CGRectContainsPoint(key.frame, {(x + 0.5f) / 2, (y + 0.5f) / 2});
      if (within) {
        ++inside;
        look.brightnessChange += (b.r + b.g + b.b - a.r - a.g - a.b) / 3.0;
      }
      if (!(a == b)) ++(within ? look.changedInside : look.changedOutside);
    }
  }
  if (inside > 0) look.brightnessChange /= static_cast<double>(inside);
  return look;
}

TEST_F(KeypadDrawing, AHeldKeyIsDrawnPressedInsideItsRectangleOnly) {
  const CGSize phone{320, 216};
  const auto pad = keyboard::keys(UIKeyboardTypeDecimalPad, phone, false);
  ASSERT_EQ(pad.size(), 12u);
  // "5" in the middle of the pad darkens; delete, a grey key, lightens.
  const PressedLook five = pressedLook(UIKeyboardTypeDecimalPad, phone, false, pad[4]);
  EXPECT_EQ(five.changedOutside, 0);
  EXPECT_GT(five.changedInside, 106 * 54 * 4 / 2);
  EXPECT_LT(five.brightnessChange, -20);
  const PressedLook del = pressedLook(UIKeyboardTypeDecimalPad, phone, false, pad[11]);
  ASSERT_EQ(del.changedOutside, 0);
  EXPECT_GT(del.changedInside, 0);
  EXPECT_GT(del.brightnessChange, 20);

  // The tablet's keys stand apart; its space bar is the last key.
  const CGSize tablet{768, 264};
  const auto keys = keyboard::keys(UIKeyboardTypeDecimalPad, tablet, true);
  const PressedLook space = pressedLook(UIKeyboardTypeDecimalPad, tablet, true, keys.back());
  EXPECT_EQ(space.changedOutside, 0);
  EXPECT_LT(space.brightnessChange, -20);

  // A key of another layout (the decimal pad's point, blank on the number pad; a key of
  // another size) is held on none of these keys.
  EXPECT_EQ(pressedLook(UIKeyboardTypeNumberPad, phone, false, pad[9]).changedInside, 0);
  keyboard::Key stale = pad[4];
  stale.frame.size.width += 1;
  const PressedLook none = pressedLook(UIKeyboardTypeDecimalPad, phone, false, stale);
  EXPECT_EQ(none.changedInside + none.changedOutside, 0);
}

TEST_F(KeyboardTest, RisesWithTheAccessoryStaysBetweenFieldsAndGoes) {
  Keyboard keyboard(window_);
  const auto bar = makeBar(44);
  left_->setInputAccessoryView(bar);
  right_->setInputAccessoryView(bar);
  right_->setKeyboardType(UIKeyboardTypeNumberPad);

  ASSERT_TRUE(left_->becomeFirstResponder());
  ASSERT_EQ(listener_->posted.size(), 1u);
  EXPECT_EQ(listener_->posted[0].name, UIKeyboardWillShowNotification);
  EXPECT_EQ(listener_->posted[0].begin, CGRectMake(0, 480, 320, 260));
  EXPECT_EQ(listener_->posted[0].duration, 0.25);
  EXPECT_TRUE(keyboard.isVisible());
  EXPECT_EQ(keyboard.type(), UIKeyboardTypeDecimalPad);
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 220, 320, 260));
  // The bar rides on the keys at the screen's width, keeping its height.
  EXPECT_EQ(keyboard.accessory(), bar);
  EXPECT_EQ(bar->superview(), keyboard.view());
  EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 320, 44));
  EXPECT_EQ(keyboard.view()->superview(), window_);
  // It rises from just below the screen over 0.25 s.
  const auto animations = UIView::runningAnimations();
  ASSERT_EQ(animations.size(), 1u);
  EXPECT_EQ(animations[0].fromFrame, CGRectMake(0, 480, 320, 260));
  EXPECT_EQ(animations[0].duration, keyboard::kAnimationDuration);

  // Moving to the other field posts nothing and keeps the keyboard, now of that field's type.
  ASSERT_TRUE(right_->becomeFirstResponder());
  EXPECT_EQ(listener_->posted.size(), 1u);
  EXPECT_TRUE(keyboard.isVisible());
  EXPECT_EQ(keyboard.type(), UIKeyboardTypeNumberPad);
  EXPECT_EQ(keyboard.accessory(), bar);

  ASSERT_TRUE(right_->resignFirstResponder());
  ASSERT_EQ(listener_->posted.size(), 2u);
  EXPECT_EQ(listener_->posted[1].name, UIKeyboardWillHideNotification);
  EXPECT_EQ(listener_->posted[1].duration, 0.25);
  EXPECT_FALSE(keyboard.isVisible());
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 480, 320, 260));  // going down
  advance(0.24);
  EXPECT_TRUE(keyboard.isOnScreen());
  advance(0.02);
  EXPECT_FALSE(keyboard.isOnScreen());
  EXPECT_FALSE(keyboard.frame());
  EXPECT_FALSE(bar->superview());  // the host keeps nothing of the field's
  EXPECT_FALSE(keyboard.accessory());
  // A resign with no first responder, or a second one, posts nothing.
  EXPECT_TRUE(left_->resignFirstResponder());
  EXPECT_EQ(listener_->posted.size(), 2u);
}

TEST_F(KeyboardTest, ComingBackWhileGoingDownKeepsTheKeyboard) {
  Keyboard keyboard(window_);
  const auto bar = makeBar(44);
  left_->setInputAccessoryView(bar);
  ASSERT_TRUE(left_->becomeFirstResponder());
  ASSERT_TRUE(left_->resignFirstResponder());
  advance(0.1);
  // A field without an accessory: the old bar leaves, the keyboard is the keys alone.
  ASSERT_TRUE(right_->becomeFirstResponder());
  ASSERT_EQ(listener_->posted.size(), 3u);
  EXPECT_EQ(listener_->posted[2].name, UIKeyboardWillShowNotification);
  EXPECT_EQ(listener_->posted[2].begin, CGRectMake(0, 480, 320, 216));
  advance(0.5);  // the hide's end has passed and changed nothing
  EXPECT_TRUE(keyboard.isOnScreen());
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 264, 320, 216));
  EXPECT_FALSE(keyboard.accessory());
  EXPECT_FALSE(bar->superview());
}

TEST_F(KeyboardTest, LandscapeTabletAndRotation) {
  setScreen(UIDevice::Kind::Phone, UIInterfaceOrientationLandscapeRight);
  Keyboard keyboard(window_);
  const auto bar = makeBar(32);
  left_->setInputAccessoryView(bar);
  ASSERT_TRUE(left_->becomeFirstResponder());
  ASSERT_EQ(listener_->posted.size(), 1u);
  EXPECT_EQ(listener_->posted[0].begin, CGRectMake(-194, 0, 194, 480));
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 126, 480, 194));
  EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 480, 32));

  // Rotated with the keyboard up: the old keyboard goes and the new one comes, for the
  // observers' sake; the bar takes the new width and keeps its height.
  setScreen(UIDevice::Kind::Phone, UIInterfaceOrientationPortrait);
  keyboard.orientationChanged();
  ASSERT_EQ(listener_->posted.size(), 3u);
  EXPECT_EQ(listener_->posted[1].name, UIKeyboardWillHideNotification);
  EXPECT_EQ(listener_->posted[1].begin, CGRectMake(0, 0, 194, 480));
  EXPECT_EQ(listener_->posted[2].name, UIKeyboardWillShowNotification);
  EXPECT_EQ(listener_->posted[2].begin, CGRectMake(0, 480, 320, 248));
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 232, 320, 248));
  EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 320, 32));
  advance(0.3);
  EXPECT_TRUE(keyboard.isVisible());
  ASSERT_TRUE(left_->resignFirstResponder());
  advance(0.3);
  listener_->posted.clear();

  setScreen(UIDevice::Kind::Phone, UIInterfaceOrientationLandscapeLeft);
  ASSERT_TRUE(right_->becomeFirstResponder());  // no accessory
  EXPECT_EQ(listener_->posted.back().begin, CGRectMake(320, 0, 162, 480));
  ASSERT_TRUE(right_->resignFirstResponder());
  advance(0.3);

  setScreen(UIDevice::Kind::Tablet, UIInterfaceOrientationPortrait);
  left_->setInputAccessoryView(makeBar(44));
  ASSERT_TRUE(left_->becomeFirstResponder());
  EXPECT_EQ(listener_->posted.back().begin, CGRectMake(0, 1024, 768, 308));
  EXPECT_EQ(keyboard.frame(), CGRectMake(0, 716, 768, 308));
}

TEST_F(KeyboardTest, TapsReachFieldsBarItemsAndSegments) {
  Keyboard keyboard(window_);
  auto actions = std::make_shared<Actions>();
  auto segments = UISegmentedControl::initWithItems({"Copy", "Paste", "Clear"});
  segments->setMomentary(true);
  auto bar = UIToolbar::init();
  bar->setItemsAnimated(
      {UIBarButtonItem::initWithTitleStyleTargetAction("Next", UIBarButtonItemStyleBordered,
                                                       actions, &Actions::onNext),
       UIBarButtonItem::flexibleSpace(), UIBarButtonItem::initWithCustomView(segments)},
      false);
  bar->sizeToFit();
  left_->setInputAccessoryView(bar);

  // A tap into a field makes it first responder and brings the keyboard.
  TouchDelivery::tap(window_, {50, 55});
  EXPECT_TRUE(left_->isFirstResponder());
  ASSERT_TRUE(keyboard.isVisible());

  const CGRect next = bar->items()[0]->frame();
  const CGPoint nextPoint{next.origin.x + 5, 220 + next.origin.y + 5};
  TouchDelivery::tap(window_, nextPoint);
  EXPECT_EQ(actions->next, 1);
  // The flexible space between the items does nothing.
  const CGRect space = bar->items()[1]->frame();
  TouchDelivery::tap(window_, {space.origin.x + space.size.width / 2, 222});
  EXPECT_EQ(actions->next, 1);

  std::vector<NSInteger> touched;
  struct Watcher : NSObject {
    std::vector<NSInteger>* seen;
    std::weak_ptr<UISegmentedControl> control;
    void changed() { seen->push_back(control.lock()->selectedSegmentIndex()); }
  };
  auto watcher = std::make_shared<Watcher>();
  watcher->seen = &touched;
  watcher->control = segments;
  segments->addTarget(watcher, &Watcher::changed, UIControlEventValueChanged);
  const CGRect control = segments->frame();
  const CGRect paste = segments->segmentFrame(1);
  const CGPoint pastePoint{control.origin.x + paste.origin.x + paste.size.width / 2,
                           220 + control.origin.y + paste.size.height / 2};
  TouchDelivery::tap(window_, pastePoint);
  TouchDelivery::tap(window_, pastePoint);
  EXPECT_EQ(touched, (std::vector<NSInteger>{1, 1}));
  EXPECT_EQ(segments->selectedSegmentIndex(), UISegmentedControlNoSegment);

  // A disabled field still takes no focus.
  right_->setEnabled(false);
  TouchDelivery::tap(window_, {250, 55});
  EXPECT_TRUE(left_->isFirstResponder());
}

}  // namespace
