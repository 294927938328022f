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

// Fresh while the age in days, in single precision, is below `updateDays`; no date is stale.
bool isFresh(double date, int updateDays, double now);
// Finite and above 0 in single precision, with a finite reciprocal.
bool isUsableRate(float rate);

// Creates each of the two files that is missing, holding an empty dictionary.
void createMissingFiles();
// Sets the key in both files (rates first) to the reply text and the time. The date is written
// only when the rate was: a rates file that cannot be read or written leaves both files as
// they were, so they never disagree.
void storeReply(const std::string& key, const std::string& replyText, double now);

}  // namespace rate_store
