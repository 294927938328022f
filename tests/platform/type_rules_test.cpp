// Rules the platform's types carry: what does not compile here is what no caller can get wrong.
#include <gtest/gtest.h>

#include <chrono>
#include <type_traits>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_gesture_recognizer.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_table_view.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"
#include "platform/uikit/ui_view.h"
#include "tests/support/test_environment.h"

namespace {

using namespace std::chrono_literals;

// An interval says it is one: a bare number of seconds no longer slips in as a delay or wait.
static_assert(!std::is_convertible_v<double, Seconds>);
static_assert(!std::is_invocable_v<decltype(&NSRunLoop::advanceBy), NSRunLoop&, double>);
static_assert(!std::is_invocable_v<decltype(&ManualClock::advance), ManualClock&, double>);
static_assert(std::is_convertible_v<std::chrono::milliseconds, Seconds>);

// A timer has one owner; moving the handle moves the timer, copying it is refused.
static_assert(!std::is_copy_constructible_v<TimerHandle>);
static_assert(!std::is_copy_assignable_v<TimerHandle>);
static_assert(std::is_nothrow_move_constructible_v<TimerHandle>);
static_assert(std::is_nothrow_move_assignable_v<TimerHandle>);

// Objects that hand out shared_from_this() are only made by their factories: neither their
// constructors without a key nor the key itself are within anyone else's reach.
template <class T>
constexpr bool kOnlyThroughItsFactory =
    !std::is_default_constructible_v<T> && !std::is_constructible_v<T, CGRect> &&
    !std::is_default_constructible_v<PassKey<T>> && std::is_constructible_v<T, PassKey<T>>;
static_assert(kOnlyThroughItsFactory<UIView>);
static_assert(kOnlyThroughItsFactory<UIControl>);
static_assert(kOnlyThroughItsFactory<UILabel>);
static_assert(kOnlyThroughItsFactory<UITextField>);
static_assert(kOnlyThroughItsFactory<UIScrollView>);
static_assert(kOnlyThroughItsFactory<UITableView>);
static_assert(kOnlyThroughItsFactory<UITableViewCell>);
static_assert(kOnlyThroughItsFactory<UIToolbar>);
static_assert(kOnlyThroughItsFactory<UIBarButtonItem>);
static_assert(kOnlyThroughItsFactory<UICalloutView>);
static_assert(!std::is_constructible_v<UIButton, UIButtonType>);
static_assert(!std::is_constructible_v<UISegmentedControl, std::vector<std::string>>);
static_assert(!std::is_constructible_v<UIImageView, std::shared_ptr<UIImage>>);
static_assert(!std::is_constructible_v<UIAlertView, std::shared_ptr<NSString>,
                                       std::shared_ptr<NSString>, std::vector<std::string>>);
static_assert(!std::is_constructible_v<UITapGestureRecognizer, std::shared_ptr<NSObject>,
                                       UITapGestureRecognizer::Action>);
static_assert(!std::is_constructible_v<NSURLConnection, std::shared_ptr<NSURLRequest>,
                                       std::shared_ptr<NSURLConnectionDelegate>>);
// Values never hand themselves out, so they stay plainly constructible.
static_assert(std::is_constructible_v<NSString, std::string>);
static_assert(std::is_default_constructible_v<NSObject>);

using TypeRulesTest = tessary::test::PlatformTest;

// A view is owned from the moment its factory returns: it can take subviews, answer hit-tests
// and hand itself out at once, whichever class made it.
TEST_F(TypeRulesTest, EveryFactoryHandsOutAnOwnedObject) {
  const auto root = UIView::initWithFrame(CGRectMake(0, 0, 100, 100));
  const std::vector<std::shared_ptr<UIView>> children = {
      UILabel::initWithFrame(CGRectMake(0, 0, 10, 10)),
      UIButton::buttonWithType(UIButtonTypeCustom),
      UIControl::initWithFrame(CGRectMake(0, 0, 10, 10)),
      construct<UITableViewCell>(CGRectMake(0, 0, 10, 10)),
      construct<UITableView>(CGRectMake(0, 0, 10, 10)),
  };
  for (const auto& child : children) {
    root->addSubview(child);
    EXPECT_EQ(child->superview(), root) << child->className();
  }
  EXPECT_EQ(root->subviews().size(), children.size());
  root->setTag(7);
  EXPECT_EQ(root->viewWithTag(7), root);
  const auto table = children.back();
  table->setFrame(CGRectMake(50, 50, 20, 20));
  EXPECT_EQ(root->hitTest(CGPointMake(60, 60)), table);
  auto recognizer = UITapGestureRecognizer::initWithTargetAction(root, &UIView::sizeToFit);
  table->addGestureRecognizer(recognizer);
  EXPECT_EQ(recognizer->view(), table);
}

TEST_F(TypeRulesTest, IntervalsInAnyUnitMoveTheClockAlike) {
  auto& loop = NSRunLoop::mainRunLoop();
  const double start = clock_->monotonic();
  int ran = 0;
  const auto timer = loop.addTimer(50ms, [&] { ++ran; });
  loop.advanceBy(Seconds(0.049));
  EXPECT_EQ(ran, 0);
  loop.advanceBy(1ms);
  EXPECT_EQ(ran, 1);
  clock_->advance(2s);
  EXPECT_NEAR(clock_->monotonic() - start, 2.05, 1e-9);
}

TEST_F(TypeRulesTest, TheBareDurationOfAnAnimationMeansSeconds) {
  auto view = UIView::initWithFrame(CGRectMake(0, 0, 10, 10));
  int finished = 0;
  UIView::animateWithDurationAnimations(
      0.2, [&] { view->setAlpha(0); }, [&](bool) { ++finished; });
  UIView::animateWithDurationAnimations(
      200ms, [&] { view->setFrame(CGRectMake(5, 5, 10, 10)); }, [&](bool) { ++finished; });
  const auto running = UIView::runningAnimations();
  ASSERT_EQ(running.size(), 2u);
  EXPECT_EQ(running[0].duration, running[1].duration);
  EXPECT_DOUBLE_EQ(running[0].end(), running[0].start + 0.2);
  advance(0.199);
  EXPECT_EQ(finished, 0);
  advance(0.01);
  EXPECT_EQ(finished, 2);
  EXPECT_TRUE(UIView::runningAnimations().empty());
}

}  // namespace
