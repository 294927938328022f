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
  loop.addTimer(0.3, [&] { ran.push_back(3); });
  loop.addTimer(0.05, [&] { ran.push_back(1); });
  loop.addTimer(0.05, [&] { ran.push_back(2); });  // same due time: scheduling order
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
  loop.addTimer(0.0, [&] {
    ++ran;
    loop.addTimer(0.0, [&] { ran += 10; });
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
  loop.addTimer(2.0, [&] { seen = clock_->monotonic() - start; });
  advance(5.0);
  EXPECT_DOUBLE_EQ(seen, 2.0);
  EXPECT_DOUBLE_EQ(clock_->monotonic() - start, 5.0);
}

TEST_F(RunLoopTest, CancelledAndNegativeDelays) {
  auto& loop = NSRunLoop::mainRunLoop();
  int ran = 0;
  const auto timer = loop.addTimer(1.0, [&] { ran += 1; });
  loop.addTimer(-5.0, [&] { ran += 10; });
  loop.cancelTimer(timer);
  loop.cancelTimer(999999);
  advance(2.0);
  EXPECT_EQ(ran, 10);
  EXPECT_EQ(loop.pendingTimers(NSRunLoop::TimeBase::Clock), 0u);
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
  loop.runOnce(0.0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loop.sourceCount(), 0u);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
