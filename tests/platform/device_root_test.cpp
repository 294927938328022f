#include <gtest/gtest.h>

#include "platform/foundation/file_manager.h"
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
