#include "platform/uikit/view_drawing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/render/surface.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_scroll_view.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

using render::RGBA;
using render::Surface;

using ViewDrawing = PlatformTest;

std::shared_ptr<UIView> box(CGRect frame, std::shared_ptr<UIColor> color) {
  auto view = UIView::initWithFrame(frame);
  view->setBackgroundColor(std::move(color));
  return view;
}

Surface draw(const UIView& root, int width, int height) {
  Surface surface(width, height);
  surface.paint(1, [&](Painter& p) { drawViewTree(root, p); });
  return surface;
}

TEST_F(ViewDrawing, TheWalkPlacesFadesHidesAndClips) {
  const auto red = UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1);
  const auto root = box(CGRectMake(10, 10, 80, 80), UIColor::whiteColor());
  const auto inner = box(CGRectMake(10, 10, 20, 20), red);
  const auto hidden = box(CGRectMake(50, 10, 20, 20), red);
  const auto faint = box(CGRectMake(50, 50, 20, 20), red);
  const auto clipper = box(CGRectMake(10, 50, 20, 20), UIColor::blackColor());
  const auto overhang = box(CGRectMake(10, 10, 40, 40), red);
  root->addSubview(inner);
  root->addSubview(hidden);
  root->addSubview(faint);
  root->addSubview(clipper);
  clipper->addSubview(overhang);
  hidden->setHidden(true);
  faint->setAlpha(0.009f);
  clipper->setClipsToBounds(true);

  Surface s = draw(*root, 100, 100);
  EXPECT_EQ(s.pixel(5, 5), (RGBA{}));                      // outside the root
  EXPECT_EQ(s.pixel(25, 25), (RGBA{255, 0, 0, 255}));      // inner at root origin + frame
  EXPECT_EQ(s.pixel(65, 25), (RGBA{255, 255, 255, 255}));  // hidden
  EXPECT_EQ(s.pixel(65, 65), (RGBA{255, 255, 255, 255}));  // below 0.01 counts as not shown
  EXPECT_EQ(s.pixel(35, 75), (RGBA{255, 0, 0, 255}));      // the overhang inside its clipper
  EXPECT_EQ(s.pixel(45, 75), (RGBA{255, 255, 255, 255}));  // and cut at its edge

  // Half transparent, the view and its subviews as one.
  faint->setAlpha(0.5f);
  faint->addSubview(box(CGRectMake(0, 0, 10, 10), UIColor::blackColor()));
  s = draw(*root, 100, 100);
  EXPECT_NEAR(s.pixel(65, 65).g, 128, 1);
  EXPECT_NEAR(s.pixel(62, 62).g, 128, 1);

  // Without clipping the overhang runs on.
  clipper->setClipsToBounds(false);
  s = draw(*root, 100, 100);
  EXPECT_EQ(s.pixel(45, 75), (RGBA{255, 0, 0, 255}));
}

TEST_F(ViewDrawing, ScrollViewsClipAndViewsDrawAtTheirPresentationValues) {
  const auto root = box(CGRectMake(0, 0, 100, 100), UIColor::whiteColor());
  const auto scroller = UIScrollView::initWithFrame(CGRectMake(0, 0, 50, 50));
  scroller->addSubview(box(CGRectMake(0, 0, 100, 20), UIColor::blackColor()));
  root->addSubview(scroller);
  const auto mover = box(CGRectMake(0, 60, 10, 10), UIColor::blackColor());
  root->addSubview(mover);
  UIView::animateWithDurationAnimations(1.0, [&] { mover->setFrame(CGRectMake(80, 60, 10, 10)); });
  advance(0.5);
  Surface s = draw(*root, 100, 100);
  EXPECT_EQ(s.pixel(45, 10).r, 0);
  EXPECT_EQ(s.pixel(55, 10).r, 255);  // cut at the scroll view's edge
  EXPECT_EQ(s.pixel(45, 65).r, 0);    // half-way along
  EXPECT_EQ(s.pixel(5, 65).r, 255);
  EXPECT_EQ(s.pixel(85, 65).r, 255);

  // A row millions of points long, as a picker of 80,000 codes makes, draws only what lies
  // near its visible part: a picture drawn across 2^23 pixels passes what the painter's
  // coordinates hold.
  const std::string picture = "/System/Library/WeeAppPlugins/Test.bundle/Key.png";
  std::filesystem::create_directories(std::filesystem::path(root_.host(picture)).parent_path());
  Surface key(9, 9);
  key.fill(RGBA{0, 0, 0, 255});
  ASSERT_EQ(key.writePNG(root_.host(picture)), "");
  const auto code = UIButton::buttonWithType(UIButtonTypeCustom);
  code->setFrame(CGRectMake(4194280, 3, 48, 30));
  code->setBackgroundImageForState(UIImage::imageWithContentsOfFile(picture), UIControlStateNormal);
  scroller->addSubview(code);
  Surface twice(200, 200);
  twice.paint(2, [&](Painter& p) { drawViewTree(*root, p); });
  EXPECT_EQ(twice.pixel(50, 70), (RGBA{255, 255, 255, 255}));
  EXPECT_EQ(twice.writePNG(root_.path() + "/far.png"), "");
}

