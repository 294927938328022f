#include "host/touch.h"

#include <gtest/gtest.h>

#include "host/simulator.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_scroll_view.h"
#include "tests/support/test_environment.h"

namespace {

// Counts what a tap delivers.
struct Counter : NSObject {
  int touchDown = 0, touchUp = 0, taps = 0;
  bool highlightedAtDown = false;
  std::weak_ptr<UIControl> control;
  void down() {
    ++touchDown;
    if (auto c = control.lock()) highlightedAtDown = c->isHighlighted();
  }
  void up() { ++touchUp; }
  void tapped() { ++taps; }
};

class TouchTest : public tessary::test::PlatformTest {
 protected:
  TouchTest() {
    screen_ = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
    counter_ = std::make_shared<Counter>();
  }
  std::shared_ptr<UIButton> addButton(const std::shared_ptr<UIView>& parent, CGRect frame) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->addTarget(counter_, &Counter::down, UIControlEventTouchDown);
    button->addTarget(counter_, &Counter::up, UIControlEventTouchUpInside);
    counter_->control = button;
    parent->addSubview(button);
    return button;
  }
  std::shared_ptr<UIView> screen_;
  std::shared_ptr<Counter> counter_;
};

TEST_F(TouchTest, HitTestingSkipsWhatCannotBeSeenOrTouched) {
  auto back = UIView::initWithFrame(CGRectMake(0, 0, 320, 100));
  auto front = UIView::initWithFrame(CGRectMake(50, 0, 100, 100));
  screen_->addSubview(back);
  screen_->addSubview(front);
  EXPECT_EQ(touch::hitTest(screen_, {60, 50}), front);  // the later subview is in front
  EXPECT_EQ(touch::hitTest(screen_, {10, 50}), back);

  front->setHidden(true);
  EXPECT_EQ(touch::hitTest(screen_, {60, 50}), back);
  front->setHidden(false);
  front->setAlpha(0.0f);
  EXPECT_EQ(touch::hitTest(screen_, {60, 50}), back);
  front->setAlpha(0.005f);  // below what the platform counts as visible
  EXPECT_EQ(touch::hitTest(screen_, {60, 50}), back);
  front->setAlpha(0.5f);
  front->setUserInteractionEnabled(false);
  EXPECT_EQ(touch::hitTest(screen_, {60, 50}), back);
  front->setUserInteractionEnabled(true);

  // A child sticking out of an unclipped parent is touched where it shows; clipped, it is not.
  auto child = UIView::initWithFrame(CGRectMake(0, 90, 40, 40));
  front->addSubview(child);
  EXPECT_EQ(touch::hitTest(screen_, {60, 120}), child);
  EXPECT_EQ(touch::hitTest(screen_, {60, 95}), child);
  front->setClipsToBounds(true);
  EXPECT_EQ(touch::hitTest(screen_, {60, 120}), screen_);
  EXPECT_EQ(touch::hitTest(screen_, {60, 95}), child);
  EXPECT_EQ(touch::hitTest(screen_, {400, 10}), nullptr);

  // Scroll views shift their content by the offset.
  auto scroll = UIScrollView::initWithFrame(CGRectMake(0, 200, 100, 100));
  scroll->setClipsToBounds(true);
  auto page = UIView::initWithFrame(CGRectMake(100, 0, 100, 100));
  scroll->addSubview(page);
  screen_->addSubview(scroll);
  EXPECT_EQ(touch::hitTest(screen_, {50, 250}), scroll);
  scroll->setContentOffset({100, 0});
  EXPECT_EQ(touch::hitTest(screen_, {50, 250}), page);
  const auto rect = touch::screenRect(*page, *screen_);
  ASSERT_TRUE(rect);
  EXPECT_EQ(*rect, CGRectMake(0, 200, 100, 100));
}

