// Show, type, hide and release many times through the real bundle, in process: nothing may
// grow. Under the sanitizers the leak checker also sees every cycle's memory.
#include <gtest/gtest.h>

#include "host/simulator.h"
#include "host/touch.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

#ifdef TESSARY_SANITIZED
constexpr int kCycles = 1000;
#else
constexpr int kCycles = 200;
#endif

struct Census {
  size_t views = 0, observers = 0, timers = 0, animations = 0, sources = 0, alerts = 0,
         requests = 0;
  bool operator==(const Census&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Census& c) {
  return out << "views " << c.views << ", observers " << c.observers << ", timers " << c.timers
             << ", animations " << c.animations << ", sources " << c.sources << ", alerts "
             << c.alerts << ", requests " << c.requests;
}

size_t countViews(const UIView& view) {
  size_t n = 1;
  for (const auto& child : view.subviews()) n += countViews(*child);
  return n;
}

class CycleTest : public tessary::test::PlatformTest {
 protected:
  Census census(Simulator& sim) {
    return {countViews(*sim.list().window()),
            NSNotificationCenter::defaultCenter().observerCount(),
            NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock),
            UIView::runningAnimations().size(),
            NSRunLoop::mainRunLoop().sourceCount(),
            UIAlertView::visibleAlerts().size(),
            NSURLConnection::activeCount()};
  }

  // The leftmost or rightmost text field of the widget.
  std::shared_ptr<UITextField> field(Simulator& sim, bool leftmost) {
    std::shared_ptr<UITextField> found;
    CGFloat best = 0;
    touch::frontToBack(sim.controller()->view(), nullptr, [&](const auto& view, bool) {
      const auto candidate = std::dynamic_pointer_cast<UITextField>(view);
      const auto rect = candidate ? touch::screenRect(*view, *sim.list().window()) : std::nullopt;
      if (rect && (!found || (leftmost ? rect->origin.x < best : rect->origin.x > best))) {
        found = candidate;
        best = rect->origin.x;
      }
      return false;
    });
    return found;
  }
};

TEST_F(CycleTest, ShowTypeHideAndReleaseLeaveNothingBehind) {
  Simulator::Options options;
  options.root = root_.path();
  options.bundleDirectory = tessary::test::kBuiltBundle;
  Simulator sim(options);
  ASSERT_EQ(sim.install(), "");
  // A fresh cached rate, so typing converts without the network.
  const double now = sim.manualClock()->wall();
  auto rates = std::make_shared<NSMutableDictionary>();
  rates->setObjectForKey(NSStr("1.17"), "EUR-USD");
  ASSERT_TRUE(rates->writeToFileAtomically("/var/mobile/Library/Tessary/Rates.plist", true));
  auto dates = std::make_shared<NSMutableDictionary>();
  dates->setObjectForKey(NSNumber::numberWithDouble(now), "EUR-USD");
  ASSERT_TRUE(dates->writeToFileAtomically("/var/mobile/Library/Tessary/Dates.plist", true));

  bool done = false;
  const auto cycle = [&](bool check) {
    ASSERT_EQ(sim.show(), "");
    const auto field = this->field(sim, true);
    ASSERT_TRUE(field);
    // Through the keyboard: a tap into the field, keys, the bar's Next and Copy, and on every
    // other cycle Done before the hide.
    ASSERT_EQ(sim.tap("field:left"), "");
    ASSERT_TRUE(field->isFirstResponder());
    ASSERT_EQ(sim.type("12"), "");
    if (check) {
      // The other side converts at the cached rate as the keys arrive.
      EXPECT_EQ(field->text(), "12");
      ASSERT_TRUE(this->field(sim, false));
      EXPECT_EQ(this->field(sim, false)->text(), "14.04");
      EXPECT_TRUE(sim.keyboard().isVisible());
    }
    ASSERT_EQ(sim.tap("bar:Next"), "");
    ASSERT_EQ(sim.type("3"), "");
    ASSERT_EQ(sim.tap("bar:Copy"), "");
    if (done) {
      ASSERT_EQ(sim.tap("bar:Done"), "");
    }
    done = !done;
    std::weak_ptr<BBWeeAppController> controller = sim.controller();
    ASSERT_EQ(sim.hide(), "");
    EXPECT_FALSE(UITextField::firstResponder());
    EXPECT_FALSE(sim.keyboard().isVisible());
    ASSERT_EQ(sim.release(), "");
    NSRunLoop::mainRunLoop().advanceBy(
        Seconds(2.0));  // highlights, fades and delayed blocks run out
    EXPECT_TRUE(controller.expired());
  };

  cycle(true);
  const Census baseline = census(sim);
  EXPECT_EQ(baseline.animations, 0u);
  EXPECT_EQ(baseline.timers, 0u);
  EXPECT_EQ(baseline.requests, 0u);
  for (int i = 1; i < kCycles && !HasFatalFailure(); ++i) cycle(false);
  EXPECT_EQ(census(sim), baseline);
  EXPECT_FALSE(sim.keyboard().isOnScreen());
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
}

}  // namespace
