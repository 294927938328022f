// The figures the widget shows through the real tessary-sim and bundle, with the quote service
// stopped: a failed download, amounts across a new showing and a store that holds both orders
// of a pair.
#include <gtest/gtest.h>

#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::Json;
using tessary::test::runScript;
using Texts = std::vector<std::string>;

class FiguresEndToEndTest : public tessary::test::PlatformTest {
 protected:
  static constexpr double kNow = 800000000;

  FiguresEndToEndTest() { EXPECT_EQ(runScript(root_.path(), "install\n").status, 0); }

  // Rates and their dates, in days before the clock; the pair EUR|USD with no amounts.
  void store(const std::vector<std::tuple<std::string, std::string, double>>& entries) {
    std::string rates, dates;
    for (const auto& [key, rate, age] : entries) {
      rates += "<key>" + key + "</key><string>" + rate + "</string>";
      dates += "<key>" + key + "</key><real>" + std::to_string(kNow - age * 86400) + "</real>";
    }
    root_.writeFile("/var/mobile/Library/Tessary/Rates.plist",
                    "<plist version=\"1.0\"><dict>" + rates + "</dict></plist>");
    root_.writeFile("/var/mobile/Library/Tessary/Dates.plist",
                    "<plist version=\"1.0\"><dict>" + dates + "</dict></plist>");
    root_.writeFile("/var/mobile/Library/Tessary/Recent.plist",
                    "<plist version=\"1.0\"><dict><key>left</key><string>EUR</string>"
                    "<key>right</key><string>USD</string></dict></plist>");
  }

  std::vector<Json> run(const std::string& script, const char* device = "phone") {
    const auto result = runScript(root_.path(), "clock 800000000\n" + script, {"--device", device},
                                  {"TESSARY_QUOTE_URL=http://127.0.0.1:9"});
    EXPECT_EQ(result.status, 0) << result.err;
    return result.dumps();
  }

  static Texts fields(const Json& dump) {
    return tessary::test::converterTexts(dump, "UITextField", "text");
  }
  static Texts codes(const Json& dump) {
    return tessary::test::converterTexts(dump, "UIButton", "title");
  }
};

TEST_F(FiguresEndToEndTest, AFailedDownloadLeavesNoFigureOfAnotherCode) {
  for (const char* device : {"phone", "tablet"}) {
    store({{"EUR-USD", "1.1415", 0.5}});
    // The right side takes yen: 250 euros have no rate into yen, so the dollar figure goes.
    auto dumps =
        run("show\nwait 1\ntap field:left\ntype 250\ntap bar:Done\nwait 1\ndump\n"
            "tap button:USD\nwait 1\ntap code:JPY\nsettle\nwait 0.3\ndump\n",
            device);
    ASSERT_EQ(dumps.size(), 2u) << device;
    EXPECT_EQ(fields(dumps[0]), (Texts{"250", "285.38"})) << device;
    EXPECT_EQ(codes(dumps[1]), (Texts{"EUR", "JPY"})) << device;
    EXPECT_EQ(fields(dumps[1]), (Texts{"250", ""})) << device;
    EXPECT_EQ(dumps[1].at("alerts").size(), 1u) << device;
    store({{"EUR-USD", "1.1415", 0.5}});

    // The left side takes yen while the right field is edited: the right stays the source,
    // and the left figure goes.
    dumps =
        run("show\nwait 1\ntap field:right\ntype 100\n"
            "tap button:EUR\nwait 1\ntap code:JPY\nsettle\nwait 0.3\ndump\n",
            device);
    ASSERT_EQ(dumps.size(), 1u) << device;
    EXPECT_EQ(codes(dumps[0]), (Texts{"JPY", "USD"})) << device;
    EXPECT_EQ(fields(dumps[0]), (Texts{"", "100"})) << device;
    EXPECT_EQ(dumps[0].at("alerts").size(), 1u) << device;
  }
}

TEST_F(FiguresEndToEndTest, AmountsComeBackBesideTheirCodes) {
  store({{"EUR-USD", "1.1415", 0.5}});
  const auto dumps = run(
      // Swapped, hidden and shown: each amount beside its own code.
      "show\nwait 1\ntap field:left\ntype 100\n"
      "tap bar:Swap\ndump\ntap bar:Done\nwait 1\nhide\nshow\nwait 1\ndump\n"
      // Swapped, then a new code chosen on the left: the pair recorded is the pair shown.
      "tap field:left\ntap bar:Swap\ntap bar:Done\nwait 1\n"
      "tap button:USD\nwait 1\ntap code:GBP\nsettle\nwait 0.3\nalert ok\n"
      "hide\nshow\nwait 1\ndump\n");
  ASSERT_EQ(dumps.size(), 3u);
  EXPECT_EQ(codes(dumps[0]), (Texts{"USD", "EUR"}));
  EXPECT_EQ(fields(dumps[0]), (Texts{"100", "87.60"}));
  EXPECT_EQ(codes(dumps[1]), (Texts{"EUR", "USD"}));
  EXPECT_EQ(fields(dumps[1]), (Texts{"87.60", "100"}));
  EXPECT_EQ(codes(dumps[2]), (Texts{"GBP", "USD"}));
  EXPECT_EQ(fields(dumps[2]), (Texts{"87.60", ""}));
}

TEST_F(FiguresEndToEndTest, TheFresherOfTwoStoredOrdersServesBothSides) {
  // A stale EUR-USD beside a USD-EUR stored yesterday by a forced refresh from the right.
  for (const char* device : {"phone", "tablet"}) {
    store({{"EUR-USD", "1.0", 10}, {"USD-EUR", "0.8", 1}});
    const auto dumps =
        run("show\nwait 1\ntap field:left\ntype 100\ndump\n"
            "tap field:right\nbackspace 6\ntype 100\ndump\n",
            device);
    ASSERT_EQ(dumps.size(), 2u) << device;
    EXPECT_EQ(fields(dumps[0]), (Texts{"100", "125.00"})) << device;
    EXPECT_EQ(fields(dumps[1]), (Texts{"80.00", "100"})) << device;
    EXPECT_TRUE(dumps[1].at("requests").empty()) << device;
    EXPECT_TRUE(dumps[1].at("alerts").empty()) << device;
  }
}

}  // namespace
