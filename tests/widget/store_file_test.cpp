#include "widget/util/store_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/widget/widget_fixture.h"
#include "widget/picker/catalogue.h"
#include "widget/rates/rate_store.h"

namespace tessary::test {
namespace {

class StoreFile : public WidgetTest {
 protected:
  // The set-aside copies of a data file, oldest first.
  std::vector<std::string> copiesOf(const std::string& name) const {
    std::vector<std::string> found;
    for (const auto& entry :
         std::filesystem::directory_iterator(root_.host(paths::kDataDirectory))) {
      const std::string file = entry.path().filename().string();
      if (file.starts_with(name + ".corrupt-")) found.push_back(file);
    }
    std::sort(found.begin(), found.end());
    return found;
  }
  std::string copy(const std::string& name) const {
    return root_.readFile(std::string(paths::kDataDirectory) + name);
  }
};

// The manual clock starts at 2026-07-06 00:00:00 UTC.
TEST_F(StoreFile, ACorruptFileIsSetAsideAndTheUpdateStartsAfresh) {
  root_.writeFile(paths::kRates, "{ broken");
  const auto fresh = store_file::dictionaryForUpdate(paths::kRates, false);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->count(), 0u);
  EXPECT_EQ(copiesOf("Rates.plist"),
            std::vector<std::string>{"Rates.plist.corrupt-1-20260706T000000Z"});
  EXPECT_EQ(copy("Rates.plist.corrupt-1-20260706T000000Z"), "{ broken");
  EXPECT_FALSE(std::filesystem::exists(root_.host(paths::kRates)));

  // Each copy takes the next number, within one second too; only the newest three are kept.
  for (const char* bytes : {"", "<plist><array/></plist>", "bplist00junk", "\xff\xfe"}) {
    root_.writeFile(paths::kRates, bytes);
    ASSERT_TRUE(store_file::dictionaryForUpdate(paths::kRates, false));
    if (std::string(bytes).empty()) advance(61);
  }
  EXPECT_EQ(copiesOf("Rates.plist"),
            (std::vector<std::string>{"Rates.plist.corrupt-3-20260706T000101Z",
                                      "Rates.plist.corrupt-4-20260706T000101Z",
                                      "Rates.plist.corrupt-5-20260706T000101Z"}));
  EXPECT_EQ(copy("Rates.plist.corrupt-5-20260706T000101Z"), "\xff\xfe");

  // The clock gone back, even before 1970, or a copy named by time alone (as older versions
  // named them) changes nothing: the newest three by number stay, the one just made among them.
  root_.writeFile("/var/mobile/Library/Tessary/Rates.plist.corrupt-99991231T235959Z", "old");
  for (const double wall : {-1e9 - kReferenceDateUnixTime, 0.0}) {
    clock_->setWall(wall);
    root_.writeFile(paths::kRates, "back " + std::to_string(wall));
    ASSERT_TRUE(store_file::dictionaryForUpdate(paths::kRates, false));
  }
  EXPECT_EQ(copiesOf("Rates.plist"),
            (std::vector<std::string>{"Rates.plist.corrupt-5-20260706T000101Z",
                                      "Rates.plist.corrupt-6-19380424T221320Z",
                                      "Rates.plist.corrupt-7-20010101T000000Z"}));
  EXPECT_EQ(copy("Rates.plist.corrupt-7-20010101T000000Z"), "back 0.000000");

