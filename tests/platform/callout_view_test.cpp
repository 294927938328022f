#include <gtest/gtest.h>

#include "platform/uikit/ui_callout_view.h"
#include "tests/support/test_environment.h"

namespace {

using CalloutView = tessary::test::PlatformTest;

bool contains(CGRect outer, CGRect inner) {
  return inner.origin.x >= outer.origin.x && inner.origin.y >= outer.origin.y &&
         inner.origin.x + inner.size.width <= outer.origin.x + outer.size.width &&
         inner.origin.y + inner.size.height <= outer.origin.y + outer.size.height;
}

TEST_F(CalloutView, CentredOnTheAnchorAndHeldInsideTheBoundary) {
  const auto& bubble = UICalloutView::sharedCalloutView();
  bubble->setTitle("    ");
  bubble->setSubtitleAnimated(std::string(85, ' '), false);
  const CGFloat width = bubble->contentSize().width;
  ASSERT_GT(width, 100);

  // Room everywhere: centred on the anchor, above it, the arrow's centre at the anchor.
  const CGRect wide = CGRectMake(0, 0, 1000, 500);
  bubble->setAnchorPointBoundaryRectAnimate(CGPointMake(500, 200), wide, false);
  EXPECT_TRUE(bubble->isAbove());
  EXPECT_EQ(bubble->frame().origin.x, 500 - width / 2);
  EXPECT_EQ(bubble->frame().origin.y + bubble->frame().size.height, 200);
  const CGRect arrow = bubble->subviews()[1]->frame();
  EXPECT_EQ(bubble->frame().origin.x + arrow.origin.x + arrow.size.width / 2, 500);

  // Near either edge of the boundary it is pushed inside; near the top it goes below.
  const CGRect narrow = CGRectMake(40, 30, width + 20, 400);
  for (const CGPoint anchor : {CGPointMake(45, 35), CGPointMake(width + 55, 35),
                               CGPointMake(45, 300), CGPointMake(width + 55, 300)}) {
    bubble->setAnchorPointBoundaryRectAnimate(anchor, narrow, false);
    EXPECT_TRUE(contains(narrow, bubble->frame())) << anchor.x << "," << anchor.y;
    EXPECT_EQ(bubble->isAbove(), anchor.y > 100);
    EXPECT_EQ(bubble->subviews()[0]->frame().origin.y == 0, bubble->isAbove());
  }
  // A wider text keeps the anchor and the boundary, and stays inside it.
  bubble->setSubtitleAnimated(std::string(140, ' '), false);
  EXPECT_EQ(bubble->anchorPoint(), CGPointMake(width + 55, 300));
  EXPECT_TRUE(contains(narrow, bubble->frame()));
  bubble->setSubtitleAnimated(std::nullopt, false);
}

}  // namespace
