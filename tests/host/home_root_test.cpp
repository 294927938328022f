#include "host/home_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace fs = std::filesystem;
using tessary::test::readHostFile;
using tessary::test::TempDeviceRoot;

namespace {

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

TEST(HomeRootTest, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(home_root::path("/x/data", "/home/u"), "/x/data/tessary");
  // Unset, empty or relative: the variable is ignored.
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "data"})
    EXPECT_EQ(home_root::path(xdg, "/home/u"), "/home/u/.local/share/tessary");
  EXPECT_EQ(home_root::path(nullptr, nullptr), "");
  EXPECT_EQ(home_root::path("", "relative"), "");
}

// First use lays the root out; a changed bundle (an upgrade) is copied again whole, while what
// the widget saved stays; a bundle that cannot be read is reported and leaves the root alone.
TEST(HomeRootTest, InstallsOnceAndFollowsTheBundle) {
  const TempDeviceRoot scratch;
  const fs::path bundle = fs::path(scratch.path()) / "Fake.bundle";
  fs::copy(tessary::test::kFakeBundle, bundle, fs::copy_options::recursive);
  const std::string root = scratch.path() + "/home";
  const fs::path copy = root + "/System/Library/WeeAppPlugins/Fake.bundle";
  const fs::path entries = root + "/var/mobile/Library/Tessary/Entries.plist";

  ASSERT_EQ(home_root::prepare(root, bundle.string()), "");
  EXPECT_EQ(readHostFile(copy / "Info.plist"), readHostFile(bundle / "Info.plist"));
  write(entries, "saved");
  write(copy / "Stale.png", "old");
  ASSERT_EQ(home_root::prepare(root, bundle.string()), "");
  EXPECT_FALSE(fs::exists(copy / "Stale.png"));

  write(bundle / "Info.plist", "<plist version=\"1.0\"><dict/></plist>");
  fs::remove(root + "/var/mobile/Library/Tessary/Currencies.plist");
  ASSERT_EQ(home_root::prepare(root, bundle.string()), "");
  EXPECT_EQ(readHostFile(copy / "Info.plist"), "<plist version=\"1.0\"><dict/></plist>");
  EXPECT_EQ(readHostFile(entries), "saved");
  EXPECT_TRUE(fs::exists(root + "/var/mobile/Library/Tessary/Currencies.plist"));

  EXPECT_NE(home_root::prepare(root, scratch.path() + "/None.bundle"), "");
  EXPECT_EQ(readHostFile(entries), "saved");
}

}  // namespace
