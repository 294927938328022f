// Touches delivered to views: control tracking, recognizers against controls, and a scroll
// view that drags and pages itself.
#include "platform/uikit/touch_delivery.h"

#include <gtest/gtest.h>

#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_scroll_view.h"
#include "tests/support/test_environment.h"

namespace {

// Each control event a target hears, with the control's highlight as it was sent.
struct Heard : NSObject {
  std::vector<std::pair<UIControlEvents, bool>> seen;
  int taps = 0;
  template <UIControlEvents E>
  void on(UIControl& sender) {
    seen.emplace_back(E, sender.isHighlighted());
  }
  void tapped() { ++taps; }
  void watch(UIControl& control) {
    const auto self = std::static_pointer_cast<Heard>(shared_from_this());
    control.addTarget(self, &Heard::on<UIControlEventTouchDown>, UIControlEventTouchDown);
    control.addTarget(self, &Heard::on<UIControlEventTouchDragInside>,
                      UIControlEventTouchDragInside);
    control.addTarget(self, &Heard::on<UIControlEventTouchDragOutside>,
                      UIControlEventTouchDragOutside);
    control.addTarget(self, &Heard::on<UIControlEventTouchDragEnter>, UIControlEventTouchDragEnter);
    control.addTarget(self, &Heard::on<UIControlEventTouchDragExit>, UIControlEventTouchDragExit);
    control.addTarget(self, &Heard::on<UIControlEventTouchUpInside>, UIControlEventTouchUpInside);
    control.addTarget(self, &Heard::on<UIControlEventTouchUpOutside>, UIControlEventTouchUpOutside);
    control.addTarget(self, &Heard::on<UIControlEventTouchCancel>, UIControlEventTouchCancel);
  }
  std::vector<UIControlEvents> events() const {
    std::vector<UIControlEvents> out;
    for (const auto& [event, highlighted] : seen) out.push_back(event);
    return out;
  }
};

using Seen = std::vector<std::pair<UIControlEvents, bool>>;
using Events = std::vector<UIControlEvents>;

class TouchDeliveryTest : public tessary::test::PlatformTest {
 protected:
  TouchDeliveryTest()
      : screen_(UIView::initWithFrame(CGRectMake(0, 0, 320, 480))),
        heard_(std::make_shared<Heard>()) {}
  std::shared_ptr<UIButton> addButton(const std::shared_ptr<UIView>& parent, CGRect frame) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    heard_->watch(*button);
    parent->addSubview(button);
    return button;
  }
  std::shared_ptr<UIView> screen_;
  std::shared_ptr<Heard> heard_;
  TouchDelivery finger_;
};

TEST_F(TouchDeliveryTest, AControlTracksItsTouchWithinItsTolerance) {
  // 60 wide at x 100: with 70 points of tolerance, inside reaches x 230.
  const auto button = addButton(screen_, CGRectMake(100, 100, 60, 30));
  ASSERT_TRUE(finger_.begin(screen_, {130, 115}));
  finger_.move({225, 115});  // outside the bounds, inside the tolerance
  finger_.move({240, 115});
  finger_.move({245, 115});
  finger_.move({225, 115});
  finger_.end({225, 115});
  EXPECT_EQ(heard_->seen, (Seen{{UIControlEventTouchDown, true},
                                {UIControlEventTouchDragInside, true},
                                {UIControlEventTouchDragOutside, false},
                                {UIControlEventTouchDragExit, false},
                                {UIControlEventTouchDragOutside, false},
                                {UIControlEventTouchDragInside, true},
                                {UIControlEventTouchDragEnter, true},
                                {UIControlEventTouchUpInside, false}}));

  // Lifted far away: up outside. Cancelled: TouchCancel and no lift at all.
  heard_->seen.clear();
  finger_.begin(screen_, {130, 115});
  finger_.end({300, 400});
  finger_.begin(screen_, {130, 115});
  finger_.cancel();
  EXPECT_EQ(heard_->seen, (Seen{{UIControlEventTouchDown, true},
                                {UIControlEventTouchUpOutside, false},
                                {UIControlEventTouchDown, true},
                                {UIControlEventTouchCancel, false}}));
  EXPECT_FALSE(button->isHighlighted());

  // Disabled, it takes the touch and sends nothing.
  heard_->seen.clear();
  button->setEnabled(false);
  TouchDelivery::tap(screen_, {130, 115});
  EXPECT_TRUE(heard_->seen.empty());
}

