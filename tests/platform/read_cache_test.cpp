#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "tests/support/test_environment.h"

namespace tessary::test {
namespace {

constexpr const char* kRates = "/var/mobile/Library/Tessary/Rates.plist";

// The file as a one-digit array, so that every version has the same size.
std::string version(int n) {
  return "<plist><array><integer>" + std::to_string(n) + "</integer></array></plist>";
}

// The version the cache gives for the file, 0 when it reads as nothing.
int cachedVersion() {
  const auto array = NSArray::arrayWithContentsOfFile(kRates);
  return array && array->count() == 1 ? array->objectAtIndex(0)->intValue() : 0;
}

// Rewrites a file in place with the same size and gives it back its modification time.
void rewriteInPlace(const std::string& path, int n) {
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(file_io::writeInPlace(path, version(n)));
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Runs `change` in a child process and waits for it.
void inAnotherProcess(const std::function<void()>& change) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    change();
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Bytes this process has read so far, from the kernel's count.
long bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

class ReadCache : public PlatformTest {};

// The kernel vouches for an unchanged file: the second read takes no byte of it.
TEST_F(ReadCache, AnUnchangedFileIsNotReadAgain) {
  root_.writeFile(
      kRates, "<plist><array><string>" + std::string(256 << 10, 'x') + "</string></array></plist>");
  const auto first = NSArray::arrayWithContentsOfFile(kRates);
  ASSERT_TRUE(first);
  const long before = bytesRead();
  EXPECT_EQ(NSArray::arrayWithContentsOfFile(kRates), first);
  EXPECT_LT(bytesRead() - before, 64 << 10);
}

// Another process changes the file between two reads, in every way there is; the second read
// sees the change. The versions all have one size, and the in-place ones keep the time.
TEST_F(ReadCache, SeesEveryChangeAnotherProcessMakesBetweenTwoReads) {
  namespace fs = std::filesystem;
  const std::string data = root_.host("/var/mobile/Library/Tessary");
  const std::string file = data + "/Rates.plist";
  root_.writeFile(kRates, version(1));
  const struct {
    const char* way;
    std::function<void()> change;
    int seen;
  } cases[] = {
      {"written in place", [&] { rewriteInPlace(file, 2); }, 2},
      {"renamed over", [&] { ASSERT_TRUE(file_io::writeAtomically(file, version(3))); }, 3},
      {"deleted", [&] { fs::remove(file); }, 0},
      {"recreated", [&] { ASSERT_TRUE(file_io::writeInPlace(file, version(4))); }, 4},
      {"its folder removed", [&] { fs::rename(data, data + ".gone"); }, 0},
      {"its folder made again, with the file",
       [&] {
         fs::create_directory(data);
         ASSERT_TRUE(file_io::writeInPlace(file, version(5)));
       },
       5},
      {"deleted and recreated at once",
       [&] {
         fs::remove(file);
         ASSERT_TRUE(file_io::writeInPlace(file, version(3)));
       },
       3},
      {"its folder renamed away, another put in its place",
       [&] {
         fs::rename(data, data + ".away");
         fs::create_directory(data);
         ASSERT_TRUE(file_io::writeInPlace(file, version(6)));
       },
       6},
      {"and back",
       [&] {
         fs::rename(data, data + ".other");
         fs::rename(data + ".away", data);
       },
       3},
      {"a folder above renamed away, another put in its place",
       [&] {
         fs::rename(root_.host("/var"), root_.host("/var.away"));
         fs::create_directories(data);
         ASSERT_TRUE(file_io::writeInPlace(file, version(7)));
       },
       7},
      {"and back",
       [&] {
         fs::rename(root_.host("/var"), root_.host("/var.other"));
         fs::rename(root_.host("/var.away"), root_.host("/var"));
       },
       3},
      {"linked a second time and written through that link",
       [&] {
         fs::create_hard_link(file, root_.host("/linked"));
         rewriteInPlace(root_.host("/linked"), 8);
       },
       8},
      {"written through the second link again", [&] { rewriteInPlace(root_.host("/linked"), 9); },
       9},
      {"a link to a file outside the watched folders, renamed over there",
       [&] {
         fs::remove(file);
         fs::create_directory(root_.host("/elsewhere"));
         ASSERT_TRUE(file_io::writeInPlace(root_.host("/elsewhere/Rates.plist"), version(1)));
         fs::create_symlink("../../../../elsewhere/Rates.plist", file);
       },
       1},
      {"and its target replaced",
       [&] {
         ASSERT_TRUE(file_io::writeAtomically(root_.host("/elsewhere/Rates.plist"), version(2)));
       },
       2},
  };
  ASSERT_EQ(cachedVersion(), 1);
  for (const auto& [way, change, seen] : cases) {
    SCOPED_TRACE(way);
    const int before = cachedVersion();
    ASSERT_EQ(cachedVersion(), before);
    inAnotherProcess(change);
    EXPECT_EQ(cachedVersion(), seen);
  }
}

// Whatever leaves the cache in doubt reads the bytes: an overflowing event queue, a watch that
// cannot be made. Watches go with the entries, so at most a few are held however many files
// are read.
TEST_F(ReadCache, ReadsTheBytesWhenInDoubtAndHoldsFewWatches) {
  const std::string data = root_.host("/var/mobile/Library/Tessary");
  root_.writeFile(kRates, version(1));
  ASSERT_EQ(cachedVersion(), 1);
  long limit = 0;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
  if (limit > 0 && limit <= (1 << 20)) {
    // Two names in turn, so the kernel merges none of the events; the change comes last,
    // when the queue has no room for its event.
    const int a = ::open((data + "/a").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const int b = ::open((data + "/b").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    for (long i = 0; i <= limit; ++i) ASSERT_EQ(::write(i % 2 ? a : b, "x", 1), 1);
    ::close(a);
    ::close(b);
    rewriteInPlace(root_.host(kRates), 2);
    EXPECT_EQ(cachedVersion(), 2);
  }

  property_list::forgetCachedReads();
  property_list::detail::failCacheWatches(ENOSPC);
  EXPECT_EQ(cachedVersion(), 2);
  EXPECT_EQ(watchesHeld(), 0u);
  rewriteInPlace(root_.host(kRates), 3);
  EXPECT_EQ(cachedVersion(), 3);
  property_list::detail::failCacheWatches(0);
  EXPECT_EQ(cachedVersion(), 3);
  EXPECT_GT(watchesHeld(), 0u);
  rewriteInPlace(root_.host(kRates), 4);
  EXPECT_EQ(cachedVersion(), 4);

  // Twenty files, each in a folder of its own.
  const size_t depth = static_cast<size_t>(std::count(data.begin(), data.end(), '/'));
  for (int i = 0; i < 20; ++i) {
    const std::string path = "/var/mobile/Library/Tessary/f" + std::to_string(i) + "/f.plist";
    root_.writeFile(path, version(i % 10));
    const auto read = NSArray::arrayWithContentsOfFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->objectAtIndex(0)->intValue(), i % 10);
  }
  // The folders all share, then a folder and the file for each of the eight entries kept.
  EXPECT_LE(watchesHeld(), depth + 1 + 2 * size_t{8});
  property_list::forgetCachedReads();
  EXPECT_EQ(watchesHeld(), 0u);
}

}  // namespace
}  // namespace tessary::test
