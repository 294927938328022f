#include "platform/foundation/run_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "tests/support/test_environment.h"

namespace {

using RunLoopTest = tessary::test::PlatformTest;

TEST_F(RunLoopTest, TimersRunInDueOrderOnBothSidesOfTheirDeadline) {
  auto& loop = NSRunLoop::mainRunLoop();
  std::vector<int> ran;
  const auto third = loop.addTimer(Seconds(0.3), [&] { ran.push_back(3); });
  const auto first = loop.addTimer(Seconds(0.05), [&] { ran.push_back(1); });
  const auto second =
      loop.addTimer(Seconds(0.05), [&] { ran.push_back(2); });  // same due: in order
  advance(0.049);
  EXPECT_TRUE(ran.empty());
  advance(0.001);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  advance(1.0);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(RunLoopTest, ADelayedCallNeverRunsInsideTheCallThatScheduledIt) {
  auto& loop = NSRunLoop::mainRunLoop();
  int ran = 0;
  const auto outer = loop.addTimer(Seconds(0.0), [&] {
    ++ran;
    loop.addTimer(Seconds(0.0), [&] { ran += 10; }).detach();
    EXPECT_EQ(ran, 1);  // the inner call waits for a later turn
  });
  EXPECT_EQ(ran, 0);
  loop.runOnce();
  EXPECT_EQ(ran, 1);
  loop.runOnce();
  EXPECT_EQ(ran, 11);
}

TEST_F(RunLoopTest, ClockTimersSeeTheTimeTheyWereDueAt) {
  auto& loop = NSRunLoop::mainRunLoop();
  double seen = 0;
  const double start = clock_->monotonic();
  const auto timer = loop.addTimer(Seconds(2.0), [&] { seen = clock_->monotonic() - start; });
  advance(5.0);
  EXPECT_DOUBLE_EQ(seen, 2.0);
  EXPECT_DOUBLE_EQ(clock_->monotonic() - start, 5.0);
}

TEST_F(RunLoopTest, AHandleCancelsItsTimerWhenDestroyedOrReassigned) {
  auto& loop = NSRunLoop::mainRunLoop();
  std::vector<int> ran;
  {
    const auto dropped = loop.addTimer(Seconds(1.0), [&] { ran.push_back(1); });
    EXPECT_TRUE(dropped.isPending());
  }
  auto reassigned = loop.addTimer(Seconds(1.0), [&] { ran.push_back(2); });
  reassigned = loop.addTimer(Seconds(1.0), [&] { ran.push_back(3); });
  auto cancelled =
      loop.addTimer(Seconds(-5.0), [&] { ran.push_back(4); });  // negative means "soon"
  cancelled.cancel();
  cancelled.cancel();
  EXPECT_FALSE(cancelled.isPending());
  EXPECT_EQ(loop.pendingTimers(NSRunLoop::TimeBase::Clock), 1u);
  advance(2.0);
  EXPECT_EQ(ran, (std::vector<int>{3}));
  EXPECT_FALSE(reassigned.isPending());
  EXPECT_EQ(loop.pendingTimers(NSRunLoop::TimeBase::Clock), 0u);
}

TEST_F(RunLoopTest, AMovedHandleKeepsItsTimerOnceAndADetachedOneRuns) {
  auto& loop = NSRunLoop::mainRunLoop();
  int moved = 0;
  int detached = 0;
  TimerHandle target;
  {
    auto source = loop.addTimer(Seconds(0.5), [&] { ++moved; });
    target = std::move(source);
    EXPECT_FALSE(source.isPending());  // NOLINT(bugprone-use-after-move): it is left empty
    source.cancel();                   // and cancels nothing
    TimerHandle constructed(std::move(target));
    target = std::move(constructed);
  }
  EXPECT_TRUE(target.isPending());
  EXPECT_EQ(loop.pendingTimers(NSRunLoop::TimeBase::Clock), 1u);
  loop.addTimer(Seconds(0.5), [&] { ++detached; }).detach();
  advance(0.5);
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(detached, 1);
  advance(5.0);
  EXPECT_EQ(moved, 1);
}

TEST_F(RunLoopTest, CancellingATimerThatRanOrWasResetDoesNothing) {
  auto& loop = NSRunLoop::mainRunLoop();
  int ran = 0;
  auto timer = loop.addTimer(Seconds(0.1), [&] { ++ran; });
  advance(0.1);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(timer.isPending());
  // A later timer is not taken for the one that ran.
  const auto later = loop.addTimer(Seconds(0.1), [&] { ran += 10; });
  timer.cancel();
  auto forgotten = loop.addTimer(Seconds(0.1), [&] { ran += 100; });
  loop.reset();
  forgotten.cancel();
  EXPECT_EQ(ran, 1);
  auto again = loop.addTimer(Seconds(0.1), [&] { ran += 1000; });
  advance(0.1);
  EXPECT_EQ(ran, 1001);
  EXPECT_FALSE(later.isPending());
}

TEST_F(RunLoopTest, ATimerMayDestroyItsOwnHandle) {
  auto& loop = NSRunLoop::mainRunLoop();
  auto owner = std::make_unique<TimerHandle>();
  int ran = 0;
  *owner = loop.addTimer(Seconds(0.1), [&] {
    ++ran;
    owner.reset();
  });
  advance(0.1);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(owner, nullptr);
}

TEST_F(RunLoopTest, IoSourcesAreDispatchedAndMayRemoveThemselves) {
  auto& loop = NSRunLoop::mainRunLoop();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int calls = 0;
  loop.addSource(fds[0], POLLIN, [&](short revents) {
    EXPECT_TRUE(revents & POLLIN);
    ++calls;
    loop.removeSource(fds[0]);
  });
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_TRUE(runUntil([&] { return calls > 0; }, 5.0));
  loop.runOnce();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loop.sourceCount(), 0u);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
