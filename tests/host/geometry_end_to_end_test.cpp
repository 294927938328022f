// The picker's geometry through the real tessary-sim and bundle, on a phone and a tablet in
// both orientations: which side a choice goes to, the row inside its bubble, the overlay over
// the sliding view, touches that do and do not close it, and paging the row.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::Json;
using tessary::test::runScript;

struct Layout {
  const char* device;
  const char* orientation;
  double width, height;  // the screen in this orientation
};
constexpr Layout kLayouts[] = {{"phone", "portrait", 320, 480},
                               {"phone", "landscape", 480, 320},
                               {"tablet", "portrait", 768, 1024},
                               {"tablet", "landscape", 1024, 768}};

std::vector<double> numbers(const Json& array) {
  return array.get<std::vector<double>>();
}

// The row lies inside the bubble's body, in the overlay's coordinates.
void expectRowInBubble(const Json& overlay) {
  const Json* bubble = nullptr;
  const Json* row = nullptr;
  for (const auto& child : overlay.at("subviews")) {
    if (child.at("class").get<std::string>() == "UICalloutView") bubble = &child;
    if (child.at("class").get<std::string>() == "UIScrollView") row = &child;
  }
  ASSERT_TRUE(bubble && row);
  const auto outer = numbers(bubble->at("frame"));
  const auto body = numbers(bubble->at("subviews").at(0).at("frame"));
  const auto r = numbers(row->at("frame"));
  EXPECT_GE(r[0], outer[0] + body[0]);
  EXPECT_LE(r[0] + r[2], outer[0] + body[0] + body[2]);
  EXPECT_GE(r[1], outer[1] + body[1]);
  EXPECT_LE(r[1] + r[3], outer[1] + body[1] + body[3]);
}

class GeometryEndToEndTest : public tessary::test::PlatformTest {
 protected:
  // The amounts stay empty, so nothing asks for a rate.
  GeometryEndToEndTest() { EXPECT_EQ(runScript(root_.path(), "install\n").status, 0); }

  tessary::test::SimulatorRun run(const Layout& layout, const std::string& script,
                                  std::vector<std::string> args = {}) {
    args.insert(args.end(), {"--device", layout.device, "--orientation", layout.orientation});
    return runScript(root_.path(), script, args);
  }
  std::vector<Json> dumps(const Layout& layout, const std::string& script) {
    const auto result = run(layout, script);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.dumps();
  }

  static const Json* first(const Json& tree, const std::string& className) {
    std::vector<const Json*> found;
    tessary::test::collectViews(tree, className, found);
    return found.empty() ? nullptr : found.front();
  }
};

TEST_F(GeometryEndToEndTest, EachSidesButtonChoosesForItsSideInEveryLayout) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(std::string(layout.device) + " " + layout.orientation);
    std::remove(root_.host("/var/mobile/Library/Tessary/Recent.plist").c_str());
    const auto d = dumps(layout,
                         "show\nwait 1\n"
                         "tap button:USD\nwait 0.6\ndump\n"
                         "tap code:GBP\nwait 0.3\ndump\n"
                         "tap button:EUR\nwait 0.6\ndump\n"
                         "tap button:EUR\nwait 0.3\ndump\n");
    ASSERT_EQ(d.size(), 4u);
    // Open on the right: the overlay covers the sliding view's own space, and the expanded
    // row lies inside the bubble's body.
    for (const Json* open : {&d[0], &d[2]}) {
      const Json& overlay = open->at("overlay");
      ASSERT_FALSE(overlay.is_null());
      EXPECT_EQ(numbers(overlay.at("frame")),
                (std::vector<double>{0, 0, layout.width, layout.height - 20}));
      expectRowInBubble(overlay);
      const auto r = numbers((*first(overlay, "UIScrollView")).at("frame"));
      EXPECT_EQ(r[2], std::string(layout.device) == "phone" &&
                              std::string(layout.orientation) == "portrait"
                          ? 295
                          : 455);
    }
    // The code chosen after tapping the right button is the right side's.
    EXPECT_EQ(d[1].at("files").at("Recent.plist").at("right").get<std::string>(), "GBP");
    EXPECT_EQ(d[1].at("files").at("Recent.plist").at("left").get<std::string>(), "EUR");
    // The same button closes the picker.
    EXPECT_TRUE(d[3].at("overlay").is_null());
  }
}

TEST_F(GeometryEndToEndTest, OnlyATouchOnTheOverlayItselfClosesThePicker) {
  const Layout& phone = kLayouts[0];
  const auto opened = dumps(phone, "show\nwait 1\ntap button:EUR\nwait 0.6\ndump\n");
  ASSERT_EQ(opened.size(), 1u);
  const Json& overlay = opened[0].at("overlay");
  const Json* callout = first(overlay, "UICalloutView");
  const auto bubble = numbers(callout->at("frame"));
  const auto body = numbers(callout->at("subviews").at(0).at("frame"));
  const auto row = numbers((*first(overlay, "UIScrollView")).at("frame"));
  const Json* equals = nullptr;
  std::vector<const Json*> labels;
  tessary::test::collectViews(overlay, "UILabel", labels);
  for (const Json* label : labels) {
    if (label->at("text").get<std::string>() == "=") equals = label;
  }
  ASSERT_NE(equals, nullptr);
  const Json* converter = &overlay.at("subviews").at(1);
  const auto sub = numbers(converter->at("frame"));
  const auto eq = numbers(equals->at("frame"));
  // Screen points: the overlay starts under the 20-point status bar.
  const auto point = [](double x, double y) {
    std::ostringstream text;
    text << x << ',' << y + 20;
    return text.str();
  };
  // The bubble's body beside the row's far end, where the row does not cover it.
  const std::string onBubble =
      point(bubble[0] + body[0] + body[2] - 3, bubble[1] + body[1] + body[3] - 3);
  ASSERT_GT(bubble[0] + body[0] + body[2] - 3, row[0] + row[2]);
  const std::string onEquals = point(sub[0] + eq[0] + eq[2] / 2, sub[1] + eq[1] + eq[3] / 2);
  const std::string inGap = point(row[0] + 50.5, row[1] + row[3] / 2);
  for (const std::string& target : {onBubble, onEquals, inGap}) {
    SCOPED_TRACE(target);
    const auto d = dumps(phone, "show\nwait 1\ntap button:EUR\nwait 0.6\ntap " + target +
                                    "\nwait 0.3\ndump\ntap overlay\nwait 0.3\ndump\n");
    ASSERT_EQ(d.size(), 2u);
    ASSERT_FALSE(d[0].at("overlay").is_null());
    EXPECT_NE(first(d[0].at("overlay"), "UIScrollView"), nullptr);
    EXPECT_TRUE(d[1].at("overlay").is_null());
  }
}