TEST_F(TouchTest, VisiblePartIsCutByClippingAncestors) {
  auto clip = UIView::initWithFrame(CGRectMake(10, 10, 100, 50));
  clip->setClipsToBounds(true);
  screen_->addSubview(clip);
  auto view = UIView::initWithFrame(CGRectMake(50, 20, 100, 100));
  clip->addSubview(view);
  EXPECT_EQ(touch::visibleRect(*view, *screen_), CGRectMake(60, 30, 50, 30));

  view->setFrame(CGRectMake(200, 0, 10, 10));  // clipped away
  EXPECT_FALSE(touch::visibleRect(*view, *screen_));
  view->setFrame(CGRectMake(0, 0, 0, 10));  // no size
  EXPECT_FALSE(touch::visibleRect(*view, *screen_));
  view->setFrame(CGRectMake(0, 0, 10, 10));
  EXPECT_TRUE(touch::visibleRect(*view, *screen_));
  clip->setAlpha(0);  // an ancestor hides it too
  EXPECT_FALSE(touch::visibleRect(*view, *screen_));
  clip->setAlpha(1);
  view->removeFromSuperview();
  EXPECT_FALSE(touch::visibleRect(*view, *screen_));  // not in the tree
  // The screen clips everything.
  screen_->addSubview(view);
  view->setFrame(CGRectMake(300, 470, 40, 40));
  EXPECT_EQ(touch::visibleRect(*view, *screen_), CGRectMake(300, 470, 20, 10));
}

class SimulatorTouchTest : public tessary::test::PlatformTest {};

TEST_F(SimulatorTouchTest, ModalAlertsSwallowTouchesUntilDismissed) {
  Simulator::Options options;
  options.root = root_.path();
  Simulator sim(options);
  auto counter = std::make_shared<Counter>();
  auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  button->setFrame(CGRectMake(100, 100, 60, 30));
  button->setTitleForState("Go", UIControlStateNormal);
  button->addTarget(counter, &Counter::up, UIControlEventTouchUpInside);
  sim.list().slidingView()->addSubview(button);

  ASSERT_EQ(sim.tap("button:Go"), "");
  EXPECT_EQ(counter->touchUp, 1);
  ASSERT_EQ(sim.tap("130,135"), "");  // the sliding view starts under the status bar
  EXPECT_EQ(counter->touchUp, 2);

  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr("one"), "OK")->show();
  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr("two"), "OK")->show();
  ASSERT_EQ(sim.tap("button:Go"), "");
  EXPECT_EQ(counter->touchUp, 2);
  // A target that matches nothing is still an error while an alert is up.
  EXPECT_NE(sim.tap("button:Stop"), "");

  ASSERT_EQ(sim.alertOk(), "");
  ASSERT_EQ(UIAlertView::visibleAlerts().size(), 1u);
  EXPECT_EQ(UIAlertView::visibleAlerts()[0]->message()->UTF8String(), "one");  // the front went
  ASSERT_EQ(sim.tap("button:Go"), "");
  EXPECT_EQ(counter->touchUp, 2);
  ASSERT_EQ(sim.alertOk(), "");
  ASSERT_EQ(sim.tap("button:Go"), "");
  EXPECT_EQ(counter->touchUp, 3);
  EXPECT_EQ(sim.alertOk(), "alert ok: no alert is shown");

  // A button that cannot be seen is named but cannot be tapped.
  button->setHidden(true);
  EXPECT_EQ(sim.tap("button:Go"), "tap: button:Go: it has no visible part");
  // What lies on the sliding view is the overlay; an overlay point is one that nothing on it
  // covers.
  button->removeFromSuperview();
  auto dim = UIView::initWithFrame(CGRectMake(100, 100, 60, 30));
  auto cover = UIView::initWithFrame(CGRectMake(0, 0, 30, 30));
  dim->addSubview(cover);
  sim.list().slidingView()->addSubview(dim);
  CGPoint point;
  ASSERT_EQ(sim.locate("overlay", point), "");
  EXPECT_EQ(touch::hitTest(sim.list().window(), point), dim);
  EXPECT_GE(point.x, 130);
  cover->setFrame(CGRectMake(0, 0, 60, 30));
  EXPECT_EQ(sim.locate("overlay", point), "tap: overlay: every point of the overlay is covered");
  dim->setAlpha(0);
  EXPECT_EQ(sim.locate("overlay", point), "tap: overlay: the overlay has no visible part");
}

}  // namespace
