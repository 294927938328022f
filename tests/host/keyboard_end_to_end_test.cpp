// Typing, the keyboard bar and keyboard avoidance through the real tessary-sim and bundle.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/host/host_test_support.h"
#include "tests/support/quote_service.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::collectViews;
using tessary::test::Json;
using tessary::test::runScript;
using Numbers = std::vector<double>;

// The clock every script pins, and a rate for EUR-USD cached at that time.
constexpr const char* kClock = "clock 800000000\n";

class KeyboardEndToEndTest : public tessary::test::PlatformTest {
 protected:
  KeyboardEndToEndTest() {
    EXPECT_EQ(runScript(root_.path(), "install\n").status, 0);
    root_.writeFile("/var/mobile/Library/Tessary/Rates.plist",
                    "<plist version=\"1.0\"><dict><key>EUR-USD</key><string>1.17</string>"
                    "</dict></plist>");
    root_.writeFile("/var/mobile/Library/Tessary/Dates.plist",
                    "<plist version=\"1.0\"><dict><key>EUR-USD</key><real>800000000</real>"
                    "</dict></plist>");
  }

  // Runs the script after the pinned clock; every dump it makes, or a failure.
  std::vector<Json> run(const std::string& script, const std::vector<std::string>& args = {},
                        const std::vector<std::string>& environment = {}) {
    const auto result = runScript(root_.path(), kClock + script, args, environment);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.dumps();
  }

  // The widget's views of that class, left to right.
  static std::vector<const Json*> leftToRight(const Json& dump, const std::string& className) {
    std::vector<const Json*> found;
    collectViews(dump.at("widget"), className, found);
    std::stable_sort(found.begin(), found.end(), [](const Json* a, const Json* b) {
      return a->at("frame").at(0).get<double>() < b->at("frame").at(0).get<double>();
    });
    return found;
  }
  // The two amount fields' texts, left and right.
  static std::vector<std::string> texts(const Json& dump) {
    std::vector<std::string> out;
    for (const Json* field : leftToRight(dump, "UITextField"))
      out.push_back(field->at("text").get<std::string>());
    return out;
  }
  static std::vector<std::string> responders(const Json& dump) {
    std::vector<std::string> out;
    for (const Json* field : leftToRight(dump, "UITextField")) {
      out.push_back(field->at("firstResponder").get<bool>() ? "yes" : "no");
    }
    return out;
  }
  // The titles of the code buttons (three capital letters), left to right.
  static std::vector<std::string> codes(const Json& dump) {
    std::vector<std::string> out;
    for (const Json* button : leftToRight(dump, "UIButton")) {
      const std::string title = button->at("title").get<std::string>();
      if (title.size() == 3) out.push_back(title);
    }
    return out;
  }
  // The detail labels' texts (the currencies' names), left to right.
  static std::vector<std::string> names(const Json& dump) {
    std::vector<std::string> out;
    for (const Json* label : leftToRight(dump, "UILabel")) {
      const std::string text = label->at("text").get<std::string>();
      if (text.size() > 3 && label->at("frame").at(3).get<double>() == 15) out.push_back(text);
    }
    return out;
  }
};

using Texts = std::vector<std::string>;

TEST_F(KeyboardEndToEndTest, TypingIsFilteredAndConvertsAtEveryKey) {
  const auto dumps =
      run("show\n"
          "tap field:left\n"
          "type 12\n"
          "dump\n"
          "type -\ntype \" \"\ntype e\ntype \xEF\xBC\x91\n"  // minus, space, e, a full-width 1
          "paste \"12.50 EUR\"\n"                            // refused whole
          "dump\n"
          "paste .5\n"
          "type ,\n"
          "dump\n"
          "backspace 2\n"
          "dump\n"
          "tap field:right\n"
          "type -\n"  // refused, but the right side is now the source
          "dump\n"
          "backspace 100\n"
          "dump\n");
  ASSERT_EQ(dumps.size(), 6u);
  EXPECT_EQ(texts(dumps[0]), (Texts{"12", "14.04"}));
  EXPECT_EQ(responders(dumps[0]), (Texts{"yes", "no"}));
  EXPECT_TRUE(dumps[0].at("flags").at("editing").get<bool>());
  EXPECT_TRUE(dumps[0].at("keyboard").at("visible").get<bool>());
  EXPECT_EQ(dumps[0].at("keyboard").at("type").get<double>(), 8);  // the decimal pad on a phone
  EXPECT_EQ(texts(dumps[1]), (Texts{"12", "14.04"}));
  EXPECT_EQ(texts(dumps[2]), (Texts{"12.5,", "14.62"}));  // in single precision, 14.624999
  EXPECT_EQ(texts(dumps[3]), (Texts{"12.", "14.04"}));
  EXPECT_TRUE(dumps[3].at("flags").at("left").get<bool>());
  EXPECT_EQ(responders(dumps[4]), (Texts{"no", "yes"}));
  EXPECT_FALSE(dumps[4].at("flags").at("left").get<bool>());
  EXPECT_EQ(texts(dumps[4]), (Texts{"12.", "14.04"}));
  EXPECT_TRUE(dumps[4].at("keyboard").at("visible").get<bool>());
  // Deleting the whole source empties the other side too.
  EXPECT_EQ(texts(dumps[5]), (Texts{"", ""}));
  EXPECT_TRUE(dumps[5].at("requests").empty());  // the cached rate served every key
}

