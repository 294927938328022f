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
#include "tests/host/golden_cases.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

constexpr int kTolerance = 8;                  // per channel
constexpr double kMostDifferingShare = 0.005;  // of the pixels

class Golden : public ::testing::TestWithParam<GoldenCase> {
 protected:
  TempDeviceRoot root_;
};

std::string goldenPath(const std::string& name) {
  return std::string(TESSARY_GOLDEN_DIR) + "/" + name + ".png";
}

TEST_P(Golden, SnapshotMatchesTheCommittedPicture) {
  const GoldenCase& c = GetParam();
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

INSTANTIATE_TEST_SUITE_P(Screens, Golden, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& caseInfo) {
                           std::string name = caseInfo.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tessary::test
