// The host protocol's order, driven against a small fake bundle that logs each call.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "host/simulator.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using Calls = std::vector<std::string>;

class LifecycleTest : public tessary::test::PlatformTest {
 protected:
  std::unique_ptr<Simulator> start(
      UIInterfaceOrientation orientation = UIInterfaceOrientationPortrait,
      UIDevice::Kind device = UIDevice::Kind::Phone) {
    Simulator::Options options;
    options.root = root_.path();
    options.bundleDirectory = tessary::test::kFakeBundle;
    options.orientation = orientation;
    options.device = device;
    auto sim = std::make_unique<Simulator>(options);
    EXPECT_EQ(sim->install(), "");
    return sim;
  }
  // The fake's log, taken and cleared.
  Calls take(Simulator& sim) {
    const auto* bundle = sim.widgetBundle();
    if (!bundle) return {};
    using Log = std::vector<std::string>* (*)();
    auto* log = reinterpret_cast<Log>(dlsym(bundle->handle, "FakeWidgetCalls"))();
    Calls out = *log;
    log->clear();
    return out;
  }
};

TEST_F(LifecycleTest, DrivesTheProtocolInOrder) {
  auto sim = start();
  ASSERT_EQ(sim->show(), "");
  EXPECT_EQ(take(*sim), (Calls{"create", "viewHeight", "loadPlaceholderView",
                               "loadFullView width=316 x=0 cell=UITableViewCell"}));
  EXPECT_TRUE(UITextField::firstResponder());
  ASSERT_EQ(sim->show(), "");  // already shown: nothing happens
  EXPECT_EQ(take(*sim), Calls{});

  // Hiding ends the editing first, then unloads; the controller stays.
  ASSERT_EQ(sim->hide(), "");
  EXPECT_EQ(take(*sim), (Calls{"didEndEditing", "unloadView"}));
  EXPECT_FALSE(UITextField::firstResponder());
  ASSERT_EQ(sim->show(), "");
  EXPECT_EQ(take(*sim), (Calls{"viewHeight", "loadPlaceholderView",
                               "loadFullView width=316 x=0 cell=UITableViewCell"}));

  // Rotation turns the controller while shown; the view keeps the screen's width minus 4.
  ASSERT_EQ(sim->rotate(UIInterfaceOrientationLandscapeLeft), "");
  EXPECT_EQ(take(*sim), (Calls{"willRotate 4", "didRotate 1"}));
  EXPECT_EQ(sim->controller()->view()->frame(), CGRectMake(0, 0, 476, 85));
  EXPECT_EQ(sim->controller()->view()->subviews()[0]->frame(), CGRectMake(2, 0, 472, 85));
  ASSERT_EQ(sim->rotate(UIInterfaceOrientationLandscapeLeft), "");
  EXPECT_EQ(take(*sim), Calls{});
  ASSERT_EQ(sim->rotate(UIInterfaceOrientationLandscapeRight), "");
  EXPECT_EQ(take(*sim), (Calls{"willRotate 3", "didRotate 4"}));

  // Release hides and lets the controller go; the next show makes a new one, told first that
  // the interface is not in portrait.
  std::weak_ptr<BBWeeAppController> old = sim->controller();
  ASSERT_EQ(sim->release(), "");
  EXPECT_TRUE(old.expired());
  EXPECT_EQ(take(*sim), (Calls{"didEndEditing", "unloadView", "dealloc"}));
  ASSERT_EQ(sim->release(), "");
  ASSERT_EQ(sim->show(), "");
  EXPECT_EQ(take(*sim),
            (Calls{"create", "willRotate 3", "didRotate 1", "viewHeight", "loadPlaceholderView",
                   "loadFullView width=476 x=0 cell=UITableViewCell"}));
  EXPECT_EQ(sim->list().table()->rectForSection(sim->list().widgetSection()).size.height, 85);
}

TEST_F(LifecycleTest, TheWholeListHidesWithTheWidgetAndComesBackWithIt) {
  auto sim = start();
  ASSERT_EQ(sim->show(), "");
  take(*sim);
  ASSERT_EQ(sim->hideList(), "");
  EXPECT_TRUE(sim->list().slidingView()->isHidden());
  EXPECT_NE(sim->dump().find("\"hidden\":true}"), std::string::npos);
  EXPECT_FALSE(sim->isShown());
  EXPECT_EQ(take(*sim), (Calls{"didEndEditing", "unloadView"}));
  ASSERT_EQ(sim->showList(), "");
  EXPECT_FALSE(sim->list().slidingView()->isHidden());
  EXPECT_TRUE(sim->isShown());
  EXPECT_EQ(take(*sim), (Calls{"viewHeight", "loadPlaceholderView",
                               "loadFullView width=316 x=0 cell=UITableViewCell"}));
  // Showing the row brings the list back too.
  ASSERT_EQ(sim->hideList(), "");
  ASSERT_EQ(sim->show(), "");
  EXPECT_FALSE(sim->list().slidingView()->isHidden());
}

