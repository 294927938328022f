#include <gtest/gtest.h>

#include <filesystem>

#include "platform/render/surface.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Snapshots : public ::testing::Test {
 protected:
  TempDeviceRoot root_;
};

TEST_F(Snapshots, OneNumberedPictureAfterEveryCommandThatChangesTheScreenTheSameEveryRun) {
  const std::string script =
      "install\n"
      "clock 800000000\n"
      "show\n"
      "dump\n"
      "wait 1\n"
      "settings Alpha 0.5\n"
      "tap button:EUR\n"
      "wait 1\n"
      "snapshot " +
      root_.path() + "/open.png\n";
  const auto runInto = [&](const std::string& folder) {
    return runScript(root_.path() + "/root-" + folder, script,
                     {"--snapshot-dir", root_.path() + "/" + folder},
                     {"TESSARY_QUOTE_URL=http://127.0.0.1:9"});
  };
  const auto first = runInto("one");
  ASSERT_EQ(first.status, 0) << first.err;
  // install draws nothing new, nor do dump, the settings and the snapshot itself.
  const std::vector<std::string> expected{"001-clock-800000000.png", "002-show.png",
                                          "003-wait-1.png", "004-tap-button-EUR.png",
                                          "005-wait-1.png"};
  EXPECT_EQ(filesIn(root_.path() + "/one"), expected);

  // The last numbered picture is what `snapshot` wrote, at 2 pixels per point.
  std::unique_ptr<render::Surface> last, open;
  ASSERT_EQ(render::Surface::readPNG(root_.path() + "/one/005-wait-1.png", last), "");
  ASSERT_EQ(render::Surface::readPNG(root_.path() + "/open.png", open), "");
  EXPECT_EQ(last->width(), 640);
  EXPECT_EQ(last->height(), 960);
  EXPECT_EQ(render::compare(*last, *open, 0).differing, 0);

  // Another run of the same script gives the same files, byte for byte.
  const auto second = runInto("two");
  ASSERT_EQ(second.status, 0) << second.err;
  ASSERT_EQ(filesIn(root_.path() + "/two"), expected);
  for (const auto& name : expected) {
    EXPECT_EQ(readHostFile(root_.path() + "/one/" + name),
              readHostFile(root_.path() + "/two/" + name))
        << name;
  }

  // A folder that cannot be made is refused before anything runs.
  root_.writeFile("/afile", "x");
  const auto refused =
      runScript(root_.path(), "install\n", {"--snapshot-dir", root_.path() + "/afile"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("cannot make the folder"), std::string::npos) << refused.err;
}

TEST_F(Snapshots, TheOverlayDarkensTheListAndTheAlertCoversTheScreen) {
  const std::string shots = root_.path() + "/";
  const auto run = runScript(root_.path(),
                             "install\n"
                             "clock 800000000\n"
                             "settings Detail true\n"
                             "show\n"
                             "wait 1\n"
                             "snapshot " +
                                 shots +
                                 "before.png\n"
                                 "tap button:EUR\n"
                                 "wait 0.3\n"
                                 "snapshot " +
                                 shots +
                                 "half.png\n"
                                 "wait 0.3\n"
                                 "snapshot " +
                                 shots + "dark.png\n",
                             {}, {"TESSARY_QUOTE_URL=http://127.0.0.1:9"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::unique_ptr<render::Surface> before, half, dark;
  ASSERT_EQ(render::Surface::readPNG(shots + "before.png", before), "");
  ASSERT_EQ(render::Surface::readPNG(shots + "half.png", half), "");
  ASSERT_EQ(render::Surface::readPNG(shots + "dark.png", dark), "");
  // A point of the list's background far below the widget's row: 0.35 then 0.7 of black
  // over it.
  const auto level = [](const render::Surface& s) { return s.pixel(630, 860).g; };
  EXPECT_NEAR(level(*half), level(*before) * 0.65, 2);
  EXPECT_NEAR(level(*dark), level(*before) * 0.3, 2);
}

}  // namespace
}  // namespace tessary::test