TEST_F(KeyboardEndToEndTest, NextAlternatesAndDoneEndsEditing) {
  const auto dumps =
      run("show\ntap field:left\ntype 10\n"
          "tap bar:Next\ndump\n"
          "type 0\n"  // the right side is the source now
          "tap bar:Next\ndump\n"
          "tap bar:Done\ndump\n");
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(responders(dumps[0]), (Texts{"no", "yes"}));
  EXPECT_FALSE(dumps[0].at("flags").at("left").get<bool>());
  EXPECT_TRUE(dumps[0].at("flags").at("editing").get<bool>());
  EXPECT_TRUE(dumps[0].at("keyboard").at("visible").get<bool>());
  EXPECT_EQ(responders(dumps[1]), (Texts{"yes", "no"}));
  EXPECT_TRUE(dumps[1].at("flags").at("left").get<bool>());
  EXPECT_EQ(texts(dumps[1]), (Texts{"10.00", "11.700"}));
  // The keyboard stayed up throughout: the table never went back to its resting height.
  EXPECT_EQ(dumps[1].at("table").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 320, 180}));
  EXPECT_EQ(responders(dumps[2]), (Texts{"no", "no"}));
  EXPECT_FALSE(dumps[2].at("flags").at("editing").get<bool>());
  EXPECT_TRUE(dumps[2].at("flags").at("left").get<bool>());
  EXPECT_FALSE(dumps[2].at("keyboard").at("visible").get<bool>());
  EXPECT_EQ(dumps[2].at("table").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 320, 420}));
}

TEST_F(KeyboardEndToEndTest, CopyPasteAndClearOnTheBar) {
  const auto dumps =
      run("pasteboard keep\n"
          "show\ntap field:left\n"
          "tap bar:Copy\ndump\n"             // 0: an empty source leaves the pasteboard
          "type 12,5\ntap bar:Copy\ndump\n"  // 1
          "backspace 4\ntype 10\npasteboard 2.5\n"
          "tap bar:Paste\ndump\n"  // 2: at the end, converted as typing is
          "pasteboard \"1 000\"\ntap bar:Paste\n"
          "pasteboard -3\ntap bar:Paste\n"
          "pasteboard \"3 EUR\"\ntap bar:Paste\n"
          "pasteboard \"\"\ntap bar:Paste\n"
          "dump\n"           // 3
          "tap bar:Paste\n"  // a second touch of a segment acts again
          "pasteboard 7\ntap bar:Paste\ntap bar:Paste\ndump\n"  // 4
          "tap bar:Clear\ndump\n"                               // 5
          "tap bar:Clear\n"                                     // both empty: nothing
          "tap bar:Next\ntap bar:Paste\n"                       // into the right, converted
          "tap bar:Next\ndump\n"     // 6: and the left is the source again
          "tap bar:Clear\ndump\n");  // 7
  ASSERT_EQ(dumps.size(), 8u);
  EXPECT_EQ(dumps[0].at("pasteboard").get<std::string>(), "keep");
  EXPECT_EQ(dumps[1].at("pasteboard").get<std::string>(), "12,5");
  EXPECT_EQ(texts(dumps[2]), (Texts{"102.5", "119.92"}));
  EXPECT_EQ(texts(dumps[3]), (Texts{"102.5", "119.92"}));
  EXPECT_EQ(texts(dumps[4]), (Texts{"102.577", "120.02"}));
  EXPECT_EQ(texts(dumps[5]), (Texts{"", ""}));
  EXPECT_EQ(texts(dumps[6]), (Texts{"5.98", "7"}));
  EXPECT_TRUE(dumps[6].at("flags").at("left").get<bool>());
  EXPECT_EQ(texts(dumps[7]), (Texts{"", ""}));
  // The segments are momentary: none stays selected.
  const Json& bar = dumps[7].at("keyboard").at("accessory");
  ASSERT_EQ(bar.at("class").get<std::string>(), "UIToolbar");
  const Json& segments = bar.at("subviews").at(0);
  EXPECT_EQ(segments.at("class").get<std::string>(), "UISegmentedControl");
  EXPECT_EQ(segments.at("selectedSegmentIndex").get<double>(), -1);
}

