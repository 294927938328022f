// The host's own views follow the platform's rule: made only through construct(), so each is
// owned from its first moment.
#include "host/host_views.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "host/keyboard.h"
#include "host/notification_list.h"
#include "tests/support/test_environment.h"

namespace {

template <class T>
constexpr bool kOnlyThroughConstruct =
    !std::is_default_constructible_v<T> && !std::is_constructible_v<T, CGRect> &&
    !std::is_default_constructible_v<PassKey<T>>;
static_assert(kOnlyThroughConstruct<KeyboardView>);
static_assert(kOnlyThroughConstruct<KeypadView>);
static_assert(kOnlyThroughConstruct<StatusBarView>);
static_assert(kOnlyThroughConstruct<ListHandleView>);
static_assert(kOnlyThroughConstruct<HostTableCell>);
static_assert(kOnlyThroughConstruct<HostTableView>);

using HostViewsTest = tessary::test::PlatformTest;

TEST_F(HostViewsTest, AHostViewTakesSubviewsAndTouchesAsSoonAsItIsMade) {
  const auto table = construct<HostTableView>();
  table->setFrame(CGRectMake(0, 0, 320, 200));
  const auto cell = construct<HostTableCell>();
  cell->setFrame(CGRectMake(0, 0, 320, 72));
  table->addSubview(cell);
  EXPECT_EQ(cell->superview(), table);
  EXPECT_EQ(table->hitTest(CGPointMake(10, 10)), cell);
}

}  // namespace
