// The real tessary-sim on scripts, against the real bundle, in a temporary device root.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/host/host_test_support.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/quote_service.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::Json;
using tessary::test::LoopbackSocket;
using tessary::test::runScript;
using tessary::test::runSimulator;
using Numbers = std::vector<double>;

class EndToEndTest : public tessary::test::PlatformTest {
 protected:
  // The first subview of a view whose class is `className`, searched depth first.
  static const Json* find(const Json& view, const std::string& className, int skip = 0) {
    if (view.at("class").get<std::string>() == className && skip-- == 0) return &view;
    for (const auto& child : view.at("subviews")) {
      if (const Json* found = find(child, className, skip)) return found;
    }
    return nullptr;
  }
  static int count(const Json& view, const std::string& className) {
    int n = view.at("class").get<std::string>() == className;
    for (const auto& child : view.at("subviews")) n += count(child, className);
    return n;
  }
};

TEST_F(EndToEndTest, InstallShowHideAndReleaseThroughTheRealBundle) {
  const auto run = runScript(root_.path(),
                             "install\n"
                             "show   # the compact row\n"
                             "dump\n"
                             "hide\n"
                             "dump\n"
                             "show\n"
                             "dump\n"
                             "release\n"
                             "dump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 4u) << run.out;

  const std::string plugins = root_.path() + "/System/Library/WeeAppPlugins/Tessary.bundle/";
  EXPECT_TRUE(std::filesystem::exists(plugins + "Tessary.so"));
  EXPECT_TRUE(std::filesystem::exists(plugins + "Info.plist"));
  EXPECT_TRUE(std::filesystem::is_directory(root_.path() + "/var/mobile/Library/Preferences"));
  EXPECT_FALSE(
      std::filesystem::exists(root_.path() + "/var/mobile/Library/Preferences/orvendel.plist"));

  for (const Json* dump : {&dumps[0], &dumps[2]}) {
    const Json& widget = dump->at("widget");
    ASSERT_FALSE(widget.is_null());
    EXPECT_EQ(widget.at("frame").get<std::vector<double>>(), (Numbers{0, 0, 316, 40}));
    const Json& background = widget.at("subviews").at(0);
    EXPECT_EQ(background.at("class").get<std::string>(), "UIImageView");
    EXPECT_EQ(background.at("image").get<std::string>(), "Background.png");
    EXPECT_EQ(background.at("frame").get<std::vector<double>>(), (Numbers{2, 0, 312, 40}));
    // The full view: two amount fields and the two code buttons.
    ASSERT_EQ(widget.at("subviews").size(), 2u);
    EXPECT_EQ(count(widget, "UITextField"), 2);
    EXPECT_GE(count(widget, "UIButton"), 2);
    EXPECT_TRUE(dump->at("flags").at("portraitmode").get<bool>());
    EXPECT_FALSE(dump->at("flags").at("detailMode").get<bool>());
    // The sliding view under the 20-point status bar is 460 high; the table rests 40 shorter.
    EXPECT_EQ(dump->at("table").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 320, 420}));
    EXPECT_TRUE(dump->at("overlay").is_null());
    EXPECT_FALSE(dump->at("keyboard").at("visible").get<bool>());
    EXPECT_GT(dump->at("files").at("Currencies.plist").size(), 100u);
    EXPECT_FALSE(dump->at("files").at("Entries.plist").empty());
    EXPECT_TRUE(dump->at("files").at("orvendel.plist").is_null());
  }
  EXPECT_TRUE(dumps[1].at("widget").is_null());
  EXPECT_TRUE(dumps[3].at("widget").is_null());
  EXPECT_TRUE(dumps[3].at("alerts").empty());
  EXPECT_TRUE(dumps[0].at("requests").empty());
}

TEST_F(EndToEndTest, LayoutsFollowDeviceOrientationAndDetail) {
  struct Case {
    std::vector<std::string> args;
    std::string settings;
    Numbers widgetFrame, tableFrame;
    bool portrait;
  };
  const Case cases[] = {
      {{"--orientation", "landscape"}, "", {0, 0, 476, 40}, {0, 0, 480, 260}, false},
      {{"--device", "tablet"}, "", {0, 0, 764, 40}, {0, 0, 768, 964}, true},
      {{"--device", "old"}, "settings Detail true\n", {0, 0, 316, 85}, {0, 0, 320, 420}, true},
  };
  for (const Case& c : cases) {
    const auto run =
        runScript(root_.path(), "install\nsettings -\n" + c.settings + "show\ndump\n", c.args);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto dumps = run.dumps();
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].at("widget").at("frame").get<std::vector<double>>(), c.widgetFrame)
        << c.args[1];
    EXPECT_EQ(dumps[0].at("table").at("frame").get<std::vector<double>>(), c.tableFrame)
        << c.args[1];
    EXPECT_EQ(dumps[0].at("flags").at("portraitmode").get<bool>(), c.portrait) << c.args[1];
  }
  // Rotating a shown widget keeps its row at the screen's width minus 4.
  const auto run = runScript(root_.path(),
                             "install\nsettings -\nshow\nrotate landscapeleft\ndump\n"
                             "rotate 1\ndump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(dumps[0].at("widget").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 476, 40}));
  EXPECT_FALSE(dumps[0].at("flags").at("portraitmode").get<bool>());
  EXPECT_EQ(dumps[1].at("widget").at("frame").get<std::vector<double>>(), (Numbers{0, 0, 316, 40}));
  EXPECT_TRUE(dumps[1].at("flags").at("portraitmode").get<bool>());
}