TEST_F(GeometryEndToEndTest, TheRowPagesAndHidesWhatLiesOutsideIt) {
  const Layout& tablet = kLayouts[3];
  auto result = run(tablet, "show\nwait 1\ntap button:USD\nwait 0.6\ntap code:ISK\n");
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.err.find("code:ISK: it lies out of sight in its row; swipe left"),
            std::string::npos)
      << result.err;

  result = run(tablet,
               "show\nwait 1\ntap button:USD\nwait 0.6\nswipe left\nswipe left\nswipe right\n"
               "tap code:ISK\nwait 0.3\ndump\n",
               {"--transcript"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("> swipe left\n  EUR \"\" USD \"\"\n  row: DKK HKD"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("(page 3 of 4)"), std::string::npos);
  const auto d = result.dumps();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].at("files").at("Recent.plist").at("right").get<std::string>(), "ISK");

  // Nothing to swipe without a picker.
  result = run(tablet, "show\nswipe left\n");
  EXPECT_NE(result.err.find("swipe: row: no picker row is shown"), std::string::npos) << result.err;
}

TEST_F(GeometryEndToEndTest, ThePickerFollowsTheListWhereTheKeyboardScrollsIt) {
  for (const Layout& layout : {kLayouts[0], kLayouts[1]}) {
    SCOPED_TRACE(layout.orientation);
    // Opened while the keyboard holds the widget's row at the top of the list.
    auto d =
        dumps(layout, "show\nwait 1\ntap field:left\nwait 0.3\ntap button:EUR\nwait 0.6\ndump\n");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(numbers(d[0].at("table").at("contentOffset")), (std::vector<double>{0, 72}));
    const Json* overlay = &d[0].at("overlay");
    EXPECT_EQ(numbers(overlay->at("subviews").at(1).at("frame"))[1], 0);  // the converter
    const Json* bubble = first(*overlay, "UICalloutView");
    EXPECT_FALSE(bubble->at("above").get<bool>());
    EXPECT_EQ(numbers(bubble->at("anchorPoint")), (std::vector<double>{33, 35}));
    expectRowInBubble(*overlay);

    // Opened with the list at rest, then the keyboard comes and scrolls it.
    d = dumps(layout,
              "show\nwait 1\ntap button:EUR\nwait 0.6\ndump\ntap field:left\nwait 0.3\ndump\n");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(numbers(d[0].at("overlay").at("subviews").at(1).at("frame"))[1], 72);
    EXPECT_TRUE((*first(d[0].at("overlay"), "UICalloutView")).at("above").get<bool>());
    overlay = &d[1].at("overlay");
    EXPECT_EQ(numbers(overlay->at("subviews").at(1).at("frame"))[1], 0);
    EXPECT_EQ(numbers(overlay->at("subviews").at(0).at("frame"))[1], 0);  // the background with it
    EXPECT_FALSE((*first(*overlay, "UICalloutView")).at("above").get<bool>());
    expectRowInBubble(*overlay);
  }
}

TEST_F(GeometryEndToEndTest, RotationWithThePickerOpenCoversTheSlidingView) {
  const auto d = dumps(kLayouts[0],
                       "show\nwait 1\ntap button:EUR\nwait 0.6\nrotate landscaperight\ndump\n"
                       "rotate portrait\ndump\n");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(numbers(d[0].at("overlay").at("frame")), (std::vector<double>{0, 0, 480, 300}));
  EXPECT_EQ(numbers(d[1].at("overlay").at("frame")), (std::vector<double>{0, 0, 320, 460}));
}

TEST_F(GeometryEndToEndTest, TheSwapItemWorksWithoutItsImage) {
  std::remove(root_.host("/System/Library/WeeAppPlugins/Tessary.bundle/Invert.png").c_str());
  const auto result =
      run(kLayouts[0], "show\nwait 1\ntap field:left\ntap bar:Swap\ndump\n", {"--transcript"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("> tap bar:Swap\n  USD"), std::string::npos) << result.out;
  const auto d = result.dumps();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_TRUE(d[0].at("keyboard").at("accessory").at("items").at(2).at("image").is_null());
}

TEST_F(GeometryEndToEndTest, TheTranscriptShowsTheConverterOnTheOverlay) {
  const auto result = run(kLayouts[1], "show\nwait 1\ntap button:EUR\n", {"--transcript"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("> tap button:EUR\n  EUR \"\" USD \"\"\n"), std::string::npos)
      << result.out;
}

}  // namespace
