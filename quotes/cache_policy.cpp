#include "quotes/cache_policy.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace tessary::quotes {

namespace {

using namespace std::chrono;

constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::int64_t kDay = std::int64_t{24} * 3600;

bool isWorkingDay(sys_days day) {
  auto w = weekday(day).c_encoding();
  return w >= 1 && w <= 5;
}

std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<int> parseTimeOfDay(std::string_view text) {
  if (text.size() != 5 || text[2] != ':') return std::nullopt;
  auto hours = digitsAt(text, 0, 2);
  auto minutes = digitsAt(text, 3, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  return *hours * 60 + *minutes;
}

std::time_t nextTableDue(std::time_t now, int dueMinute) {
  auto day = floor<days>(sys_seconds(seconds(now)));
  for (int i = 0; i < 8; ++i, day += days(1)) {
    auto due = sys_seconds(day) + minutes(dueMinute);
    if (isWorkingDay(day) && due > sys_seconds(seconds(now)))
      return static_cast<std::time_t>(due.time_since_epoch().count());
  }
  return now + kDay;  // not reached: a week always has a working day
}

std::time_t lastTableDue(std::time_t now, int dueMinute) {
  auto day = floor<days>(sys_seconds(seconds(now)));
  for (int i = 0; i < 8; ++i, day -= days(1)) {
    auto due = sys_seconds(day) + minutes(dueMinute);
    if (isWorkingDay(day) && due <= sys_seconds(seconds(now)))
      return static_cast<std::time_t>(due.time_since_epoch().count());
  }
  return now - kDay;
}

std::optional<std::time_t> dayStart(std::string_view isoDay) {
  if (isoDay.size() != 10 || isoDay[4] != '-' || isoDay[7] != '-') return std::nullopt;
  auto y = digitsAt(isoDay, 0, 4);
  auto m = digitsAt(isoDay, 5, 2);
  auto d = digitsAt(isoDay, 8, 2);
  if (!y || !m || !d) return std::nullopt;
  year_month_day ymd{year(*y), month(static_cast<unsigned>(*m)), day(static_cast<unsigned>(*d))};
  if (!ymd.ok()) return std::nullopt;
  return static_cast<std::time_t>(sys_seconds(sys_days(ymd)).time_since_epoch().count());
}

std::int64_t freshFor(std::time_t now, std::string_view tableDay, const TableSchedule& schedule) {
  std::int64_t untilNext = nextTableDue(now, schedule.dueMinute) - now;
  if (schedule.overdueMaxAge > 0) {
    auto start = dayStart(tableDay);
    auto published = start ? *start + std::time_t{schedule.dueMinute} * 60 : std::time_t(0);
    if (published < lastTableDue(now, schedule.dueMinute))
      untilNext = std::min(untilNext, schedule.overdueMaxAge);
  }
  return std::max<std::int64_t>(untilNext, 1);
}

std::time_t tableModified(std::string_view tableDay, std::time_t loaded, int dueMinute) {
  auto start = dayStart(tableDay);
  if (!start) return loaded;
  return std::min<std::time_t>(*start + std::time_t{dueMinute} * 60, loaded);
}

std::string httpDate(std::time_t time) {
  auto secs = sys_seconds(seconds(time));
  auto day = floor<days>(secs);
  year_month_day ymd(day);
  hh_mm_ss clock(secs - day);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kDays[weekday(day).c_encoding()], static_cast<unsigned>(ymd.day()),
                kMonths[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

std::optional<std::time_t> parseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
    return std::nullopt;
  }
  auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
  auto dayNumber = digitsAt(text, 5, 2);
  auto y = digitsAt(text, 12, 4);
  auto h = digitsAt(text, 17, 2);
  auto mi = digitsAt(text, 20, 2);
  auto s = digitsAt(text, 23, 2);
  if (month == kMonths.end() || !dayNumber || !y || !h || !mi || !s || *h > 23 || *mi > 59 ||
      *s > 60) {
    return std::nullopt;
  }
  year_month_day ymd{year(*y),
                     std::chrono::month(static_cast<unsigned>(month - kMonths.begin() + 1)),
                     day(static_cast<unsigned>(*dayNumber))};
  if (!ymd.ok()) return std::nullopt;
  auto at = sys_seconds(sys_days(ymd)) + hours(*h) + minutes(*mi) + seconds(*s);
  return static_cast<std::time_t>(at.time_since_epoch().count());
}

bool noneMatchHits(std::string_view ifNoneMatch, std::string_view etag) {
  auto opaque = [](std::string_view tag) {
    if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
    return tag;
  };
  while (!ifNoneMatch.empty()) {
    auto comma = ifNoneMatch.find(',');
    auto item = ifNoneMatch.substr(0, comma);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item == "*" || (!item.empty() && opaque(item) == opaque(etag))) return true;
    if (comma == std::string_view::npos) break;
    ifNoneMatch.remove_prefix(comma + 1);
  }
  return false;
}

std::uint64_t digest64(std::string_view text, std::uint64_t seed) {
  std::uint64_t hash = seed;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace tessary::quotes
