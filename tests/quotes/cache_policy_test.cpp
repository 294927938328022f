#include "quotes/cache_policy.h"

#include <gtest/gtest.h>

namespace tessary::quotes {
namespace {

// 2026-07-06 is a Monday.
std::time_t at(const char* isoDay, int hour, int minute = 0, int second = 0) {
  return *dayStart(isoDay) + (std::time_t{hour} * 60 + minute) * 60 + second;
}

TEST(CachePolicy, TablesAreDueOnWorkingDaysAtTheConfiguredTime) {
  const int due = *parseTimeOfDay("15:00");
  EXPECT_EQ(nextTableDue(at("2026-07-06", 9), due), at("2026-07-06", 15));
  EXPECT_EQ(nextTableDue(at("2026-07-06", 15), due), at("2026-07-07", 15));  // strictly after
  EXPECT_EQ(nextTableDue(at("2026-07-06", 14, 59, 59), due), at("2026-07-06", 15));
  EXPECT_EQ(nextTableDue(at("2026-07-10", 16), due), at("2026-07-13", 15));  // Friday to Monday
  EXPECT_EQ(nextTableDue(at("2026-07-11", 12), due), at("2026-07-13", 15));  // Saturday
  EXPECT_EQ(lastTableDue(at("2026-07-13", 10), due), at("2026-07-10", 15));
  EXPECT_EQ(lastTableDue(at("2026-07-06", 15), due), at("2026-07-06", 15));

  TableSchedule plain{due, 0};
  EXPECT_EQ(freshFor(at("2026-07-06", 9), "2026-07-03", plain), 6 * 3600);
  EXPECT_EQ(freshFor(at("2026-07-10", 15), "2026-07-10", plain), 3 * 24 * 3600);
  EXPECT_EQ(freshFor(at("2026-07-06", 14, 59, 59), "", plain), 1);
  // A refreshing service whose table is late lets caches keep it only until the next fetch.
  TableSchedule refreshing{due, 3600};
  EXPECT_EQ(freshFor(at("2026-07-07", 16), "2026-07-06", refreshing), 3600);
  EXPECT_EQ(freshFor(at("2026-07-07", 16), "2026-07-07", refreshing), 23 * 3600);
  EXPECT_EQ(freshFor(at("2026-07-11", 12), "2026-07-10", refreshing), 51 * 3600);

  for (auto bad : {"", "1500", "24:00", "12:60", "7:30", "12:3a"})
    EXPECT_FALSE(parseTimeOfDay(bad)) << bad;
  EXPECT_EQ(parseTimeOfDay("00:00"), 0);
  EXPECT_EQ(parseTimeOfDay("23:59"), 23 * 60 + 59);
  for (auto bad : {"2026-02-30", "2026-7-06", "20260706", "2026-07-06x"})
    EXPECT_FALSE(dayStart(bad)) << bad;
  // Last-Modified is the table's day at the due time, never after the table arrived.
  EXPECT_EQ(tableModified("2026-07-06", at("2026-07-07", 1), due), at("2026-07-06", 15));
  EXPECT_EQ(tableModified("2026-07-06", at("2026-07-06", 14), due), at("2026-07-06", 14));
  EXPECT_EQ(tableModified("", 1234, due), 1234);
}

TEST(CachePolicy, HttpDatesAndEntityTags) {
  EXPECT_EQ(httpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
  for (std::time_t t : {std::time_t(0), at("2026-07-06", 15), at("2028-02-29", 23, 59, 59)})
    EXPECT_EQ(parseHttpDate(httpDate(t)), t);
  for (auto bad : {"", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
                   "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 31 Feb 1994 08:49:37 GMT",
                   "Sun, 06 Now 1994 08:49:37 GMT", "Sun, 06 Nov 1994 24:49:37 GMT"}) {
    EXPECT_FALSE(parseHttpDate(bad)) << bad;
  }

  const std::string tag = "\"0123abcd\"";
  for (auto hit :
       {"\"0123abcd\"", "W/\"0123abcd\"", "*", "\"x\", \"0123abcd\"", " \"y\" ,W/\"0123abcd\" "})
    EXPECT_TRUE(noneMatchHits(hit, tag)) << hit;
  for (auto miss : {"", "\"0123abce\"", "0123abcd", "\"0123abcd", ",", "\"x\", \"y\""})
    EXPECT_FALSE(noneMatchHits(miss, tag)) << miss;
  EXPECT_NE(digest64("a"), digest64("b"));
  EXPECT_EQ(digest64("ab"), digest64("b", digest64("a")));
}

}  // namespace
}  // namespace tessary::quotes
