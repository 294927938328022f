#include <algorithm>

#include "platform/foundation/clock.h"
#include "platform/foundation/number_text.h"
#include "widget/controller/flags.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"
#include "widget/rates/rate_store.h"
#include "widget/rates/sides.h"

std::string convertedAmountText(const std::string& amountText, float rate, int decimalPlaces) {
  if (amountText.empty()) return "";
  std::string text = amountText;
  std::replace(text.begin(), text.end(), ',', '.');
  const float amount = number_text::floatValue(text);
  const float product = amount * rate;
  // The same text as the format "%.<decimalPlaces>f" gives, written directly.
  return number_text::formatFixed(static_cast<double>(product), decimalPlaces);
}

TessaryController::Sides TessaryController::sides() const {
  Sides s;
  s.leftField = leftField.lock();
  s.rightField = rightField.lock();
  const auto leftCode = leftButton.lock();
  const auto rightCode = rightButton.lock();
  s.leftCode = leftCode ? leftCode->titleLabel()->text() : std::string();
  s.rightCode = rightCode ? rightCode->titleLabel()->text() : std::string();
  s.source = left ? s.leftField : s.rightField;
  s.target = left ? s.rightField : s.leftField;
  s.sourceCode = left ? s.leftCode : s.rightCode;
  s.targetCode = left ? s.rightCode : s.leftCode;
  return s;
}

void TessaryController::load() {
  const Sides s = sides();
  if (!s.source || !s.target) return;

  if (s.source->text().empty() || s.leftCode == s.rightCode) {
    s.target->setText(s.source->text());
    return;
  }

  const auto rates = rate_store::readRates();
  const auto dates = rate_store::readDates();
  const std::string forwardKey = rate_store::pairKey(s.sourceCode, s.targetCode);
  const std::string reverseKey = rate_store::pairKey(s.targetCode, s.sourceCode);

  // The rate comes from the key the date was found under, so a store whose two files
  // disagree never converts with an uninverted reverse rate.
  const double now = Clock::current().wall();
  const auto [date, reverse] = rate_store::fresherDate(dates.get(), forwardKey, reverseKey, now);

  if (rate_store::isFresh(date, settings::update(), now)) {
    float rate = rate_store::rateUnder(rates.get(), reverse ? reverseKey : forwardKey);
    if (reverse) rate = 1.0f / rate;
    // A cached rate that is not usable is no rate: fetch instead of showing 0.00 or inf.
    if (rate_store::isUsableRate(rate)) {
      s.target->setText(convertedAmountText(s.source->text(), rate, decimalPlaces));
      return;
    }
  }

  std::string first = s.sourceCode, second = s.targetCode;
  if (rate_store::contains(dates.get(), rate_store::pairKey(s.rightCode, s.leftCode))) {
    first = s.rightCode;
    second = s.leftCode;
  } else if (rate_store::contains(dates.get(), rate_store::pairKey(s.leftCode, s.rightCode))) {
    first = s.leftCode;
    second = s.rightCode;
  }
  startRequest(first, second, 16.0);
}
