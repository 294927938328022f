#pragma once

#include <memory>
#include <string>

#include "platform/foundation/values.h"

// The on-disk rate cache: "Rates.plist" holds the reply text per ordered pair, "Dates.plist"
// the moment it arrived. Nothing is kept in memory; every operation opens the files afresh.
namespace rate_store {

// "%@-%@": the value under A-B converts amounts of A into B.
std::string pairKey(const std::string& first, const std::string& second);

std::shared_ptr<NSDictionary> readRates();
std::shared_ptr<NSDictionary> readDates();

// The reply text under the key read as a single-precision number; 0 means no rate.
float rateUnder(const NSDictionary* rates, const std::string& key);
// The same text read in double precision and narrowed, as the failure fallback reads it.
float fallbackRateUnder(const NSDictionary* rates, const std::string& key);
// Seconds since the reference date; 0 means no date.
double dateUnder(const NSDictionary* dates, const std::string& key);
bool contains(const NSDictionary* dictionary, const std::string& key);

// Fresh while the age in days, in single precision, is below `updateDays`. No date is stale,
// and so is a date that is not believable: not finite, or more than a day ahead of `now` (a
// day of clock skew is allowed).
bool isFresh(double date, int updateDays, double now);

// The date that decides a pair's freshness and which of its two keys the rate is read under.
struct PairDate {
  double date = 0;       // 0 when neither key has one
  bool reverse = false;  // the date is the reverse key's: its rate is inverted
};
// Of the two orders of a pair, the one stored later: a reply is served whichever side asked.
// A believable date beats one that is not; on a tie the forward key wins.
PairDate fresherDate(const NSDictionary* dates, const std::string& forwardKey,
                     const std::string& reverseKey, double now);
// Finite and above 0 in single precision, with a finite reciprocal.
bool isUsableRate(float rate);

// Creates each of the two files that is missing, holding an empty dictionary.
void createMissingFiles();
// Sets the key in both files (rates first) to the reply text and the time. The date is written
// only when the rate was: a rates file that cannot be read or written leaves both files as
// they were, so they never disagree.
void storeReply(const std::string& key, const std::string& replyText, double now);

}  // namespace rate_store
