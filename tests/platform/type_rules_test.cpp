// Rules the platform's types carry: what does not compile here is what no caller can get wrong.
#include <gtest/gtest.h>

#include <chrono>
#include <type_traits>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
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

using TypeRulesTest = tessary::test::PlatformTest;

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
