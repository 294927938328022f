// The currency picker through the real tessary-sim and bundle: touches on the currency
// buttons, the code row and the overlay.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::collectViews;
using tessary::test::Json;
using tessary::test::runScript;
using Texts = std::vector<std::string>;

class PickerEndToEndTest : public tessary::test::PlatformTest {
 protected:
  PickerEndToEndTest() {
    EXPECT_EQ(runScript(root_.path(), "install\n").status, 0);
    root_.writeFile("/var/mobile/Library/Tessary/Rates.plist",
                    "<plist version=\"1.0\"><dict><key>EUR-USD</key><string>1.17</string>"
                    "<key>EUR-GBP</key><string>0.5</string></dict></plist>");
    root_.writeFile("/var/mobile/Library/Tessary/Dates.plist",
                    "<plist version=\"1.0\"><dict><key>EUR-USD</key><real>800000000</real>"
                    "<key>EUR-GBP</key><real>800000000</real></dict></plist>");
  }

  std::vector<Json> run(const std::string& script) {
    const auto result = runScript(root_.path(), "clock 800000000\n" + script);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.dumps();
  }

  // The views of a class in the widget's row or, while the picker is open, on the overlay.
  static std::vector<const Json*> find(const Json& dump, const std::string& className) {
    std::vector<const Json*> found;
    for (const char* tree : {"widget", "overlay"}) {
      if (!dump.at(tree).is_null()) collectViews(dump.at(tree), className, found);
    }
    return found;
  }
  static Texts converter(const Json& dump, const std::string& className, const char* key) {
    return tessary::test::converterTexts(dump, className, key);
  }
};

TEST_F(PickerEndToEndTest, ChoosingACodeForTheRightSideConvertsAndCloses) {
  const auto dumps =
      run("show\nwait 1\n"
          "tap field:left\ntype 10\ntap bar:Done\nwait 1\n"
          "tap button:USD\ndump\n"
          "wait 0.6\ndump\n"
          "tap code:GBP\ndump\n"
          "wait 0.3\ndump\n");
  ASSERT_EQ(dumps.size(), 4u);

  // Just opened: the dark overlay over the list holds the converter, the bubble and the row.
  const Json& opened = dumps[0];
  ASSERT_FALSE(opened.at("overlay").is_null());
  EXPECT_EQ(opened.at("overlay").at("class").get<std::string>(), "UIControl");
  EXPECT_NEAR(opened.at("overlay").at("backgroundColor").at(3).get<double>(), 0.7, 1e-6);
  EXPECT_EQ(converter(opened, "UITextField", "text"), (Texts{"10", "11.70"}));
  const auto bubbles = find(opened, "UICalloutView");
  ASSERT_EQ(bubbles.size(), 1u);
  EXPECT_EQ((*bubbles[0]).at("title").get<std::string>(), "    ");
  EXPECT_TRUE((*bubbles[0]).at("subtitle").is_null());
  const double anchorX = (*bubbles[0]).at("anchorPoint").at(0).get<double>();
  EXPECT_GT(anchorX, 160);  // the right button's side
  const auto rows = find(opened, "UIScrollView");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ((*rows[0]).at("frame").at(2).get<double>(), 0);

  // Expanded: the row is 295 wide and ends 19 right of the anchor.
  const Json& expanded = dumps[1];
  const auto bubble = find(expanded, "UICalloutView");
  ASSERT_EQ(bubble.size(), 1u);
  EXPECT_EQ((*bubble[0]).at("subtitle").get<std::string>(), std::string(85, ' '));
  const auto row = find(expanded, "UIScrollView");
  ASSERT_EQ(row.size(), 1u);
  const auto frame = (*row[0]).at("frame").get<std::vector<double>>();
  EXPECT_EQ(frame[2], 295);
  EXPECT_EQ(frame[0] + frame[2], anchorX + 19);
  EXPECT_EQ((*row[0]).at("alpha").get<double>(), 1);

  // The choice: the right side takes GBP and is the source, so 11.70 GBP converts into EUR.
  const Json& chosen = dumps[2];
  EXPECT_EQ(converter(chosen, "UIButton", "title"), (Texts{"EUR", "GBP"}));
  EXPECT_EQ(converter(chosen, "UITextField", "text"), (Texts{"23.40", "11.70"}));
  EXPECT_TRUE(chosen.at("flags").at("left").get<bool>());
  EXPECT_EQ(chosen.at("files").at("Recent.plist").at("right").get<std::string>(), "GBP");
  // Closing: the row is gone at once, the overlay fades to clear.
  ASSERT_FALSE(chosen.at("overlay").is_null());
  EXPECT_EQ(chosen.at("overlay").at("backgroundColor").at(3).get<double>(), 0);
  EXPECT_TRUE(find(chosen, "UIScrollView").empty());

  const Json& closed = dumps[3];
  EXPECT_TRUE(closed.at("overlay").is_null());
  EXPECT_EQ(converter(closed, "UIButton", "title"), (Texts{"EUR", "GBP"}));
}