TEST_F(EndToEndTest, ForcedRefreshDownloadsFromTheQuoteService) {
  tessary::test::QuoteService quotes;
  const auto run = runScript(root_.path(),
                             "install\nclock 800000000\nsettings Detail true\nshow\n"
                             "tap image:Refresh.png\ndump\nsettle\ndump\n",
                             {}, {"TESSARY_QUOTE_URL=" + quotes.baseUrl()});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 2u);
  const auto& requests = dumps[1].at("requests");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests.at(0).at("url").get<std::string>(),
            quotes.baseUrl() + "/d/quotes.csv?s=EURUSD=X&f=l1");
  EXPECT_EQ(requests.at(0).at("timeout").get<double>(), 15);
  EXPECT_TRUE(dumps[1].at("alerts").empty());
  EXPECT_FALSE(dumps[1].at("networkActivity").get<bool>());
  const Json& rates = dumps[1].at("files").at("Rates.plist");
  ASSERT_TRUE(rates.contains("EUR-USD")) << run.out;
  EXPECT_GT(std::stod(rates.at("EUR-USD").get<std::string>()), 0);
  EXPECT_EQ(dumps[1].at("files").at("Dates.plist").at("EUR-USD").get<double>(), 800000000);
}

TEST_F(EndToEndTest, RecordedRepliesAnswerRequestsWhereTheScriptPlacesThem) {
  // A socket that never answers: a request that reached it would still be in flight.
  const LoopbackSocket server;
  const auto run = runScript(root_.path(),
                             "install\nclock 800000000\nreplies script\nshow\ntap field:left\n"
                             "type 1\ntype 0\n"
                             "reply 1 500\ndump\nalert ok\n"  // an error status
                             "fail 2 -1009 \"Offline, \\\"here\\\".\"\ndump\nalert ok\n"
                             "type 0\ntype 0\n"  // the reply to the first arrives after the second
                             "body 3 \"2%0D\"\nbody 3 \"%0A\"\nreply 3 200\ndump\n"
                             "reply 3 200\n",
                             {}, {"TESSARY_QUOTE_URL=" + server.url("")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "line 20: reply: request 3 is not waiting for a recorded reply\n");
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 3u) << run.err;
  EXPECT_EQ(dumps[0].at("alerts").at(0).at("message"), "The quote service answered 500.");
  EXPECT_EQ(dumps[1].at("alerts").at(0).at("message"), "Offline, \"here\".");
  EXPECT_TRUE(dumps[2].at("alerts").empty());
  EXPECT_EQ(dumps[2].at("requests").size(), 4u);
  std::vector<const Json*> views;
  tessary::test::collectViews(dumps[2].at("widget"), "UITextField", views);
  std::vector<std::pair<double, std::string>> fields;
  for (const Json* view : views) {
    fields.emplace_back(view->at("frame").at(0).get<double>(), view->at("text").get<std::string>());
  }
  std::sort(fields.begin(), fields.end());
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].second, "1000");
  EXPECT_EQ(fields[1].second, "2000.00");
}

TEST_F(EndToEndTest, ErrorsStopTheScriptWithExitTwoAndTheLine) {
  struct Case {
    std::string script, message;
  };
  const Case cases[] = {
      {"install\nshow\nfly away\ndump\n", "line 3: unknown command \"fly\"\n"},
      {"install\nshow\ntap button:Nothing\n",
       "line 3: tap: no button titled \"Nothing\" outside a scroll view\n"},
      {"install\nshow\ntap overlay\n", "line 3: tap: overlay: no overlay is shown\n"},
      {"install\nshow\ntype 12\n", "line 3: type: no first responder\n"},
      {"install\nshow\nalert ok\n", "line 3: alert ok: no alert is shown\n"},
      {"install\nsnapshot /nonexistent-folder/out.png\n",
       "line 2: snapshot: cannot write /nonexistent-folder/out.png: no such folder\n"},
      {std::string(100000, 'x') + "\ndump\n", "line 1: the line is longer than 65536 bytes\n"},
      {"\x01\xff\xfe garbage\n", "line 1: unknown command \"\\u0001\xEF\xBF\xBD\xEF\xBF\xBD\"\n"},
  };
  for (const Case& c : cases) {
    const auto run = runScript(root_.path(), c.script);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.err, c.message);
    EXPECT_TRUE(run.dumps().empty());
  }

  // A reply that never comes: settle gives up after its real-time limit.
  const LoopbackSocket server;
  const auto run = runScript(root_.path(),
                             "install\nsettings Detail true\nshow\ntap image:Refresh.png\n"
                             "settle 0.2\n",
                             {}, {"TESSARY_QUOTE_URL=" + server.url("")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "line 5: settle: 1 request still in flight after 0.2 seconds\n");
}

