#include "host/notification_list.h"

#include <gtest/gtest.h>

#include "platform/hostlist/bulletin_list.h"
#include "tests/support/test_environment.h"

namespace {

using Autoresizing = tessary::test::PlatformTest;

using NotificationListTest = tessary::test::PlatformTest;

TEST_F(NotificationListTest, AnswersCellsOnlyForRowsInSight) {
  NotificationList list;
  list.registerAsHost();
  const auto& table = *list.table();
  ASSERT_GE(table.numberOfSections(), 4);
  const NSInteger widget = list.widgetSection();

  // The widget reaches the list by name: controller, list view, sliding view and table.
  const auto controller = sharedBulletinListController();
  ASSERT_TRUE(controller);
  EXPECT_EQ(controller->listView()->tableView(), list.table());
  EXPECT_EQ(controller->listView()->slidingView(), list.slidingView());
  EXPECT_EQ(list.table()->superview(), list.slidingView());

  // Without a widget view, the widget's row has no height and no cell.
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, widget)));
  auto view = UIView::initWithFrame(CGRectMake(5, 7, 316, 40));
  list.placeWidgetView(view, 40);
  EXPECT_EQ(view->frame(), CGRectMake(0, 0, 316, 40));
  const auto cell = table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, widget));
  ASSERT_TRUE(cell);
  EXPECT_EQ(view->superview()->superview(), cell);
  EXPECT_EQ(view->superview()->frame(), CGRectMake(2, 0, 316, 40));
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(1, widget)));
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 99)));
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, -1)));

  // The last row starts out of sight and comes into it as the table scrolls.
  const NSInteger last = table.numberOfSections() - 1;
  const auto lastPath = NSIndexPath::indexPathForRowInSection(0, last);
  EXPECT_FALSE(table.cellForRowAtIndexPath(lastPath));
  list.table()->scrollToRowAtIndexPathAtScrollPositionAnimated(lastPath,
                                                               UITableViewScrollPositionTop, true);
  // Scrolling stops where the content ends.
  EXPECT_EQ(table.contentOffset().y, table.contentSize().height - 420);
  EXPECT_TRUE(table.cellForRowAtIndexPath(lastPath));
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, widget)));

  // A shorter table (as above a keyboard) can scroll the widget's row to its top.
  list.table()->setFrame(CGRectMake(0, 0, 320, 220));
  list.table()->scrollToRowAtIndexPathAtScrollPositionAnimated(
      NSIndexPath::indexPathForRowInSection(0, widget), UITableViewScrollPositionTop, true);
  EXPECT_EQ(table.contentOffset().y, table.rectForSection(widget).origin.y);
  EXPECT_TRUE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, widget)));
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 0)));

  // Rotation: the table takes its resting height again (the screen less the status bar and
  // the handle) and the view keeps the screen's width minus 4.
  list.setScreenSize({480, 320});
  EXPECT_EQ(list.slidingView()->frame(), CGRectMake(0, 20, 480, 300));
  EXPECT_EQ(table.frame(), CGRectMake(0, 0, 480, 260));
  EXPECT_EQ(list.handle()->frame(), CGRectMake(0, 260, 480, 40));
  EXPECT_EQ(view->frame(), CGRectMake(0, 0, 476, 40));
  EXPECT_EQ(cell->frame().size.width, 480);

  list.removeWidgetView();
  EXPECT_FALSE(view->superview());
  EXPECT_FALSE(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, widget)));
}

TEST_F(NotificationListTest, OverlayIsWhatLiesOnTheSlidingView) {
  NotificationList list;
  EXPECT_FALSE(list.overlay());
  auto dim = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  list.slidingView()->addSubview(dim);
  EXPECT_EQ(list.overlay(), dim);
  dim->removeFromSuperview();
  // Neither the table nor the list's handle counts.
  EXPECT_TRUE(list.handle()->superview() == list.slidingView());
  EXPECT_FALSE(list.overlay());
}

TEST_F(NotificationListTest, WithoutARegisteredHostTheWidgetFindsNothing) {
  {
    NotificationList list;
    list.registerAsHost();
    EXPECT_TRUE(sharedBulletinListController());
  }
  EXPECT_FALSE(sharedBulletinListController());
}

TEST_F(Autoresizing, MovesAndSizesSubviewsByTheirMasks) {
  auto parent = UIView::initWithFrame(CGRectMake(0, 0, 316, 85));
  auto stretch = UIView::initWithFrame(CGRectMake(2, 0, 312, 85));
  stretch->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
  auto pinned = UIView::initWithFrame(CGRectMake(260, 5, 50, 30));
  pinned->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
  auto centred = UIView::initWithFrame(CGRectMake(100, 5, 50, 30));
  centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                               UIViewAutoresizingFlexibleRightMargin);
  auto fixed = UIView::initWithFrame(CGRectMake(10, 5, 50, 30));
  auto inner = UIView::initWithFrame(CGRectMake(0, 0, 312, 10));
  inner->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
  stretch->addSubview(inner);
  for (const auto& v : {stretch, pinned, centred, fixed}) parent->addSubview(v);

  resizeWithAutoresizing(*parent, {476, 85});
  EXPECT_EQ(parent->frame(), CGRectMake(0, 0, 476, 85));
  EXPECT_EQ(stretch->frame(), CGRectMake(2, 0, 472, 85));
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 472, 10));
  EXPECT_EQ(pinned->frame(), CGRectMake(420, 5, 50, 30));
  EXPECT_EQ(centred->frame(), CGRectMake(180, 5, 50, 30));
  EXPECT_EQ(fixed->frame(), CGRectMake(10, 5, 50, 30));
}

}  // namespace