TEST_F(PickerEndToEndTest, OverlayTouchesAndTheSameButtonClose) {
  const auto dumps =
      run("show\nwait 1\n"
          "tap button:EUR\nwait 1\ntap overlay\ndump\nwait 0.3\ndump\n"
          "tap button:EUR\nwait 1\ntap button:USD\nwait 1\ndump\n"
          "tap button:USD\nwait 0.3\ndump\n"
          "tap button:EUR\nhide\ndump\nshow\nwait 1\ndump\n");
  ASSERT_EQ(dumps.size(), 6u);
  // A touch on the overlay closes without a choice; the overlay fades, then goes.
  ASSERT_FALSE(dumps[0].at("overlay").is_null());
  EXPECT_EQ(dumps[0].at("overlay").at("backgroundColor").at(3).get<double>(), 0);
  EXPECT_TRUE(find(dumps[0], "UIScrollView").empty());
  EXPECT_TRUE(dumps[1].at("overlay").is_null());
  EXPECT_EQ(converter(dumps[1], "UIButton", "title"), (Texts{"EUR", "USD"}));

  // The other button moves the picker to the right under the same dark overlay.
  ASSERT_FALSE(dumps[2].at("overlay").is_null());
  EXPECT_NEAR(dumps[2].at("overlay").at("backgroundColor").at(3).get<double>(), 0.7, 1e-6);
  const auto bubbles = find(dumps[2], "UICalloutView");
  ASSERT_EQ(bubbles.size(), 1u);
  EXPECT_GT((*bubbles[0]).at("anchorPoint").at(0).get<double>(), 160);
  EXPECT_EQ(find(dumps[2], "UIScrollView").size(), 1u);
  // The same button again closes it.
  EXPECT_TRUE(dumps[3].at("overlay").is_null());

  // Hiding the list while the picker is open leaves no overlay behind for the next showing.
  EXPECT_TRUE(dumps[4].at("overlay").is_null());
  EXPECT_TRUE(dumps[5].at("overlay").is_null());
  EXPECT_EQ(converter(dumps[5], "UIButton", "title"), (Texts{"EUR", "USD"}));
}

TEST_F(PickerEndToEndTest, EveryCodeCanBeReachedAfterARotationEitherWay) {
  struct Case {
    const char* device;
    const char* builtIn;
    const char* turnedTo;
  };
  int reached = 0;
  for (const Case& c : {Case{"phone", "portrait", "3"}, Case{"phone", "landscape", "1"},
                        Case{"tablet", "portrait", "3"}, Case{"tablet", "landscape", "1"}}) {
    for (const char* code : {"EUR", "USD"}) {
      const std::string where = std::string(c.device) + " built in " + c.builtIn + ", " + code;
      const auto result =
          runScript(root_.path(),
                    "clock 800000000\nshow\nwait 1\nrotate " + std::string(c.turnedTo) +
                        "\ntap button:" + code + "\nwait 1\ndump\n",
                    {"--device", c.device, "--orientation", c.builtIn});
      // A button the turn left off the screen cannot be tapped; nothing to reach then.
      if (result.status != 0 && result.err.find("no visible part") != std::string::npos) continue;
      ++reached;
      ASSERT_EQ(result.status, 0) << where << result.err;
      const auto dumps = result.dumps();
      ASSERT_EQ(dumps.size(), 1u) << where;
      const auto overlay = dumps[0].at("overlay").at("frame").get<std::vector<double>>();
      const auto rows = find(dumps[0], "UIScrollView");
      ASSERT_EQ(rows.size(), 1u) << where;
      const auto row = (*rows[0]).at("frame").get<std::vector<double>>();
      EXPECT_GE(row[0], 0) << where;
      EXPECT_LE(row[0] + row[2], overlay[2]) << where;
      EXPECT_GE(row[2], 295) << where;
    }
  }
  EXPECT_EQ(reached, 7);  // the phone's right button lies off a portrait screen
}

TEST_F(PickerEndToEndTest, AnOldFadeLeavesTheReopenedPickerOpen) {
  const auto dumps =
      run("show\nwait 1\ntap button:EUR\nwait 1\ntap overlay\nwait 0.05\nhide\nshow\n"
          "tap button:EUR\nwait 0.25\ndump\nwait 1\ndump\n");
  ASSERT_EQ(dumps.size(), 2u);
  for (const Json& dump : dumps) {
    ASSERT_FALSE(dump.at("overlay").is_null());
    EXPECT_NEAR(dump.at("overlay").at("backgroundColor").at(3).get<double>(), 0.7, 1e-6);
    EXPECT_EQ(find(dump, "UICalloutView").size(), 1u);
    EXPECT_EQ(converter(dump, "UIButton", "title"), (Texts{"EUR", "USD"}));
  }
  const auto rows = find(dumps[1], "UIScrollView");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ((*rows[0]).at("frame").at(2).get<double>(), 295);
}

}  // namespace