TEST_F(LifecycleTest, TabletRowsAreTheScreenWidthMinusFour) {
  auto sim = start(UIInterfaceOrientationPortrait, UIDevice::Kind::Tablet);
  ASSERT_EQ(sim->show(), "");
  EXPECT_EQ(take(*sim).back(), "loadFullView width=764 x=0 cell=UITableViewCell");
  ASSERT_EQ(sim->rotate(UIInterfaceOrientationLandscapeRight), "");
  EXPECT_EQ(sim->controller()->view()->frame().size.width, 1020);
  EXPECT_EQ(sim->list().window()->frame(), CGRectMake(0, 0, 1024, 768));
}

TEST_F(LifecycleTest, FlagsAreReadByNameAndMissingOnesAreNull) {
  auto sim = start();
  ASSERT_EQ(sim->show(), "");
  const auto dump = tessary::test::parseJson(sim->dump());
  ASSERT_TRUE(dump);
  const auto& flags = dump->at("flags");
  EXPECT_TRUE(flags.at("detailMode").get<bool>());
  EXPECT_TRUE(flags.at("left").is_null());
  EXPECT_EQ(flags.at("titleString").get<std::string>(), "Fake \"title\"");
  EXPECT_EQ(dump->at("widget").at("frame").get<std::vector<double>>(),
            (std::vector<double>{0, 0, 316, 85}));
  EXPECT_TRUE(dump->at("widget").at("subviews").at(1).at("firstResponder").get<bool>());
  EXPECT_EQ(dump->at("files").at("Entries.plist").at(0).get<std::string>(), "EUR");
  EXPECT_TRUE(dump->at("files").at("Rates.plist").is_null());
}

TEST_F(LifecycleTest, BrokenBundlesAreSkippedWithAReason) {
  Simulator::Options options;
  options.root = root_.path();
  const std::string plugins = root_.path() + "/System/Library/WeeAppPlugins/";
  std::filesystem::create_directories(plugins + "A.bundle");
  std::filesystem::create_directories(plugins + "B.bundle");
  std::filesystem::create_directories(plugins + "C.bundle");
  std::filesystem::create_directories(plugins + "D.bundle");
  root_.writeFile("/System/Library/WeeAppPlugins/B.bundle/Info.plist", "not a property list");
  root_.writeFile("/System/Library/WeeAppPlugins/C.bundle/Info.plist",
                  "{ CFBundleExecutable = \"../../evil.so\"; TessaryFactorySymbol = Make; }");
  root_.writeFile("/System/Library/WeeAppPlugins/D.bundle/Info.plist",
                  "{ CFBundleExecutable = \"D.so\"; TessaryFactorySymbol = Make; }");
  root_.writeFile("/System/Library/WeeAppPlugins/D.bundle/D.so",
                  "\x7f"
                  "ELF garbage");
  Simulator sim(options);
  const std::string problem = sim.show();
  EXPECT_TRUE(
      problem.starts_with("show: no widget bundle could be loaded; A.bundle: no readable "
                          "Info.plist; B.bundle: no readable Info.plist; C.bundle: "
                          "Info.plist names no executable in the bundle; D.bundle: "))
      << problem;
  EXPECT_FALSE(sim.controller());

  options.bundleDirectory = root_.path() + "/nowhere";
  Simulator other(options);
  EXPECT_EQ(other.install(), "install: no bundle folder at " + options.bundleDirectory);
}

// Each damage is refused with its reason, and no factory that is not the bundle's own is called.
TEST_F(LifecycleTest, DamagedBundlesAreRefusedWithTheirReason) {
  const std::string bundle = "/System/Library/WeeAppPlugins/Fake.bundle/";
  const auto refusal = [&](const std::string& factory) {
    auto sim = start();
    root_.writeFile(bundle + "Info.plist",
                    "{ CFBundleExecutable = Fake.so; TessaryFactorySymbol = " + factory + "; }");
    return sim->show();
  };

  const std::string prefix = "show: no widget bundle could be loaded; Fake.bundle: ";
  Simulator::Options installed;  // loads what is in the root, installing nothing
  installed.root = root_.path();
  EXPECT_EQ(refusal("detailMode"), prefix + "no factory function detailMode in the bundle");
  EXPECT_EQ(refusal("abort"), prefix + "no factory function abort in the bundle");
  EXPECT_EQ(refusal("free"), prefix + "no factory function free in the bundle");
  EXPECT_EQ(refusal("FakeWidgetCreate"), "");

  // A fresh file: the one loaded above stays mapped and must not shrink.
  const std::string library = root_.host(bundle + "Fake.so");
  const std::string built = std::string(tessary::test::kFakeBundle) + "/Fake.so";
  std::filesystem::remove(library);
  std::filesystem::copy_file(built, library);
  std::filesystem::resize_file(library, 4096);
  EXPECT_EQ(Simulator(installed).show(),
            prefix + "the executable is cut short: a segment lies outside the file");

  // A link out of the device root is not followed, though it leads to a sound library.
  std::filesystem::remove(library);
  std::filesystem::create_symlink(built, library);
  EXPECT_EQ(Simulator(installed).show(),
            prefix + "the executable cannot be read beneath the device root");
}

}  // namespace
