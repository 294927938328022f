#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tessary::quotes {

// How long a cache may keep a quote: until the next reference table is due. Tables are due on
// working days (Monday to Friday) at a time of day in UTC; holidays are not known, so a cache
// revalidates on those days and is told nothing changed.
struct TableSchedule {
  int dueMinute = 15 * 60;  // minutes after midnight UTC
  // With a refresher, a table older than the last due moment is overdue: caches then keep it
  // for at most this long, so they see the new one soon after it arrives. 0: not refreshing.
  std::int64_t overdueMaxAge = 0;
};

// "HH:MM", 24-hour clock.
std::optional<int> parseTimeOfDay(std::string_view text);

// The first due moment strictly after `now`, and the last at or before it.
std::time_t nextTableDue(std::time_t now, int dueMinute);
std::time_t lastTableDue(std::time_t now, int dueMinute);

// Midnight UTC of a "YYYY-MM-DD" day.
std::optional<std::time_t> dayStart(std::string_view isoDay);

// Seconds a cache may keep an answer from a table published on `tableDay` (may be empty),
// asked at `now`; always at least 1.
std::int64_t freshFor(std::time_t now, std::string_view tableDay, const TableSchedule& schedule);

// When the table's figures were last modified: its day at the due time, never after `loaded`.
std::time_t tableModified(std::string_view tableDay, std::time_t loaded, int dueMinute);

// IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT", and back; other forms read as nothing.
std::string httpDate(std::time_t time);
std::optional<std::time_t> parseHttpDate(std::string_view text);

// If-None-Match against our strong entity tag (weak comparison, as the header wants): "*" or
// any listed tag, with or without W/, matches.
bool noneMatchHits(std::string_view ifNoneMatch, std::string_view etag);

// A short stable digest for entity tags.
std::uint64_t digest64(std::string_view text, std::uint64_t seed = 14695981039346656037ull);

}  // namespace tessary::quotes
