#include "widget/rates/rate_store.h"

#include <cmath>

#include "platform/foundation/file_manager.h"
#include "widget/controller/paths.h"
#include "widget/util/store_file.h"

namespace rate_store {

std::string pairKey(const std::string& first, const std::string& second) {
  std::string key;
  key.reserve(first.size() + 1 + second.size());
  return key.append(first).append(1, '-').append(second);
}

std::shared_ptr<NSDictionary> readRates() {
  return NSDictionary::dictionaryWithContentsOfFile(paths::kRates);
}

std::shared_ptr<NSDictionary> readDates() {
  return NSDictionary::dictionaryWithContentsOfFile(paths::kDates);
}

float rateUnder(const NSDictionary* rates, const std::string& key) {
  const id value = rates ? rates->objectForKey(key) : nullptr;
  return value ? value->floatValue() : 0.0f;
}

float fallbackRateUnder(const NSDictionary* rates, const std::string& key) {
  const id value = rates ? rates->objectForKey(key) : nullptr;
  return value ? static_cast<float>(value->doubleValue()) : 0.0f;
}

double dateUnder(const NSDictionary* dates, const std::string& key) {
  const id value = dates ? dates->objectForKey(key) : nullptr;
  return value ? value->doubleValue() : 0.0;
}

bool contains(const NSDictionary* dictionary, const std::string& key) {
  return dictionary && dictionary->objectForKey(key) != nullptr;
}

namespace {
constexpr double kDay = 86400.0;

bool isBelievable(double date, double now) {
  return std::isfinite(date) && date - now <= kDay;
}
}  // namespace

bool isFresh(double date, int updateDays, double now) {
  if (date == 0.0 || !isBelievable(date, now)) return false;
  const float limit = static_cast<float>(updateDays);
  const float age = static_cast<float>(now - date) / static_cast<float>(kDay);
  return age < limit;
}

PairDate fresherDate(const NSDictionary* dates, const std::string& forwardKey,
                     const std::string& reverseKey, double now) {
  const double forward = dateUnder(dates, forwardKey);
  const double reverse = dateUnder(dates, reverseKey);
  if (reverse == 0.0) return {forward, false};
  if (forward == 0.0) return {reverse, true};
  const bool forwardBelievable = isBelievable(forward, now);
  if (forwardBelievable != isBelievable(reverse, now)) {
    return forwardBelievable ? PairDate{forward, false} : PairDate{reverse, true};
  }
  return reverse > forward ? PairDate{reverse, true} : PairDate{forward, false};
}

bool isUsableRate(float rate) {
  return std::isfinite(rate) && rate > 0.0f && std::isfinite(1.0f / rate);
}

void createMissingFiles() {
  for (const char* path : {paths::kRates, paths::kDates}) store_file::createIfMissing(path);
}

void storeReply(const std::string& key, const std::string& replyText, double now) {
  // A date without its rate would make an old rate look fresh, so the date is written only
  // once the rate is.
  const bool stored = store_file::update(paths::kRates, false, [&](const auto& rates) {
    rates->setObjectForKey(NSStr(replyText), key);
    return true;
  });
  if (!stored) return;
  store_file::update(paths::kDates, false, [&](const auto& dates) {
    dates->setObjectForKey(NSNumber::numberWithDouble(now), key);
    return true;
  });
}

}  // namespace rate_store
