// A finger followed from touch down to touch up: control events, taps, drags that scroll and
// page, and the on-screen keyboard's keys.
#include "host/touch_tracking.h"

#include <gtest/gtest.h>

#include "host/draw_screen.h"
#include "host/simulator.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_scroll_view.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/support/test_environment.h"

namespace {

struct Events : NSObject {
  std::vector<UIControlEvents> seen;
  int taps = 0;
  void record(UIControlEvents event) { seen.push_back(event); }
  void down() { record(UIControlEventTouchDown); }
  void dragInside() { record(UIControlEventTouchDragInside); }
  void dragOutside() { record(UIControlEventTouchDragOutside); }
  void enter() { record(UIControlEventTouchDragEnter); }
  void exit() { record(UIControlEventTouchDragExit); }
  void upInside() { record(UIControlEventTouchUpInside); }
  void upOutside() { record(UIControlEventTouchUpOutside); }
  void cancel() { record(UIControlEventTouchCancel); }
  void tapped() { ++taps; }
};

class TouchTrackingTest : public tessary::test::PlatformTest {
 protected:
  TouchTrackingTest() {
    Simulator::Options options;
    options.root = root_.path();
    sim_ = std::make_unique<Simulator>(options);
    tracker_ = std::make_unique<TouchTracker>(*sim_);
    events_ = std::make_shared<Events>();
  }
  ~TouchTrackingTest() override {
    tracker_.reset();
    sim_.reset();
  }

  // A button on the sliding view, which starts 20 points down, under the status bar.
  std::shared_ptr<UIButton> addButton(CGRect frame, const std::shared_ptr<UIView>& parent) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    const auto e = events_;
    button->addTarget(e, &Events::down, UIControlEventTouchDown);
    button->addTarget(e, &Events::dragInside, UIControlEventTouchDragInside);
    button->addTarget(e, &Events::dragOutside, UIControlEventTouchDragOutside);
    button->addTarget(e, &Events::enter, UIControlEventTouchDragEnter);
    button->addTarget(e, &Events::exit, UIControlEventTouchDragExit);
    button->addTarget(e, &Events::upInside, UIControlEventTouchUpInside);
    button->addTarget(e, &Events::upOutside, UIControlEventTouchUpOutside);
    button->addTarget(e, &Events::cancel, UIControlEventTouchCancel);
    parent->addSubview(button);
    return button;
  }

  // A decimal field touched into editing, with its keyboard up: the phone's pad fills the
  // bottom 216 points in four rows of three keys.
  static constexpr CGFloat kKeysTop = 480 - 216;
  std::shared_ptr<UITextField> raiseDecimalPad() {
    auto field = UITextField::initWithFrame(CGRectMake(10, 100, 200, 30));
    field->setKeyboardType(UIKeyboardTypeDecimalPad);
    sim_->list().slidingView()->addSubview(field);
    EXPECT_EQ(tracker_->down({50, 135}), "");
    EXPECT_EQ(tracker_->up({50, 135}), "");
    EXPECT_TRUE(field->isFirstResponder());
    NSRunLoop::mainRunLoop().advanceBy(Seconds(0.25));
    return field;
  }
  static CGPoint keyPoint(int r, int c) {
    const CGFloat row = 216 / 4.0, column = 320 / 3.0;
    return {column * c + column / 2, kKeysTop + row * r + row / 2};
  }

  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<TouchTracker> tracker_;
  std::shared_ptr<Events> events_;
};

using Seen = std::vector<UIControlEvents>;

TEST_F(TouchTrackingTest, ControlsFollowTheFingerInAndOut) {
  const auto button = addButton(CGRectMake(100, 100, 60, 30), sim_->list().slidingView());
  ASSERT_EQ(tracker_->down({130, 135}), "");
  EXPECT_TRUE(button->isHighlighted());
  EXPECT_EQ(tracker_->down({130, 135}), "touch down: a finger is already down");
  ASSERT_EQ(tracker_->move({200, 135}), "");  // off the button: the highlight goes
  EXPECT_FALSE(button->isHighlighted());
  ASSERT_EQ(tracker_->move({210, 135}), "");
  ASSERT_EQ(tracker_->move({131, 136}), "");  // back on
  EXPECT_TRUE(button->isHighlighted());
  ASSERT_EQ(tracker_->up({131, 136}), "");
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_EQ(events_->seen, (Seen{UIControlEventTouchDown, UIControlEventTouchDragOutside,
                                 UIControlEventTouchDragExit, UIControlEventTouchDragOutside,
                                 UIControlEventTouchDragInside, UIControlEventTouchDragEnter,
                                 UIControlEventTouchUpInside}));

  // Lifted outside: no action.
  events_->seen.clear();
  ASSERT_EQ(tracker_->down({130, 135}), "");
  ASSERT_EQ(tracker_->up({10, 300}), "");
  EXPECT_EQ(events_->seen.back(), UIControlEventTouchUpOutside);
  EXPECT_EQ(std::count(events_->seen.begin(), events_->seen.end(), UIControlEventTouchUpInside), 0);
  EXPECT_EQ(tracker_->up({10, 300}), "touch up: no finger is down");
  EXPECT_EQ(tracker_->move({10, 300}), "touch move: no finger is down");
}