TEST_F(TouchDeliveryTest, ATapRecognizerCancelsTheControlsTouchUnlessTheFingerWanders) {
  const auto button = addButton(screen_, CGRectMake(0, 0, 50, 50));
  button->setTitleForState("EUR", UIControlStateNormal);
  const auto recognizer = UITapGestureRecognizer::initWithTargetAction(heard_, &Heard::tapped);
  button->addGestureRecognizer(recognizer);
  // Held, the button is highlighted; the tap cancels it before the action runs.
  finger_.begin(screen_, {25, 25});  // on the title label, which takes no touches
  EXPECT_TRUE(button->isHighlighted());
  finger_.end({28, 27});
  EXPECT_EQ(heard_->taps, 1);
  EXPECT_EQ(heard_->events(), (Events{UIControlEventTouchDown, UIControlEventTouchCancel}));

  // Gone further than the tap allows and back: no tap, and the button's own lift counts.
  heard_->seen.clear();
  finger_.begin(screen_, {10, 10});
  finger_.move({35, 10});
  finger_.end({11, 10});
  EXPECT_EQ(heard_->taps, 1);
  EXPECT_EQ(heard_->events().back(), UIControlEventTouchUpInside);

  recognizer->setEnabled(false);
  TouchDelivery::tap(screen_, {10, 10});
  EXPECT_EQ(heard_->taps, 1);
  EXPECT_EQ(heard_->events().back(), UIControlEventTouchUpInside);

  // A recognizer on a plain ancestor takes taps on the plain views under it.
  auto panel = UIView::initWithFrame(CGRectMake(100, 0, 100, 100));
  panel->addGestureRecognizer(UITapGestureRecognizer::initWithTargetAction(heard_, &Heard::tapped));
  panel->addSubview(UIView::initWithFrame(CGRectMake(0, 0, 50, 50)));
  screen_->addSubview(panel);
  TouchDelivery::tap(screen_, {110, 10});
  EXPECT_EQ(heard_->taps, 2);
}

TEST_F(TouchDeliveryTest, AControlTakesOnlyTouchesOnItself) {
  // An overlay control with a plain view, a scroll view and a label lying on it.
  auto overlay = construct<UIControl>(CGRectMake(0, 0, 320, 480));
  heard_->watch(*overlay);
  overlay->addSubview(UIView::initWithFrame(CGRectMake(0, 0, 100, 50)));
  overlay->addSubview(UIScrollView::initWithFrame(CGRectMake(0, 100, 100, 35)));
  overlay->addSubview(UILabel::initWithFrame(CGRectMake(200, 0, 50, 20)));
  screen_->addSubview(overlay);
  TouchDelivery::tap(screen_, {10, 10});
  TouchDelivery::tap(screen_, {10, 110});
  EXPECT_TRUE(heard_->seen.empty());
  // A label takes no touches: the control under it gets them.
  TouchDelivery::tap(screen_, {210, 10});
  EXPECT_EQ(heard_->events(), (Events{UIControlEventTouchDown, UIControlEventTouchUpInside}));

  // A released target is skipped.
  std::weak_ptr<Heard> weak = heard_;
  heard_.reset();
  EXPECT_TRUE(weak.expired());
  TouchDelivery::tap(screen_, {210, 10});
}

TEST_F(TouchDeliveryTest, AScrollViewDragsCancelsItsContentAndPages) {
  auto row = UIScrollView::initWithFrame(CGRectMake(10, 100, 200, 40));
  row->setContentSize({700, 40});
  row->setPagingEnabled(true);
  screen_->addSubview(row);
  const auto button = addButton(row, CGRectMake(0, 0, 60, 40));
  const auto offset = [&] { return row->contentOffset().x; };

  finger_.begin(screen_, {40, 120});
  finger_.move({35, 120});  // within the slop: the button keeps the touch
  EXPECT_EQ(offset(), 0);
  finger_.move({0, 120});
  EXPECT_EQ(offset(), 40);
  EXPECT_FALSE(button->isHighlighted());
  finger_.end({0, 120});
  EXPECT_EQ(heard_->events(), (Events{UIControlEventTouchDown, UIControlEventTouchDragInside,
                                      UIControlEventTouchCancel}));
  EXPECT_EQ(offset(), 200);  // 40 points is past kPageDrag: the next page

  // A short drag goes back to its page; a lift past the slop drags without a move before it.
  finger_.begin(screen_, {100, 120});
  finger_.end({80, 120});
  EXPECT_EQ(offset(), 200);

  // Past the ends the content follows at half pace, and goes back at the lift.
  finger_.begin(screen_, {200, 120});
  finger_.move({-300, 120});
  EXPECT_EQ(offset(), 600);
  finger_.end({-300, 120});
  EXPECT_EQ(offset(), 500);
  row->setPagingEnabled(false);
  finger_.begin(screen_, {20, 120});
  finger_.move({60, 120});
  EXPECT_EQ(offset(), 460);  // within the content it stays where the finger left it
  finger_.end({60, 120});
  EXPECT_EQ(offset(), 460);
  finger_.begin(screen_, {20, 120});
  finger_.move({620, 120});
  EXPECT_EQ(offset(), -70);
  finger_.cancel();
  EXPECT_EQ(offset(), 0);

  // Across the row's axis nothing scrolls, and a wobble is still a press of the button.
  heard_->seen.clear();
  finger_.begin(screen_, {40, 105});
  finger_.end({40, 139});
  EXPECT_EQ(offset(), 0);
  EXPECT_EQ(heard_->events().back(), UIControlEventTouchUpInside);
}

}  // namespace
