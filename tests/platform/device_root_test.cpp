#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
  std::filesystem::create_directory_symlink("../../../data",
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

namespace {

using DeviceRootReads = tessary::test::PlatformTest;

const char* const kRates = "/var/mobile/Library/Tessary/Rates.plist";
const char* const kDict =
    "<?xml version=\"1.0\"?><plist><dict><key>k</key><string>outside</string></dict></plist>";

void put(const std::string& hostPath, const std::string& bytes) {
  std::ofstream(hostPath, std::ios::binary) << bytes;
}

// Reads by openat2 and by the component walk, from a root with links in and out of it.
TEST_F(DeviceRootReads, NoReadFollowsALinkOutOfTheRoot) {
  const tessary::test::TempDeviceRoot outside;
  DeviceRoot::set(root_.path());
  put(outside.path() + "/Rates.plist", kDict);
  const std::string data = root_.path() + "/var/mobile/Library/Tessary";
  std::filesystem::create_symlink(outside.path() + "/Rates.plist", data + "/Rates.plist");
  // The same by a relative link that climbs out through "..".
  std::filesystem::create_symlink(
      std::filesystem::path(outside.path() + "/Rates.plist").lexically_relative(data),
      data + "/Dates.plist");
  ASSERT_TRUE(std::filesystem::exists(data + "/Dates.plist"));
  auto& files = NSFileManager::defaultManager();
  for (const char* name : {"Rates.plist", "Dates.plist"}) {
    const std::string path = std::string("/var/mobile/Library/Tessary/") + name;
    SCOPED_TRACE(name);
    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(path));
    EXPECT_FALSE(file_io::readBeneathRoot(path));
    EXPECT_FALSE(files.fileExistsAtPath(path));
  }
  // A folder link out is refused the same way; one that stays inside is followed.
  std::filesystem::remove_all(data);
  std::filesystem::create_directory_symlink(outside.path(), data);
  EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  EXPECT_FALSE(files.fileExistsAtPath("/var/mobile/Library/Tessary"));
  EXPECT_TRUE(files.contentsOfDirectoryAtPath("/var/mobile/Library/Tessary").empty());
  std::filesystem::remove(data);
  std::filesystem::create_directories(root_.path() + "/data");
  std::filesystem::create_directory_symlink("../../../data", data);
  put(root_.path() + "/data/Rates.plist", kDict);
  EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile(kRates));
  EXPECT_TRUE(files.fileExistsAtPath(kRates));
  EXPECT_EQ(files.contentsOfDirectoryAtPath("/var/mobile/Library/Tessary"),
            std::vector<std::string>{"Rates.plist"});

  // The walk follows no link at all, so the inside link is refused there too.
  const int rootFd = ::open(root_.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(rootFd, 0);
  const int direct = file_io::openBeneath(rootFd, "data/Rates.plist", O_RDONLY, true);
  EXPECT_GE(direct, 0);
  EXPECT_EQ(file_io::openBeneath(rootFd, "var/mobile/Library/Tessary/Rates.plist", O_RDONLY, true),
            -1);
  EXPECT_EQ(file_io::openBeneath(rootFd, "data/../data/Rates.plist", O_RDONLY, true), -1);
  std::filesystem::create_symlink(outside.path() + "/Rates.plist", root_.path() + "/data/out");
  EXPECT_EQ(file_io::openBeneath(rootFd, "data/out", O_PATH, true), -1);
  EXPECT_EQ(file_io::openBeneath(rootFd, "data/out", O_PATH), -1);
  EXPECT_EQ(file_io::openBeneath(rootFd, "data/out", O_RDONLY), -1);
  ::close(direct);
  ::close(rootFd);
}

TEST_F(DeviceRootReads, MovesWithinTheRootWithoutReplacing) {
  auto& files = NSFileManager::defaultManager();
  put(root_.host(kRates), "a");
  put(root_.host(kRates) + ".old", "b");
  EXPECT_FALSE(files.moveItemAtPathToPath(kRates, std::string(kRates) + ".old"));
  EXPECT_TRUE(files.moveItemAtPathToPath(kRates, std::string(kRates) + ".new"));
  EXPECT_FALSE(files.fileExistsAtPath(kRates));
  EXPECT_EQ(root_.readFile(std::string(kRates) + ".new"), "a");
  EXPECT_EQ(root_.readFile(std::string(kRates) + ".old"), "b");
  EXPECT_FALSE(files.moveItemAtPathToPath(std::string(kRates) + ".new", "/../x"));
}

// A writer killed between creating its temporary file and renaming it leaves the file
// unlocked; the next write in that folder removes it, and nothing a live writer holds.
TEST_F(DeviceRootReads, AtomicWritesRemoveStaleTemporariesOnly) {
  const std::string folder = root_.path() + "/var/mobile/Library/Tessary/";
  for (const char* name : {".Rates.plist.a1B2c3", ".Dates.plist.000000", ".x.Zz9Zz9"}) {
    put(folder + name, "torn");
  }
  put(folder + ".Recent.plist.held00", "in use");
  const int held = ::open((folder + ".Recent.plist.held00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  // Not ours: too short a suffix, a character mkstemp never makes, no leading dot, a folder.
  for (const char* name : {".Rates.plist.a1B2c", ".Rates.plist.a1B2c-", "Rates.plist.a1B2c3"}) {
    put(folder + name, "keep");
  }
  std::filesystem::create_directory(folder + ".folder.abcdef");
  std::filesystem::create_symlink("/nonexistent-target", folder + ".link.abcdef");

  ASSERT_TRUE(NSDictionary().writeToFileAtomically(kRates, true));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".Rates.plist.a1B2c", ".Rates.plist.a1B2c-",
                                            ".Recent.plist.held00", ".folder.abcdef",
                                            ".link.abcdef", "Rates.plist", "Rates.plist.a1B2c3"}));
  ::close(held);
  ASSERT_TRUE(NSDictionary().writeToFileAtomically(kRates, true));
  EXPECT_FALSE(std::filesystem::exists(folder + ".Recent.plist.held00"));
  EXPECT_TRUE(file_io::isTemporaryName(".Rates.plist.a1B2c3"));
  EXPECT_FALSE(file_io::isTemporaryName("..abcdef"));
}

}  // namespace