TEST_F(ViewDrawing, ShrinkingFindsTheLargestFittingSizeDownToTheMinimum) {
  const auto font = UIFont::systemFontOfSize(17);
  const std::string text = "Euro Member Countries";
  const CGFloat natural = measureText(text, *font).width;
  EXPECT_EQ(fontFittingWidth(text, font, natural, true, 8), font);
  EXPECT_EQ(fontFittingWidth(text, font, natural / 2, false, 8), font);
  const auto smaller = fontFittingWidth(text, font, natural * 0.75f, true, 8);
  EXPECT_LT(smaller->pointSize(), 17);
  EXPECT_GE(smaller->pointSize(), 8);
  EXPECT_LE(measureText(text, *smaller).width, natural * 0.75f);
  // One half point more no longer fits.
  EXPECT_GT(measureText(text, UIFont("DejaVu Sans", smaller->pointSize() + 0.5f, false)).width,
            natural * 0.75f);
  EXPECT_EQ(fontFittingWidth(text, font, 5, true, 8)->pointSize(), 8);
  EXPECT_EQ(fontFittingWidth(text, UIFont::systemFontOfSize(std::numeric_limits<float>::infinity()),
                             5, true, 8)
                ->pointSize(),
            std::numeric_limits<float>::infinity());
  EXPECT_GT(fontFittingWidth(text, UIFont::systemFontOfSize(1e9f), 50, true, 8)->pointSize(), 0);
}

TEST_F(ViewDrawing, ControlsShowTheirState) {
  // A highlighted button that shows touches glows in its middle.
  const auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  button->setFrame(CGRectMake(0, 0, 40, 40));
  button->setShowsTouchWhenHighlighted(true);
  EXPECT_EQ(draw(*button, 40, 40).pixel(20, 20).a, 0);
  button->setHighlighted(true);
  EXPECT_GT(draw(*button, 40, 40).pixel(20, 20).a, 200);
  button->setShowsTouchWhenHighlighted(false);
  EXPECT_EQ(draw(*button, 40, 40).pixel(20, 20).a, 0);

  // A rounded field: white inside a grey edge; the caret shows only while editing.
  const auto field = UITextField::initWithFrame(CGRectMake(0, 0, 100, 26));
  field->setBorderStyle(UITextBorderStyleRoundedRect);
  const auto caretColumns = [&] {
    const Surface s = draw(*field, 100, 26);
    EXPECT_EQ(s.pixel(50, 20), (RGBA{255, 255, 255, 255}));
    EXPECT_LT(s.pixel(50, 25).r, 200);
    int blue = 0;
    for (int x = 0; x < 100; ++x) {
      const RGBA p = s.pixel(x, 13);
      if (p.b > 200 && p.r < 100) ++blue;
    }
    return blue;
  };
  EXPECT_EQ(caretColumns(), 0);
  ASSERT_TRUE(field->becomeFirstResponder());
  EXPECT_GE(caretColumns(), 2);
  // A text too long for the field keeps its end and the caret in sight.
  field->setText(std::string(60, '8'));
  EXPECT_GE(caretColumns(), 2);
  field->resignFirstResponder();
  EXPECT_EQ(caretColumns(), 0);
}

TEST_F(ViewDrawing, ALongTextIsDrawnAroundItsCaretAsAShortOneIs) {
  // Past what the text layout takes at once, the field still shows the text's end with the
  // caret while editing, and its start when not: the same pixels as a text just too long.
  const auto field = UITextField::initWithFrame(CGRectMake(0, 0, 100, 26));
  field->setBorderStyle(UITextBorderStyleRoundedRect);
  const auto pixelsOf = [&](const std::string& text) {
    field->setText(text);
    const Surface s = draw(*field, 100, 26);
    std::vector<RGBA> pixels;
    for (int y = 0; y < 26; ++y) {
      for (int x = 0; x < 100; ++x) pixels.push_back(s.pixel(x, y));
    }
    return pixels;
  };
  const auto repeated = [](const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
  };
  for (const bool editing : {true, false}) {
    if (editing) {
      ASSERT_TRUE(field->becomeFirstResponder());
    }
    const auto digits = pixelsOf("1" + std::string(28, '8') + "7");
    EXPECT_TRUE(pixelsOf("1" + std::string(20000, '8') + "7") == digits) << editing;
    EXPECT_FALSE(pixelsOf(std::string(30, '8')) == digits) << editing;  // its ends show
    // Two-byte characters are cut whole.
    EXPECT_TRUE(pixelsOf(repeated("\u00e9", 20000)) == pixelsOf(repeated("\u00e9", 30))) << editing;
    field->resignFirstResponder();
  }
}

}  // namespace
}  // namespace tessary::test
