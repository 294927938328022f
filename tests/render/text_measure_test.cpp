#include <gtest/gtest.h>

#include <string>

#include "platform/render/pango_text.h"
#include "platform/render/text_measure_pango.h"
#include "platform/uikit/ui_label.h"

namespace {

CGSize measure(const std::string& text, CGFloat size, bool bold = false) {
  return measureText(text,
                     bold ? *UIFont::boldSystemFontOfSize(size) : *UIFont::systemFontOfSize(size));
}

CGSize fixedMeasurer(const std::string&, const UIFont&) {
  return {7, 9};
}

TEST(TextMeasure, PangoMeasuresTheSystemFont) {
  installPangoTextMeasurer();
  const CGSize equals = measure("=", 25);
  // DejaVu Sans at 25 px: "=" advances about 0.84 em; a line is about 1.16 em high.
  EXPECT_GE(equals.width, 15);
  EXPECT_LE(equals.width, 21);
  EXPECT_GE(equals.height, 29);
  EXPECT_LE(equals.height, 30);
  EXPECT_EQ(equals.width, std::ceil(equals.width));
  EXPECT_EQ(equals.height, std::ceil(equals.height));
  // Not the estimate, which gives 15 by 30.
  const CGSize estimate = estimateTextSize("=", *UIFont::systemFontOfSize(25));
  EXPECT_FALSE(equals.width == estimate.width && equals.height == estimate.height);

  EXPECT_GT(measure("Euro Member Countries", 12).width, measure("Euro", 12).width);
  EXPECT_GT(measure("1234.56", 17, true).width, measure("1234.56", 17).width);
  EXPECT_GT(measure("W", 30).width, measure("W", 10).width);
  EXPECT_GT(measure("W", 30).height, measure("W", 10).height);
  EXPECT_EQ(measure("", 17).width, 0);

  // A repeated measurement answers the same from the cached layout.
  EXPECT_EQ(measure("=", 25).width, equals.width);
  EXPECT_EQ(measure("=", 25).height, equals.height);
}

TEST(TextMeasure, HostileTextAndSizesHaveDefinedSizes) {
  installPangoTextMeasurer();
  const CGSize ascii = measure("ab", 17);
  // Invalid UTF-8 and NUL bytes are measured as replacement characters, on one line.
  const CGSize invalid = measure(std::string("a\xFF\xC0"
                                             "b",
                                             4),
                                 17);
  EXPECT_GT(invalid.width, ascii.width);
  EXPECT_EQ(invalid.height, ascii.height);
  EXPECT_GT(measure(std::string("a\0b", 3), 17).width, ascii.width);
  // A newline is drawn as a glyph, not a line break.
  EXPECT_LT(measure("a\nb", 17).height, 2 * ascii.height);

  for (CGFloat size : {0.0f, -5.0f, std::nanf(""), std::numeric_limits<CGFloat>::infinity()}) {
    const CGSize zero = measure("abc", size);
    EXPECT_EQ(zero.width, 0) << size;
    EXPECT_EQ(zero.height, 0) << size;
  }
  // Too long or too large for pango's arithmetic: the estimate.
  const std::string huge(1'000'000, 'W');
  const CGSize hugeSize = measure(huge, 25);
  EXPECT_EQ(hugeSize.width, estimateTextSize(huge, *UIFont::systemFontOfSize(25)).width);
  EXPECT_EQ(measure("W", 5000).width, 3000);
  // Long text still within the limit measures for real and stays positive.
  const CGSize longText = measure(std::string(7000, 'W'), 25);
  EXPECT_GT(longText.width, 7000 * 15);
  EXPECT_LT(longText.width, 7000 * 30);

  // Many distinct sizes go through the bounded font cache without losing answers.
  for (int i = 0; i < 200; ++i) EXPECT_GT(measure("x", 2 + static_cast<CGFloat>(i) / 2).width, 0);
  EXPECT_EQ(measure("=", 25).width, measure("=", 25).width);
}

TEST(TextMeasure, AnInstalledMeasurerReplacesPangoAndLabelsSizeToFitWithIt) {
  installPangoTextMeasurer();
  auto label = UILabel::initWithFrame(CGRectZero);
  label->setFont(UIFont::systemFontOfSize(25));
  label->setText("=");
  label->sizeToFit();
  const CGSize pango = pangoMeasureText("=", *UIFont::systemFontOfSize(25));
  EXPECT_EQ(label->frame().size.width, pango.width);
  EXPECT_EQ(label->frame().size.height, pango.height);

  setTextMeasurer(&fixedMeasurer);
  EXPECT_EQ(measure("anything", 12).width, 7);
  setTextMeasurer(&pangoMeasureText);
  EXPECT_EQ(measure("=", 25).width, pango.width);
}

}  // namespace

// A layout is kept for its text, font, width, wrapping and alignment: the same text set the
// same way gets it back as it was, and a change of any of them gets another, so one view's
// alignment never leaks into another's text. Texts pushed out by newer ones come back whole.
TEST(TextLayoutCache, TheSameSettingGetsTheSameLayoutAndAnotherGetsItsOwn) {
  const auto font = UIFont::systemFontOfSize(17);
  PangoLayout* right = render::textLayout("1234.5", *font, 100, false, true, NSTextAlignmentRight);
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(render::textLayout("1234.5", *font, 100, false, true, NSTextAlignmentRight), right);
  PangoLayout* centred =
      render::textLayout("1234.5", *font, 100, false, true, NSTextAlignmentCenter);
  EXPECT_NE(centred, right);
  EXPECT_EQ(pango_layout_get_alignment(right), PANGO_ALIGN_RIGHT);
  EXPECT_EQ(pango_layout_get_alignment(centred), PANGO_ALIGN_CENTER);
  EXPECT_NE(render::textLayout("1234.5", *font, 120, false, true, NSTextAlignmentRight), right);
  EXPECT_NE(render::textLayout("1234.5", *UIFont::boldSystemFontOfSize(17), 100, false, true,
                               NSTextAlignmentRight),
            right);

  for (int i = 0; i < 1200; ++i) render::textLayout(std::to_string(i), *font, 0, false, false);
  PangoLayout* again = render::textLayout("1234.5", *font, 100, false, true, NSTextAlignmentRight);
  ASSERT_NE(again, nullptr);
  EXPECT_STREQ(pango_layout_get_text(again), "1234.5");
  EXPECT_EQ(pango_layout_get_alignment(again), PANGO_ALIGN_RIGHT);
  EXPECT_EQ(pango_layout_get_width(again), 100 * PANGO_SCALE);
}
