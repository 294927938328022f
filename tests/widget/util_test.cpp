#include <dlfcn.h>

#include <cstdio>
#include <set>

#include "build_paths.h"
#include "tests/widget/widget_fixture.h"
#include "widget/util/perform_block_after_delay.h"
#include "widget/util/quick_alert.h"

namespace tessary::test {
namespace {

using PlugIn = PlatformTest;

using Utilities = WidgetTest;

TEST_F(Utilities, QuickAlertsUseUpTheirTitle) {
  quickAlert(NSStr("no title yet"));
  setQuickQlertTitle(NSStr("First"));
  setQuickQlertTitle(NSNumber::numberWithInteger(2));  // the second title replaces the first
  quickAlert(NSStr("one"));
  quickAlert(NSStr("two"));
  quickAlertWithObjectWithObject(NSStr("Rate"), NSNumber::numberWithDouble(1.25));
  const auto& alerts = UIAlertView::visibleAlerts();
  ASSERT_EQ(alerts.size(), 4u);
  EXPECT_EQ(alerts[0]->title(), nullptr);
  EXPECT_EQ(alerts[1]->title()->UTF8String(), "2");
  EXPECT_EQ(alerts[1]->message()->UTF8String(), "one");
  EXPECT_EQ(alerts[2]->title(), nullptr);
  EXPECT_EQ(alerts[3]->message()->UTF8String(), "Rate\n1.25");
  EXPECT_EQ(alerts[3]->buttons(), std::vector<std::string>{"OK"});
  EXPECT_EQ(titleString, nullptr);
}

TEST_F(Utilities, DelayedBlocksRunOnceLaterAndKeepTheirReceiverAlive) {
  int ran = 0;
  std::weak_ptr<TessaryController> watched = controller;
  {
    int captured = 5;  // the scheduling frame ends before the block runs
    performBlockAfterDelay(
        controller, [&ran, captured] { ran += captured; }, 0.0);
    performBlockAfterDelay(
        controller, [&ran] { ran += 100; }, 0.3);
  }
  EXPECT_EQ(ran, 0);  // never inside the call that scheduled it
  controller.reset();
  EXPECT_FALSE(watched.expired());
  advance(0.0);
  EXPECT_EQ(ran, 5);
  advance(0.299);
  EXPECT_EQ(ran, 5);
  advance(0.001);
  EXPECT_EQ(ran, 105);
  EXPECT_TRUE(watched.expired());
  advance(10.0);
  EXPECT_EQ(ran, 105);
}

TEST_F(PlugIn, TheFlagsAndOperationsAreExportedByName) {
  void* handle = dlopen(tessary::build::kWidgetLibrary, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  for (const char* flag : {"left", "portraitmode", "animate", "exclude", "detailMode", "editing"}) {
    const auto* value = static_cast<const BOOL*>(dlsym(handle, flag));
    ASSERT_NE(value, nullptr) << flag;
    EXPECT_EQ(*value,
              std::string(flag) == "detailMode" || std::string(flag) == "editing" ? NO : YES)
        << flag;
  }
  EXPECT_NE(dlsym(handle, "titleString"), nullptr);
  // Everything else stays hidden: the dynamic symbol table holds exactly the factory, the
  // flags and the five operations.
  EXPECT_EQ(dlsym(handle, "_ZN17TessaryController4loadEv"), nullptr);
  const std::string command =
      std::string("nm -D --defined-only '") + tessary::build::kWidgetLibrary + "' | c++filt";
  FILE* listing = popen(command.c_str(), "r");
  ASSERT_NE(listing, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, listing)) {
    std::string name = line;
    name = name.substr(name.find(' ', name.find(' ') + 1) + 1);
    name.erase(name.find_last_not_of("\n") + 1);
    name = name.substr(0, name.find('('));
    if (name != "_init" && name != "_fini") exported.insert(name);
  }
  pclose(listing);
  EXPECT_EQ(exported, (std::set<std::string>{"TessaryControllerCreate", "left", "portraitmode",
                                             "animate", "exclude", "detailMode", "editing",
                                             "titleString", "setQuickQlertTitle", "quickAlert",
                                             "quickAlertWithObjectWithObject",
                                             "performBlockAfterDelay", "fireBlockAfterDelay"}));
  // The host never unloads a bundle, so neither does this test.
}

}  // namespace
}  // namespace tessary::test
