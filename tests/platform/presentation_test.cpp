#include <gtest/gtest.h>

#include "platform/uikit/ui_view.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

using Presentation = PlatformTest;

TEST(EaseInOut, StartsAndEndsSlowlyAndIsSymmetric) {
  EXPECT_EQ(easeInOut(0), 0);
  EXPECT_EQ(easeInOut(1), 1);
  EXPECT_EQ(easeInOut(-3), 0);
  EXPECT_EQ(easeInOut(7), 1);
  EXPECT_EQ(easeInOut(std::nan("")), 0);
  EXPECT_NEAR(easeInOut(0.5), 0.5, 1e-9);
  EXPECT_LT(easeInOut(0.1), 0.05);  // slow at the start
  EXPECT_GT(easeInOut(0.9), 0.95);  // and at the end
  double previous = 0;
  for (int i = 1; i <= 100; ++i) {
    const double t = i / 100.0;
    EXPECT_GE(easeInOut(t), previous) << t;
    EXPECT_NEAR(easeInOut(t) + easeInOut(1 - t), 1, 1e-9) << t;
    previous = easeInOut(t);
  }
}

TEST_F(Presentation, FrameAlphaAndColourMoveOverTheDurationThenRestAtTheModel) {
  const auto view = UIView::initWithFrame(CGRectMake(0, 0, 100, 40));
  view->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1));
  UIView::animateWithDurationAnimations(1.0, [&] {
    view->setFrame(CGRectMake(100, 20, 300, 40));
    view->setAlpha(0);
    view->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
  });
  EXPECT_EQ(view->frame(), CGRectMake(100, 20, 300, 40));
  EXPECT_EQ(view->presentationFrame(), CGRectMake(0, 0, 100, 40));
  EXPECT_EQ(view->presentationAlpha(), 1);

  // Eased: a quarter of the time is well under a quarter of the way.
  advance(0.25);
  EXPECT_LT(view->presentationFrame().origin.x, 25 * 0.75f);
  advance(0.25);
  EXPECT_EQ(view->presentationFrame(), CGRectMake(50, 10, 200, 40));
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0.5f);
  const auto colour = view->presentationBackgroundColor();
  EXPECT_FLOAT_EQ(colour->red(), 0.5f);
  EXPECT_FLOAT_EQ(colour->blue(), 0.5f);
  EXPECT_FLOAT_EQ(colour->alpha(), 1);
  advance(0.499);
  EXPECT_LT(view->presentationFrame().origin.x, 100);
  advance(0.001);
  EXPECT_EQ(view->presentationFrame(), view->frame());
  EXPECT_EQ(view->presentationAlpha(), 0);
  EXPECT_EQ(view->presentationBackgroundColor(), view->backgroundColor());
}

TEST_F(Presentation, FadingFromOrToNoColourKeepsTheHue) {
  const auto view = UIView::initWithFrame(CGRectMake(0, 0, 10, 10));
  UIView::animateWithDurationAnimations(0.6, [&] {
    view->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0.5f, 1, 0.8f));
  });
  advance(0.3);
  auto colour = view->presentationBackgroundColor();
  EXPECT_FLOAT_EQ(colour->green(), 0.5f);
  EXPECT_FLOAT_EQ(colour->blue(), 1);
  EXPECT_FLOAT_EQ(colour->alpha(), 0.4f);
  advance(0.3);

  UIView::animateWithDurationAnimations(0.6, [&] { view->setBackgroundColor(nullptr); });
  advance(0.3);
  colour = view->presentationBackgroundColor();
  ASSERT_NE(colour, nullptr);
  EXPECT_FLOAT_EQ(colour->blue(), 1);
  EXPECT_FLOAT_EQ(colour->alpha(), 0.4f);
  advance(0.31);
  EXPECT_EQ(view->presentationBackgroundColor(), nullptr);
}

TEST_F(Presentation, ALaterChangeReplacesARunningAnimation) {
  const auto view = UIView::initWithFrame(CGRectMake(0, 0, 10, 10));
  UIView::animateWithDurationAnimations(1.0, [&] { view->setAlpha(0); });
  advance(0.5);
  // A newer animation of the same property wins.
  UIView::animateWithDurationAnimations(1.0, [&] { view->setAlpha(1); });
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0);
  advance(0.5);
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0.5f);
  // A change outside an animation shows at once and ends the running one.
  view->setAlpha(0.25f);
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0.25f);
  advance(0.25);
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0.25f);
  // Setting the same value again outside an animation leaves a running one alone.
  UIView::animateWithDurationAnimations(1.0, [&] { view->setFrame(CGRectMake(10, 0, 10, 10)); });
  view->setFrame(CGRectMake(10, 0, 10, 10));
  advance(0.5);
  EXPECT_FLOAT_EQ(view->presentationFrame().origin.x, 5);
  // Other views and properties are not touched by either.
  EXPECT_FLOAT_EQ(view->presentationAlpha(), 0.25f);
}

}  // namespace
}  // namespace tessary::test
