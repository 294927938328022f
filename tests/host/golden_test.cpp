// The screen as PNGs, compared with the pictures committed under tests/host/goldens/. Each
// case runs tessary-sim on a script with the wall clock pinned, a fresh rate in the store and
// the quote service on a closed port, so the same pixels come every time.
//
// scripts/update-goldens writes the pictures afresh (TESSARY_UPDATE_GOLDENS=1) when the look
// changes on purpose; look at every one before committing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/render/surface.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

constexpr int kTolerance = 8;                  // per channel
constexpr double kMostDifferingShare = 0.005;  // of the pixels

// A rate for EUR and USD a few hours old at the pinned clock, so typing converts without the
// network.
constexpr const char* kRates = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>EUR-USD</key><string>1.0843</string></dict></plist>
)";
constexpr const char* kDates = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>EUR-USD</key><real>799990000</real></dict></plist>
)";

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  const char* script;  // after the pinned clock
  bool seedRate = true;
};

const Case kCases[] = {
    {"compact-portrait", {}, "show\nwait 1\n"},
    {"compact-landscape", {"--orientation", "landscape"}, "show\nwait 1\n"},
    {"detail-portrait", {}, "settings Detail true\nshow\nwait 1\n"},
    {"detail-landscape", {"--orientation", "landscape"}, "settings Detail true\nshow\nwait 1\n"},
    {"picker-above", {}, "settings Detail true\nshow\nwait 1\ntap button:EUR\nwait 1\n"},
    {"picker-below", {}, "show\nwait 1\ntap field:left\nwait 1\ntap button:USD\nwait 1\n"},
    {"keyboard-portrait", {}, "show\nwait 1\ntap field:left\ntype 12.5\nwait 1\n"},
    {"keyboard-landscape",
     {"--orientation", "landscape"},
     "settings Detail true\nshow\nwait 1\ntap field:left\ntype 12.5\nwait 1\n"},
    {"tablet",
     {"--device", "tablet"},
     "settings Detail true\nshow\nwait 1\ntap field:right\ntype 250\nwait 1\n"},
    {"error-alert",
     {},
     "settings Detail true\nshow\nwait 1\ntap image:Refresh.png\nsettle\nwait 1\n",
     false},
    // The overlay half-way through its 0.6 s fade: the list dimmed by half the setting.
    {"overlay-half-faded", {}, "settings Detail true\nshow\nwait 1\ntap button:EUR\nwait 0.3\n"},
};

class Golden : public ::testing::TestWithParam<Case> {
 protected:
  TempDeviceRoot root_;
};

std::string goldenPath(const std::string& name) {
  return std::string(TESSARY_GOLDEN_DIR) + "/" + name + ".png";
}

TEST_P(Golden, SnapshotMatchesTheCommittedPicture) {
  const Case& c = GetParam();
  ASSERT_EQ(runScript(root_.path(), "install\n").status, 0);
  if (c.seedRate) {
    root_.writeFile("/var/mobile/Library/Tessary/Rates.plist", kRates);
    root_.writeFile("/var/mobile/Library/Tessary/Dates.plist", kDates);
  }
  const std::string shot = root_.path() + "/shot.png";
  const std::string script =
      std::string("clock 800000000\n") + c.script + "snapshot " + shot + "\n";
  const auto run =
      runScript(root_.path(), script, c.arguments, {"TESSARY_QUOTE_URL=http://127.0.0.1:9"});
  ASSERT_EQ(run.status, 0) << run.err;

  std::unique_ptr<render::Surface> actual, expected;
  ASSERT_EQ(render::Surface::readPNG(shot, actual), "");
  if (const char* update = std::getenv("TESSARY_UPDATE_GOLDENS"); update && *update == '1') {
    std::filesystem::copy_file(shot, goldenPath(c.name),
                               std::filesystem::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << goldenPath(c.name);
  }
  ASSERT_EQ(render::Surface::readPNG(goldenPath(c.name), expected), "")
      << "no golden picture; scripts/update-goldens makes it";
  const auto difference = render::compare(*actual, *expected, kTolerance);
  EXPECT_FALSE(difference.sizesDiffer) << actual->width() << "x" << actual->height() << " against "
                                       << expected->width() << "x" << expected->height();
  EXPECT_LE(difference.differing, static_cast<long>(difference.total * kMostDifferingShare))
      << difference.differing << " of " << difference.total << " pixels differ by more than "
      << kTolerance << " (largest " << difference.largest << "); the snapshot is " << shot;
  if (HasFailure()) {
    // Kept beside the build for a look.
    std::filesystem::copy_file(
        shot, std::filesystem::temp_directory_path() / ("tessary-" + std::string(c.name) + ".png"),
        std::filesystem::copy_options::overwrite_existing);
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, Golden, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& caseInfo) {
                           std::string name = caseInfo.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tessary::test