  // A good file is the dictionary itself; a missing one is fresh only when asked.
  NSDictionary({{"EUR-USD", NSStr("1.1")}}).writeToFileAtomically(paths::kRates, true);
  EXPECT_EQ(store_file::dictionaryForUpdate(paths::kRates, false)->count(), 1u);
  EXPECT_FALSE(store_file::dictionaryForUpdate(paths::kRecent + std::string("x"), false));
  EXPECT_TRUE(store_file::dictionaryForUpdate(paths::kRecent + std::string("x"), true));
  EXPECT_EQ(copiesOf("Rates.plist").size(), 3u);
}

TEST_F(StoreFile, AFileThatCannotBeReadIsLeftAndTheUpdateSkipped) {
  // A folder, a FIFO, and a good file while no descriptor is left.
  std::filesystem::remove(root_.host(paths::kRates));
  std::filesystem::create_directory(root_.host(paths::kRates));
  std::filesystem::remove(root_.host(paths::kDates));
  ASSERT_EQ(::mkfifo(root_.host(paths::kDates).c_str(), 0644), 0);
  storeRate("EUR-USD", "1.1", 0);
  EXPECT_TRUE(std::filesystem::is_directory(root_.host(paths::kRates)));
  EXPECT_TRUE(std::filesystem::is_fifo(root_.host(paths::kDates)));
  EXPECT_TRUE(copiesOf("Rates.plist").empty());
  EXPECT_TRUE(copiesOf("Dates.plist").empty());

#ifndef TESSARY_SANITIZED
  // Left out under the sanitizers: their type check opens a pipe to probe memory, and without a
  // descriptor it reports a valid object as invalid.
  const std::string recent = "<plist><dict><key>left</key><string>CHF</string></dict></plist>";
  root_.writeFile(paths::kRecent, recent);
  const int lowest = ::dup(0);
  ASSERT_GE(lowest, 0);
  ::close(lowest);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit none = saved;
  none.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
  catalogue::recordChoice("right", "SEK");
  // An existing file that cannot even be looked at is not a missing one.
  const bool startedAfresh = store_file::dictionaryForUpdate(paths::kRecent, true) != nullptr;
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_FALSE(startedAfresh);
  EXPECT_EQ(root_.readFile(paths::kRecent), recent);
  EXPECT_TRUE(copiesOf("Recent.plist").empty());
#endif
}

// The widget's updates: a stored reply, the amounts at unload, a chosen code.
TEST_F(StoreFile, EveryUpdateOfTheStoreGetsPastACorruptFile) {
  root_.writeFile(paths::kRates, "garbage");
  NSDictionary({{"GBP-USD", NSNumber::numberWithDouble(1)}})
      .writeToFileAtomically(paths::kDates, true);
  storeRate("EUR-USD", "1.1708\n", 0);
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.1708\n");
  EXPECT_EQ(dates()->count(), 2u);
  EXPECT_EQ(copy(copiesOf("Rates.plist").at(0)), "garbage");

  root_.writeFile(paths::kDates, "<plist><string>x</string></plist>");
  storeRate("EUR-GBP", "0.85", 0);
  EXPECT_EQ(rates()->count(), 2u);
  EXPECT_EQ(dates()->count(), 1u);
  EXPECT_EQ(copiesOf("Dates.plist").size(), 1u);

  root_.writeFile(paths::kRecent, "\x01\x02");
  leftField->setText("12,5");
  rightField->setText("14.63");
  controller->unloadView();
  auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  ASSERT_TRUE(recent);
  EXPECT_EQ(recent->objectForKey("leftText")->description(), "12,5");
  EXPECT_EQ(copy(copiesOf("Recent.plist").at(0)), "\x01\x02");

  root_.writeFile(paths::kRecent, "(");
  advance(1);
  catalogue::recordChoice("left", "CHF");
  recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  ASSERT_TRUE(recent);
  EXPECT_EQ(recent->objectForKey("left")->description(), "CHF");
  EXPECT_EQ(copiesOf("Recent.plist").size(), 2u);
}

// Two processes storing replies and choices into one store at once: each read-modify-write
// holds the folder's lock until its rename, so neither loses a key the other wrote.
TEST_F(StoreFile, TwoProcessesUpdatingOneStoreLoseNoKey) {
  constexpr int kEach = 25;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const std::string side = child == 0 ? "left" : "right";
  for (int i = 0; i < kEach; ++i) {
    rate_store::storeReply(side + std::to_string(i), "1.5", 0);
    catalogue::recordChoice(side + std::to_string(i % 4), "CHF");
  }
  if (child == 0) ::_exit(0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(rates()->count(), 2u * kEach);
  EXPECT_EQ(dates()->count(), 2u * kEach);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(paths::kRecent)->count(), 8u);
}

}  // namespace
}  // namespace tessary::test
