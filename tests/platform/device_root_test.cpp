#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/values.h"
#include "tests/support/test_environment.h"

namespace {

using DeviceRootTest = tessary::test::PlatformTest;

TEST_F(DeviceRootTest, PlatformPathsMapUnderTheRootAndNeverClimbOut) {
  EXPECT_EQ(DeviceRoot::map("/var/mobile/Library/Tessary/Rates.plist"),
            root_.path() + "/var/mobile/Library/Tessary/Rates.plist");
  EXPECT_EQ(DeviceRoot::map("//var/./mobile"), root_.path() + "/var/mobile");
  EXPECT_EQ(DeviceRoot::map("/var/../../etc/passwd"), std::nullopt);
  EXPECT_EQ(DeviceRoot::map("relative/path"), std::nullopt);
  EXPECT_EQ(DeviceRoot::map(""), std::nullopt);
  EXPECT_EQ(DeviceRoot::map(std::string_view("/a\0b", 4)), std::nullopt);
}

TEST_F(DeviceRootTest, FileManagerSeesOnlyTheRoot) {
  auto& files = NSFileManager::defaultManager();
  EXPECT_TRUE(files.fileExistsAtPath("/var/mobile/Library/Tessary"));
  EXPECT_FALSE(files.fileExistsAtPath("/var/mobile/Library/Tessary/Rates.plist"));
  root_.writeFile("/var/mobile/Library/Tessary/Rates.plist", "x");
  EXPECT_TRUE(files.fileExistsAtPath("/var/mobile/Library/Tessary/Rates.plist"));
  EXPECT_TRUE(files.createDirectoryAtPath("/System/Library/WeeAppPlugins/Tessary.bundle"));
  EXPECT_TRUE(files.fileExistsAtPath("/System/Library/WeeAppPlugins/Tessary.bundle"));
  EXPECT_FALSE(files.fileExistsAtPath("/../" + root_.path()));
}

}  // namespace

namespace {

using DeviceRootLinks = tessary::test::PlatformTest;

TEST_F(DeviceRootLinks, NoWriteFollowsALinkOutOfTheRoot) {
  const tessary::test::TempDeviceRoot outside;  // its own folder, elsewhere
  DeviceRoot::set(root_.path());
  std::filesystem::remove_all(root_.path() + "/var/mobile/Library/Tessary");
  std::filesystem::create_directory_symlink(outside.path(),
                                            root_.path() + "/var/mobile/Library/Tessary");
  EXPECT_FALSE(
      NSDictionary().writeToFileAtomically("/var/mobile/Library/Tessary/Rates.plist", true));
  EXPECT_FALSE(
      NSDictionary().writeToFileAtomically("/var/mobile/Library/Tessary/Rates.plist", false));
  EXPECT_FALSE(
      NSFileManager::defaultManager().createDirectoryAtPath("/var/mobile/Library/Tessary/x"));
  EXPECT_FALSE(std::filesystem::exists(outside.path() + "/Rates.plist"));
  EXPECT_FALSE(std::filesystem::exists(outside.path() + "/x"));

  // A link that stays inside the root is fine, and a linked file is replaced, not followed.
  std::filesystem::remove(root_.path() + "/var/mobile/Library/Tessary");
  std::filesystem::create_directories(root_.path() + "/data");
  std::filesystem::create_directory_symlink(root_.path() + "/data",
                                            root_.path() + "/var/mobile/Library/Tessary");
  EXPECT_TRUE(
      NSDictionary().writeToFileAtomically("/var/mobile/Library/Tessary/Rates.plist", true));
  EXPECT_TRUE(std::filesystem::exists(root_.path() + "/data/Rates.plist"));
  std::filesystem::create_symlink(outside.path() + "/target", root_.path() + "/data/Dates.plist");
  EXPECT_TRUE(
      NSDictionary().writeToFileAtomically("/var/mobile/Library/Tessary/Dates.plist", true));
  EXPECT_FALSE(std::filesystem::exists(outside.path() + "/target"));
  std::filesystem::create_symlink(outside.path() + "/other", root_.path() + "/data/Recent.plist");
  EXPECT_FALSE(
      NSDictionary().writeToFileAtomically("/var/mobile/Library/Tessary/Recent.plist", false));
  EXPECT_FALSE(std::filesystem::exists(outside.path() + "/other"));
  DeviceRoot::set(root_.path());
}

}  // namespace