TEST_F(KeyboardEndToEndTest, TheListShortensAboveTheKeyboardInEveryOrientation) {
  struct Case {
    std::vector<std::string> args;
    double barHeight;
    Numbers keyboard, tableUp, tableDown;
  };
  // Landscape: the begin frame is 194 wide (162 for the keys, 32 for the bar), so the table
  // is 300 - 40 - (194 - 20) = 86 high. A tablet's list is never moved.
  const Case cases[] = {
      {{}, 44, {0, 220, 320, 260}, {0, 0, 320, 180}, {0, 0, 320, 420}},
      {{"--orientation", "landscape"}, 32, {0, 126, 480, 194}, {0, 0, 480, 86}, {0, 0, 480, 260}},
      {{"--device", "tablet"}, 44, {0, 716, 768, 308}, {0, 0, 768, 964}, {0, 0, 768, 964}},
      {{"--device", "tablet", "--orientation", "landscape"},
       44,
       {0, 372, 1024, 396},
       {0, 0, 1024, 708},
       {0, 0, 1024, 708}},
  };
  for (const Case& c : cases) {
    const std::string label = c.args.empty() ? "portrait phone" : c.args[1];
    const auto dumps =
        run("show\ntap field:left\nwait 0.25\ndump\ntap bar:Done\nwait 0.25\ndump\n", c.args);
    ASSERT_EQ(dumps.size(), 2u) << label;
    const Json& up = dumps[0];
    EXPECT_TRUE(up.at("keyboard").at("visible").get<bool>());
    EXPECT_EQ(up.at("keyboard").at("frame").get<std::vector<double>>(), c.keyboard) << label;
    const Json& bar = up.at("keyboard").at("accessory");
    EXPECT_EQ(bar.at("class").get<std::string>(), "UIToolbar");
    EXPECT_EQ(bar.at("frame").get<std::vector<double>>(),
              (Numbers{0, 0, c.keyboard[2], c.barHeight}))
        << label;
    EXPECT_EQ(bar.at("barStyle").get<double>(), 2);
    EXPECT_EQ(up.at("table").at("frame").get<std::vector<double>>(), c.tableUp) << label;
    const Json& down = dumps[1];
    EXPECT_FALSE(down.at("keyboard").at("visible").get<bool>());
    EXPECT_TRUE(down.at("keyboard").at("frame").is_null());
    EXPECT_TRUE(down.at("keyboard").at("accessory").is_null());
    EXPECT_EQ(down.at("table").at("frame").get<std::vector<double>>(), c.tableDown) << label;
  }
  // The bar's items, left to right: Next at the left edge, Done at the right.
  const auto dumps = run("show\ntap field:right\ndump\n");
  ASSERT_EQ(dumps.size(), 1u);
  const auto& items = dumps[0].at("keyboard").at("accessory").at("items");
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items.at(0).at("title").get<std::string>(), "Next");
  EXPECT_EQ(items.at(2).at("image").get<std::string>(), "Invert.png");
  EXPECT_TRUE(items.at(4).at("customView").get<bool>());
  EXPECT_EQ(items.at(6).at("title").get<std::string>(), "Done");
  EXPECT_EQ(items.at(6).at("systemItem").get<double>(), 0);
}

TEST_F(KeyboardEndToEndTest, AutoScrollBringsTheRowToTheTopOnlyWhenOn) {
  const auto on = run("show\ndump\ntap field:left\ndump\n");
  ASSERT_EQ(on.size(), 2u);
  EXPECT_EQ(on[0].at("table").at("contentOffset").get<std::vector<double>>(), (Numbers{0, 0}));
  // The widget's row is the second: the first sample row above it is 72 high.
  EXPECT_EQ(on[1].at("table").at("contentOffset").get<std::vector<double>>(), (Numbers{0, 72}));
  const auto off = run("settings AutoScroll false\nshow\ntap field:left\ndump\n");
  ASSERT_EQ(off.size(), 1u);
  EXPECT_EQ(off[0].at("table").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 320, 180}));
  EXPECT_EQ(off[0].at("table").at("contentOffset").get<std::vector<double>>(), (Numbers{0, 0}));
}

