// The script lines the window writes, run headless through the real tessary-sim and bundle:
// fingers that press, drag and page, the device line and locate.
#include <gtest/gtest.h>

#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::collectViews;
using tessary::test::Json;
using tessary::test::runScript;

class WindowScriptTest : public ::testing::Test {
 protected:
  WindowScriptTest() { EXPECT_EQ(runScript(root_.path(), "install\n").status, 0); }
  tessary::test::TempDeviceRoot root_;
};

TEST_F(WindowScriptTest, AFingerDragsTheRowOfCodesAPageOnAndChoosesThere) {
  // The picker opens from the left button; the row of codes lies at y 59 on the screen, and
  // CAD near its right end.
  const auto run = runScript(root_.path(),
                             "clock 800000000\nshow\nwait 1\n"
                             "touch down button:EUR\ntouch up button:EUR\nwait 1\n"
                             "touch down code:CAD\ntouch move 200,59\ntouch move 20,59\n"
                             "touch up 20,59\nwait 1\ndump\n"
                             "touch down code:HKD\ntouch up code:HKD\nwait 1\ndump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 2u);
  // Dragged to the left by more than a page's threshold: the row moved on by its width.
  std::vector<const Json*> rows;
  collectViews(dumps[0].at("overlay"), "UIScrollView", rows);
  ASSERT_EQ(rows.size(), 1u);
  const double width = (*rows[0]).at("frame").at(2).get<double>();
  EXPECT_GT(width, 0);
  EXPECT_EQ((*rows[0]).at("contentOffset").at(0).get<double>(), width);
  // The drag started on a code, but a drag is no choice: the left side keeps its code.
  EXPECT_EQ(dumps[0].at("files").at("Recent.plist").at("left").get<std::string>(), "EUR");
  // A code of the second page is chosen where it now shows.
  EXPECT_TRUE(dumps[1].at("overlay").is_null());
  EXPECT_EQ(dumps[1].at("files").at("Recent.plist").at("left").get<std::string>(), "HKD");
}

TEST_F(WindowScriptTest, ThePickerClosesOnTheOverlayAtTouchDown) {
  const auto run = runScript(root_.path(),
                             "clock 800000000\nshow\nwait 1\n"
                             "touch down button:USD\ntouch up button:USD\nwait 1\n"
                             "touch down 160,400\ndump\ntouch up 160,400\nwait 1\ndump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dumps = run.dumps();
  ASSERT_EQ(dumps.size(), 2u);
  // The overlay takes every touch event: it starts to fade as the finger comes down.
  EXPECT_FALSE(dumps[0].at("overlay").is_null());
  EXPECT_TRUE(dumps[1].at("overlay").is_null());
}

TEST_F(WindowScriptTest, TheDeviceIsChosenBeforeTheWidgetShows) {
  const auto tablet = runScript(root_.path(), "device tablet\nshow\nlocate field:right\n");
  ASSERT_EQ(tablet.status, 0) << tablet.err;
  const auto comma = tablet.out.find(',');
  ASSERT_NE(comma, std::string::npos) << tablet.out;
  EXPECT_GT(std::stod(tablet.out.substr(0, comma)), 320);  // the tablet's wider screen

  const auto late = runScript(root_.path(), "show\ndevice tablet\n");
  EXPECT_EQ(late.status, 2);
  EXPECT_EQ(late.err, "line 2: device: the device is chosen before the widget is first shown\n");
  const auto unknown = runScript(root_.path(), "device watch\n");
  EXPECT_EQ(unknown.err, "line 1: device: unknown device watch (phone, tablet or old)\n");
  const auto scale = runScript(root_.path(), "scale 0\n");
  EXPECT_EQ(scale.err, "line 1: scale: PIXELS-PER-POINT is a number from 0.25 to 8\n");
  const auto phase = runScript(root_.path(), "touch press 1,1\n");
  EXPECT_EQ(phase.err, "line 1: touch: usage: touch down|move|up TARGET, or touch cancel\n");
  const auto lift = runScript(root_.path(), "touch up 1,1\n");
  EXPECT_EQ(lift.err, "line 1: touch up: no finger is down\n");
  const auto cancel = runScript(root_.path(), "touch cancel\n");
  EXPECT_EQ(cancel.err, "line 1: touch cancel: no finger is down\n");
}

}  // namespace