TEST_F(TouchTrackingTest, TapRecognizersWinAndFailWhenTheFingerWanders) {
  const auto button = addButton(CGRectMake(100, 100, 60, 30), sim_->list().slidingView());
  const auto e = events_;
  button->addGestureRecognizer(UITapGestureRecognizer::initWithTargetAction(e, &Events::tapped));
  ASSERT_EQ(tracker_->down({130, 135}), "");
  ASSERT_EQ(tracker_->up({134, 137}), "");  // a few points of wobble is still a tap
  EXPECT_EQ(events_->taps, 1);
  EXPECT_TRUE(events_->seen.empty());  // the button's own events are not sent

  ASSERT_EQ(tracker_->down({130, 135}), "");
  ASSERT_EQ(tracker_->move({155, 135}), "");
  ASSERT_EQ(tracker_->up({131, 135}), "");  // it came back, but it had gone too far
  EXPECT_EQ(events_->taps, 1);
}

TEST_F(TouchTrackingTest, DragsScrollTheContentAndPagingSettlesOnAWholePage) {
  auto row = UIScrollView::initWithFrame(CGRectMake(10, 100, 200, 40));
  row->setContentSize({700, 40});
  row->setPagingEnabled(true);
  sim_->list().slidingView()->addSubview(row);
  const auto button = addButton(CGRectMake(0, 0, 60, 40), row);

  // A drag that starts on a button in the row scrolls and cancels the button's touch.
  ASSERT_EQ(tracker_->down({40, 140}), "");
  ASSERT_EQ(tracker_->move({35, 140}), "");  // within the slop: nothing moves yet
  EXPECT_EQ(row->contentOffset().x, 0);
  ASSERT_EQ(tracker_->move({0, 140}), "");
  EXPECT_EQ(row->contentOffset().x, 40);
  EXPECT_FALSE(button->isHighlighted());
  ASSERT_EQ(tracker_->up({0, 141}), "");
  EXPECT_EQ(events_->seen, (Seen{UIControlEventTouchDown, UIControlEventTouchDragInside,
                                 UIControlEventTouchCancel}));
  // 40 points is past kPageDrag: the next page.
  EXPECT_EQ(row->contentOffset().x, 200);

  // A short drag goes back to the page it started on.
  ASSERT_EQ(tracker_->down({100, 140}), "");
  ASSERT_EQ(tracker_->up({80, 140}), "");
  EXPECT_EQ(row->contentOffset().x, 200);

  // The content never leaves its size; the last page ends at the content's edge.
  ASSERT_EQ(tracker_->down({200, 140}), "");
  ASSERT_EQ(tracker_->move({-300, 140}), "");
  EXPECT_EQ(row->contentOffset().x, 500);
  ASSERT_EQ(tracker_->up({-300, 140}), "");
  EXPECT_EQ(row->contentOffset().x, 500);
  ASSERT_EQ(tracker_->down({20, 140}), "");
  ASSERT_EQ(tracker_->up({900, 140}), "");
  EXPECT_EQ(row->contentOffset().x, 0);

  // Across the row's axis nothing scrolls, and a vertical wobble is still a button press.
  events_->seen.clear();
  ASSERT_EQ(tracker_->down({40, 125}), "");
  ASSERT_EQ(tracker_->up({40, 139}), "");
  EXPECT_EQ(row->contentOffset().x, 0);
  EXPECT_EQ(events_->seen.back(), UIControlEventTouchUpInside);
}

