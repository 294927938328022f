// The widget's bar on the host's keyboard, in process through the real bundle: which bar
// rides when, and what the list does when keyboards come and go.
#include <gtest/gtest.h>

#include "host/simulator.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_toolbar.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

class KeyboardBarTest : public tessary::test::PlatformTest {
 protected:
  KeyboardBarTest() {
    Simulator::Options options;
    options.root = root_.path();
    options.bundleDirectory = tessary::test::kBuiltBundle;
    sim_ = std::make_unique<Simulator>(options);
    EXPECT_EQ(sim_->install(), "");
    EXPECT_EQ(sim_->setSetting("AutoScroll", NSNumber::numberWithBool(false)), "");
    EXPECT_EQ(sim_->show(), "");
  }
  ~KeyboardBarTest() override { sim_.reset(); }

  void wait(double seconds) { NSRunLoop::mainRunLoop().advanceBy(Seconds(seconds)); }
  std::shared_ptr<UIToolbar> bar() {
    return std::dynamic_pointer_cast<UIToolbar>(sim_->keyboard().accessory());
  }
  CGRect tableFrame() { return sim_->list().table()->frame(); }

  std::unique_ptr<Simulator> sim_;
};

TEST_F(KeyboardBarTest, TheBarGoesAQuarterSecondAfterTheHideUnlessEditingBeginsAgain) {
  ASSERT_EQ(sim_->tap("field:left"), "");
  const auto first = bar();
  ASSERT_TRUE(first);
  ASSERT_EQ(sim_->tap("bar:Next"), "");
  EXPECT_EQ(bar(), first);  // both fields share the one bar

  // Done, then back into a field before the drop falls due: the same bar stays.
  ASSERT_EQ(sim_->tap("bar:Done"), "");
  wait(0.1);
  ASSERT_EQ(sim_->tap("field:left"), "");
  wait(0.3);
  EXPECT_TRUE(sim_->keyboard().isVisible());
  EXPECT_EQ(bar(), first);
  EXPECT_EQ(first->superview(), sim_->keyboard().view());
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 180));

  // Done and a full quarter second: the widget takes its bar away; the next edit builds anew.
  ASSERT_EQ(sim_->tap("bar:Done"), "");
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  wait(0.25);
  EXPECT_FALSE(first->superview());
  EXPECT_FALSE(sim_->keyboard().isOnScreen());
  ASSERT_EQ(sim_->tap("field:right"), "");
  ASSERT_TRUE(bar());
  EXPECT_NE(bar(), first);
}

TEST_F(KeyboardBarTest, KeyboardsOfOtherFieldsLeaveTheListAlone) {
  // A text field of the host's own, with no bar: the widget neither shortens the list on the
  // show nor restores it on the hide, since no field of its own has begun editing.
  auto other = UITextField::initWithFrame(CGRectMake(10, 300, 100, 30));
  sim_->list().slidingView()->addSubview(other);
  sim_->list().table()->setFrame(CGRectMake(0, 0, 320, 300));
  ASSERT_TRUE(other->becomeFirstResponder());
  EXPECT_TRUE(sim_->keyboard().isVisible());
  EXPECT_FALSE(sim_->keyboard().accessory());
  EXPECT_EQ(sim_->keyboard().frame(), CGRectMake(0, 264, 320, 216));
  EXPECT_EQ(sim_->tap("bar:Done"), "tap: bar:Done: no keyboard bar is shown");
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 300));
  ASSERT_TRUE(other->resignFirstResponder());
  wait(0.3);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 300));
  other->removeFromSuperview();
}

TEST_F(KeyboardBarTest, HidingTheWidgetEndsEditingFirst) {
  ASSERT_EQ(sim_->tap("field:left"), "");
  ASSERT_EQ(sim_->type("5"), "");
  ASSERT_EQ(tableFrame(), CGRectMake(0, 0, 320, 180));
  ASSERT_EQ(sim_->hide(), "");
  // The hide notification reached the widget before it unloaded: the list is whole again.
  EXPECT_FALSE(UITextField::firstResponder());
  EXPECT_FALSE(sim_->keyboard().isVisible());
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  wait(0.3);
  EXPECT_FALSE(sim_->keyboard().isOnScreen());
  // Unloaded, the widget hears no keyboard at all.
  auto other = UITextField::initWithFrame(CGRectMake(10, 300, 100, 30));
  sim_->list().slidingView()->addSubview(other);
  ASSERT_TRUE(other->becomeFirstResponder());
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  other->resignFirstResponder();
  other->removeFromSuperview();
}

TEST_F(KeyboardBarTest, RotationWithTheKeyboardUpLaysTheListOutAgain) {
  ASSERT_EQ(sim_->tap("field:left"), "");
  ASSERT_EQ(sim_->rotate(UIInterfaceOrientationLandscapeRight), "");
  // The bar is not resized by a rotation (only the next begin-editing sizes it), so the
  // landscape keyboard carries the 44-point bar: 300 - 40 - (162 + 44 - 20) = 74.
  EXPECT_EQ(sim_->keyboard().frame(), CGRectMake(0, 114, 480, 206));
  EXPECT_EQ(bar()->frame(), CGRectMake(0, 0, 480, 44));
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 480, 74));
  wait(0.3);
  EXPECT_EQ(bar()->superview(), sim_->keyboard().view());  // the hide's drop spared it
  ASSERT_EQ(sim_->tap("bar:Next"), "");                    // sized again: 32 high
  ASSERT_EQ(sim_->tap("bar:Done"), "");
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 480, 260));
  ASSERT_EQ(sim_->tap("field:right"), "");
  EXPECT_EQ(sim_->keyboard().frame(), CGRectMake(0, 126, 480, 194));
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 480, 86));
}

}  // namespace