TEST_F(KeyboardEndToEndTest, SwapMovesCodesAndNamesAndClearIgnoresEmptyFields) {
  const auto dumps =
      run("settings Detail true\nshow\n"
          "tap image:Clear.png\n"                 // both empty: nothing to clear, no conversion
          "tap field:left\ntap bar:Swap\ndump\n"  // both empty: only codes and names move
          "tap bar:Swap\ntype 10\ntap bar:Swap\ndump\n"
          "tap image:Clear.png\ndump\n");
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(codes(dumps[0]), (Texts{"USD", "EUR"}));
  EXPECT_EQ(names(dumps[0]), (Texts{"US Dollar", "Euro"}));
  EXPECT_EQ(texts(dumps[0]), (Texts{"", ""}));
  // The left side keeps its amount, now in dollars, and the right shows it in euros.
  EXPECT_EQ(codes(dumps[1]), (Texts{"USD", "EUR"}));
  EXPECT_EQ(names(dumps[1]), (Texts{"US Dollar", "Euro"}));
  EXPECT_EQ(texts(dumps[1]), (Texts{"10", "8.55"}));
  EXPECT_TRUE(dumps[1].at("keyboard").at("visible").get<bool>());  // the bar's swap keeps editing
  EXPECT_EQ(texts(dumps[2]), (Texts{"", ""}));
  EXPECT_TRUE(dumps[2].at("requests").empty());
}

TEST_F(KeyboardEndToEndTest, ASwapWhileADownloadRunsConvertsTheReplyWithTheNewSides) {
  // No cached rate: the first key starts a download that the service holds back.
  root_.writeFile("/var/mobile/Library/Tessary/Rates.plist", "{}");
  root_.writeFile("/var/mobile/Library/Tessary/Dates.plist", "{}");
  tessary::test::QuoteService quotes({"--delay", "300"});
  const auto dumps = run("show\ntap field:left\ntype 100\ndump\ntap bar:Swap\ndump\nsettle\ndump\n",
                         {}, {"TESSARY_QUOTE_URL=" + quotes.baseUrl()});
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(texts(dumps[0]), (Texts{"100", ""}));
  ASSERT_FALSE(dumps[0].at("requests").empty());
  EXPECT_EQ(dumps[0].at("requests").at(0).at("url").get<std::string>(),
            quotes.baseUrl() + "/d/quotes.csv?s=EURUSD=X&f=l1");
  EXPECT_TRUE(dumps[1].at("networkActivity").get<bool>());  // still waiting when the swap came
  EXPECT_EQ(codes(dumps[1]), (Texts{"USD", "EUR"}));

  const Json& last = dumps[2];
  EXPECT_TRUE(last.at("alerts").empty());
  ASSERT_TRUE(last.at("files").at("Rates.plist").contains("EUR-USD"))
      << last.at("files").at("Rates.plist").get<std::string>();
  const double eurUsd =
      std::stod(last.at("files").at("Rates.plist").at("EUR-USD").get<std::string>());
  ASSERT_GT(eurUsd, 0);
  const auto after = texts(last);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], "100");
  // 100 dollars in euros, not 100 euros in dollars.
  EXPECT_NEAR(std::stod(after[1]), 100 / eurUsd, 0.02) << after[1];
}

TEST_F(KeyboardEndToEndTest, BarTargetsNeedAShownBar) {
  struct Case {
    std::string script, message;
  };
  const Case cases[] = {
      {"show\ntap bar:Next\n", "line 3: tap: bar:Next: no keyboard bar is shown\n"},
      // Going down counts as gone.
      {"show\ntap field:left\ntap bar:Done\ntap bar:Copy\n",
       "line 5: tap: bar:Copy: no keyboard bar is shown\n"},
      {"show\ntap field:left\ntap bar:Done\ntype 1\n", "line 5: type: no first responder\n"},
      {"show\ntap field:left\nhide\nbackspace\n", "line 5: backspace: no first responder\n"},
      {"show\ntap field:left\ntap bar:Cut\n", "line 4: tap: unknown bar item \"Cut\"\n"},
  };
  for (const Case& c : cases) {
    const auto result = runScript(root_.path(), kClock + c.script);
    EXPECT_EQ(result.status, 2) << c.script;
    EXPECT_EQ(result.err, c.message);
  }
}

}  // namespace