TEST_F(EndToEndTest, CommandLineMistakesAreRefused) {
  const auto noRoot = runSimulator({"install"}, nullptr);
  EXPECT_EQ(noRoot.status, 2);
  EXPECT_TRUE(noRoot.err.starts_with("tessary-sim: --root is required\nusage:")) << noRoot.err;
  const auto unknown = runSimulator({"--root", root_.path(), "--colour", "red"}, nullptr);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.starts_with("tessary-sim: unknown argument --colour")) << unknown.err;
  for (const auto& [args, problem] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--device", "watch"}, "unknown device watch"},
           {{"--orientation", "sideways"}, "unknown orientation sideways"},
           {{"--device"}, "--device needs phone, tablet or old"},
           {{"--scale", "5"}, "--scale is a number from 1 to 4"},
           {{"--clock", "3e11"}, "--clock is a number of seconds since 2001-01-01 within 2.5e11"},
           {{"--script", "-", "install"}, "install and --script do not go together"}}) {
    std::vector<std::string> line = {"--root", root_.path()};
    line.insert(line.end(), args.begin(), args.end());
    const auto refused = runSimulator(line, nullptr);
    EXPECT_EQ(refused.status, 2) << problem;
    EXPECT_TRUE(refused.err.starts_with("tessary-sim: " + problem + "\nusage:")) << refused.err;
  }
  // Help is asked for, so it goes to standard output and the exit is a success.
  const auto help = runSimulator({"--root", root_.path(), "--help", "--colour"}, nullptr);
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("usage: tessary-sim")) << help.out;
  for (const char* option :
       {"--root", "--bundle", "--device", "--orientation", "--headless", "--script", "--transcript",
        "--snapshot-dir", "--scale", "--clock", "--record", "--report-idle", "--help"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const auto windowed = runSimulator({"--root", root_.path(), "--script", "-"}, nullptr);
  EXPECT_EQ(windowed.status, 2);
  EXPECT_TRUE(windowed.err.starts_with("tessary-sim: a script runs headless")) << windowed.err;
  // Without a display the window says so at once instead of waiting for one.
  const auto noDisplay = runSimulator({"--root", root_.path()}, nullptr,
                                      {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER="});
  EXPECT_EQ(noDisplay.status, 2);
  EXPECT_TRUE(noDisplay.err.starts_with("tessary-sim: no display to open a window on"))
      << noDisplay.err;
  const auto recordHeadless = runSimulator(
      {"--root", root_.path(), "--headless", "--script", "-", "--record", "x"}, nullptr);
  EXPECT_EQ(recordHeadless.status, 2);
  EXPECT_TRUE(recordHeadless.err.starts_with("tessary-sim: --record goes with the window only"))
      << recordHeadless.err;
  const auto missing = runSimulator(
      {"--root", root_.path(), "--headless", "--script", root_.path() + "/none"}, nullptr);
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "tessary-sim: cannot read the script " + root_.path() + "/none\n");
  const auto badBundle =
      runSimulator({"--root", root_.path(), "--bundle", root_.path(), "install"}, nullptr);
  EXPECT_EQ(badBundle.status, 2);
  EXPECT_TRUE(badBundle.err.starts_with("tessary-sim: install: the bundle folder's name"))
      << badBundle.err;
  const auto installed = runSimulator({"--root", root_.path() + "/fresh", "install"}, nullptr);
  EXPECT_EQ(installed.status, 0) << installed.err;
  EXPECT_TRUE(
      std::filesystem::exists(root_.path() + "/fresh/var/mobile/Library/Tessary/Currencies.plist"));
}

TEST_F(EndToEndTest, HostileDataFilesNeverCrashTheHost) {
  ASSERT_EQ(runScript(root_.path(), "install\n").status, 0);
  root_.writeFile("/var/mobile/Library/Tessary/Currencies.plist",
                  "(1, \"EUR\", { ISO = 5; Currency = (); }, { ISO = USD; Currency = Dollar; })");
  root_.writeFile("/var/mobile/Library/Tessary/Entries.plist", "(1, {}, EUR, USD)");
  root_.writeFile("/var/mobile/Library/Tessary/Recent.plist",
                  "{ left = (); right = 7; leftText = {}; rightText = <00ff>; }");
  root_.writeFile("/var/mobile/Library/Tessary/Rates.plist", std::string("bplist00\0\0\xff", 11));
  root_.writeFile("/var/mobile/Library/Preferences/orvendel.plist",
                  "{ Detail = (); Decimal = 99999999999; Update = -1; Alpha = nan; }");
  const auto run = runScript(root_.path(), "show\ndump\nhide\nshow\ndump\nrelease\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_FALSE(dumps[1].at("widget").is_null());
  EXPECT_EQ(dumps[0].at("files").at("Recent.plist").at("rightText").get<std::string>(),
            "AP8=");  // data as base64
}

}  // namespace