TEST_F(TouchTrackingTest, KeysTypeWhereTheyAreSeenAndWhereTheFingerLifts) {
  const auto field = raiseDecimalPad();
  for (const auto& [r, c] : std::vector<std::pair<int, int>>{{0, 0}, {3, 1}, {3, 0}, {1, 1}}) {
    ASSERT_EQ(tracker_->down(keyPoint(r, c)), "");
    ASSERT_EQ(tracker_->up(keyPoint(r, c)), "");
  }
  EXPECT_EQ(field->text(), "10.5");
  // Delete; then a finger slid from 3 to 6 types the 6, and one lifted off the keys nothing.
  ASSERT_EQ(tracker_->down(keyPoint(3, 2)), "");
  ASSERT_EQ(tracker_->up(keyPoint(3, 2)), "");
  ASSERT_EQ(tracker_->down(keyPoint(0, 2)), "");
  ASSERT_EQ(tracker_->up(keyPoint(1, 2)), "");
  ASSERT_EQ(tracker_->down(keyPoint(0, 1)), "");
  ASSERT_EQ(tracker_->up({160, kKeysTop - 3}), "");  // near the 2, but above the keys
  EXPECT_EQ(field->text(), "10.6");
}

TEST_F(TouchTrackingTest, TheHeldKeyFollowsTheFingerAndLetsGoAtTheLift) {
  const auto field = raiseDecimalPad();
  const auto held = [&]() -> std::string {
    const auto& key = sim_->keyboard().pressedKey();
    EXPECT_EQ(key, tracker_->pressedKey());
    if (!key) return "none";
    return key->kind == keyboard::Key::Kind::Delete ? "delete" : key->label;
  };
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->down(keyPoint(0, 0)), "");
  EXPECT_EQ(held(), "1");
  ASSERT_EQ(tracker_->move(keyPoint(1, 1)), "");
  EXPECT_EQ(held(), "5");
  ASSERT_EQ(tracker_->move({160, kKeysTop - 3}), "");  // off the keys: none is held
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->move(keyPoint(3, 2)), "");  // and back on
  EXPECT_EQ(held(), "delete");
  EXPECT_EQ(field->text(), "");  // nothing is typed while the finger is down
  ASSERT_EQ(tracker_->up(keyPoint(2, 2)), "");
  EXPECT_EQ(held(), "none");
  EXPECT_EQ(field->text(), "9");

  // Lifted off the keys, the press goes too; a lift without a move lets go as well.
  ASSERT_EQ(tracker_->down(keyPoint(2, 0)), "");
  ASSERT_EQ(tracker_->up({160, 100}), "");
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->down(keyPoint(3, 0)), "");
  EXPECT_EQ(held(), ".");
  ASSERT_EQ(tracker_->up(keyPoint(3, 0)), "");
  EXPECT_EQ(held(), "none");
  EXPECT_EQ(field->text(), "9.");

  // A touch that starts off the keys never presses one, even when it slides onto them.
  ASSERT_EQ(tracker_->down({160, 100}), "");
  ASSERT_EQ(tracker_->move(keyPoint(0, 0)), "");
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->up(keyPoint(0, 0)), "");
  EXPECT_EQ(field->text(), "9.");
}

TEST_F(TouchTrackingTest, AnAlertTakesEveryTouchAndItsButtonDismissesIt) {
  const auto button = addButton(CGRectMake(100, 100, 60, 30), sim_->list().slidingView());
  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr("one"), "OK")->show();
  ASSERT_EQ(tracker_->down({130, 135}), "");
  EXPECT_FALSE(button->isHighlighted());
  ASSERT_EQ(tracker_->up({130, 135}), "");
  EXPECT_TRUE(events_->seen.empty());

  const auto& alerts = UIAlertView::visibleAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  const auto frames = screen::alertButtonFrames(*alerts.back(), {320, 480});
  ASSERT_EQ(frames.size(), 1u);
  const CGPoint ok{frames[0].origin.x + frames[0].size.width / 2,
                   frames[0].origin.y + frames[0].size.height / 2};
  // Down on OK but lifted off it: the alert stays.
  ASSERT_EQ(tracker_->down(ok), "");
  ASSERT_EQ(tracker_->up({ok.x, ok.y + 60}), "");
  EXPECT_EQ(alerts.size(), 1u);
  // Down off it and lifted on it: it stays too.
  ASSERT_EQ(tracker_->down({ok.x, ok.y - 60}), "");
  ASSERT_EQ(tracker_->up(ok), "");
  EXPECT_EQ(alerts.size(), 1u);
  ASSERT_EQ(tracker_->down(ok), "");
  ASSERT_EQ(tracker_->up(ok), "");
  EXPECT_TRUE(alerts.empty());
  EXPECT_TRUE(events_->seen.empty());
}

}  // namespace
