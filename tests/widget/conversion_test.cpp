#include <cmath>
#include <filesystem>

#include "platform/uikit/ui_application.h"
#include "tests/widget/widget_fixture.h"
#include "widget/controller/settings.h"

namespace tessary::test {
namespace {

using Settings = PlatformTest;

using Conversion = WidgetTest;

TEST_F(Conversion, PlainCopyWhenTheSourceIsEmptyOrBothCodesMatch) {
  rightField->setText("99.00");
  typeIntoSource("");
  EXPECT_EQ(rightField->text(), "");
  setCodes("EUR", "EUR");
  typeIntoSource("1,5");
  EXPECT_EQ(rightField->text(), "1,5");
  setCodes("eur", "EUR");  // codes compare exactly
  typeIntoSource("2");
  ASSERT_EQ(NSURLConnection::startedRequests().size(), 1u);
  EXPECT_NE(NSURLConnection::startedRequests()[0].url.find("s=eurEUR=X"), std::string::npos);
}

TEST_F(Conversion, AFreshForwardRateConvertsAtOnce) {
  storeRate("EUR-USD", "2", 1.0);
  typeIntoSource("12,5");
  EXPECT_EQ(rightField->text(), "25.00");
  typeIntoSource("1.2.3");
  EXPECT_EQ(rightField->text(), "2.40");
  typeIntoSource(",");
  EXPECT_EQ(rightField->text(), "0.00");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
}

TEST_F(Conversion, AReverseOnlyRateIsInvertedAndTheRightSideCanBeTheSource) {
  storeRate("USD-EUR", "4\n", 0.5);
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "0.50");

  storeRate("EUR-USD", "3", 0.5);
  left = NO;  // right side (USD) is the source: USD-EUR is its forward key
  typeIntoSource("2");
  EXPECT_EQ(leftField->text(), "8.00");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
}

TEST_F(Conversion, FreshnessFollowsTheUpdateSetting) {
  storeRate("EUR-USD", "1.5", 2.99);
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "3.00");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());

  storeRate("EUR-USD", "1.5", 3.0);  // exactly three days: stale
  rightField->setText("unchanged");
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "unchanged");
  ASSERT_EQ(NSURLConnection::startedRequests().size(), 1u);

  writeSettings({{"Update", NSNumber::numberWithInteger(0)}});
  storeRate("EUR-USD", "1.5", 0.001);
  typeIntoSource("2");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 2u);

  // The age is narrowed to single precision before the division: 259199.995 s rounds to
  // exactly three days, stale, though in double precision it would still be fresh.
  writeSettings({{"Update", NSNumber::numberWithInteger(3)}});
  rate_store::storeReply("EUR-USD", "1.5", clock_->wall() - 259199.995);
  ASSERT_LT((clock_->wall() - dates()->objectForKey("EUR-USD")->doubleValue()) / kDay, 3.0);
  typeIntoSource("2");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 3u);
  rate_store::storeReply("EUR-USD", "1.5", clock_->wall() - 259199.99);
  typeIntoSource("2");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 3u);
  writeSettings({{"Update", NSNumber::numberWithInteger(0)}});

  // A date up to a day ahead (clock skew) has a negative age, below even 0: fresh.
  storeRate("EUR-USD", "1.5", -1.0);
  rightField->setText("");
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "3.00");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 3u);
  // Further ahead, or not finite, the date is not believed: the rate is fetched again.
  size_t requests = 3;
  for (const double date : {clock_->wall() + 1.001 * kDay, clock_->wall() + 10 * kDay, HUGE_VAL,
                            1e308, 4e9, 0x1p63, std::nan("")}) {
    rate_store::storeReply("EUR-USD", "1.5", date);
    typeIntoSource("2");
    EXPECT_EQ(NSURLConnection::startedRequests().size(), ++requests) << date;
  }
}

TEST_F(Conversion, TheLaterOfTwoStoredOrdersDecides) {
  // A forced refresh from the right stored USD-EUR beside a stale EUR-USD.
  storeRate("EUR-USD", "1.0", 10.0);
  storeRate("USD-EUR", "0.8", 1.0);
  typeIntoSource("100");
  EXPECT_EQ(rightField->text(), "125.00");
  left = NO;
  typeIntoSource("100");
  EXPECT_EQ(leftField->text(), "80.00");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());

  // The forward key is the later: it decides, uninverted; a date not believed loses to one
  // that is.
  storeRate("EUR-USD", "2", 0.5);
  typeIntoSource("100");
  EXPECT_EQ(leftField->text(), "50.00");
  rate_store::storeReply("USD-EUR", "0.8", INFINITY);
  typeIntoSource("100");
  EXPECT_EQ(leftField->text(), "50.00");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
}

TEST_F(Conversion, FetchingStartsOneRequestPerKeystrokeInTheStoredOrder) {
  typeIntoSource("1");
  typeIntoSource("12");
  const auto& started = NSURLConnection::startedRequests();
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].url, "http://127.0.0.1:9/d/quotes.csv?s=EURUSD=X&f=l1");
  EXPECT_EQ(started[0].timeout, 16.0);
  EXPECT_TRUE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_EQ(rightField->text(), "");

  storeRate("USD-EUR", "0.9", 10.0);  // stale, stored right-left: fetched in that order
  typeIntoSource("3");
  EXPECT_EQ(started.back().url, "http://127.0.0.1:9/d/quotes.csv?s=USDEUR=X&f=l1");

  setCodes("GBP", "JPY");
  storeRate("GBP-JPY", "190", 10.0);
  left = NO;  // the source is JPY, but the stored left-right order wins
  typeIntoSource("3");
  EXPECT_EQ(started.back().url, "http://127.0.0.1:9/d/quotes.csv?s=GBPJPY=X&f=l1");

  setCodes("CHF", "SEK");
  typeIntoSource("3");  // a new pair goes source first
  EXPECT_EQ(started.back().url, "http://127.0.0.1:9/d/quotes.csv?s=SEKCHF=X&f=l1");
}

TEST_F(Conversion, ResultsAreSinglePrecisionWithTheChosenDecimals) {
  storeRate("EUR-USD", "1", 0.0);
  typeIntoSource("16777217");
  EXPECT_EQ(rightField->text(), "16777216.00");
  controller->decimalPlaces = 0;
  typeIntoSource("2,5");
  EXPECT_EQ(rightField->text(), "2");
  controller->decimalPlaces = 20;
  typeIntoSource("0.1");
  EXPECT_EQ(rightField->text(), "0.10000000149011611938");
  controller->decimalPlaces = 25;  // the exact binary value of 0.1f, to 25 digits
  typeIntoSource("0.1");
  EXPECT_EQ(rightField->text(), "0.1000000014901161193847656");
  EXPECT_EQ(convertedAmountText("", 2.0f, 2), "");
  EXPECT_EQ(convertedAmountText("-3", 2.0f, 2), "-6.00");
  EXPECT_EQ(convertedAmountText("1e40", 2.0f, 2), "inf");
}

TEST_F(Conversion, UnusableCachedRatesAreFetchedInsteadOfShown) {
  for (const char* text : {"0", "N/A", "inf", "-2", "1e-40", "1e39", ""}) {
    NSURLConnection::clearStartedRequests();
    rightField->setText("kept");
    storeRate("EUR-USD", text, 0.1);
    typeIntoSource("2");
    EXPECT_EQ(rightField->text(), "kept") << text;
    EXPECT_EQ(NSURLConnection::startedRequests().size(), 1u) << text;
  }
}

TEST_F(Conversion, TheRateComesFromTheKeyItsDateWasFoundUnder) {
  // Only the reverse pair has a date (an earlier write of Dates.plist failed), while
  // Rates.plist also holds a forward text: the forward text must not be used uninverted.
  storeRate("USD-EUR", "4", 0.5);
  auto ratesFile = NSMutableDictionary::dictionaryWithContentsOfFile(paths::kRates);
  ratesFile->setObjectForKey(NSStr("100"), "EUR-USD");
  ratesFile->writeToFileAtomically(paths::kRates, true);
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "0.50");

  // A forward date without a forward rate is no rate, even though the reverse one exists.
  auto datesFile = NSMutableDictionary::dictionaryWithContentsOfFile(paths::kDates);
  datesFile->setObjectForKey(NSNumber::numberWithDouble(clock_->wall()), "EUR-USD");
  datesFile->writeToFileAtomically(paths::kDates, true);
  ratesFile->removeObjectForKey("EUR-USD");
  ratesFile->writeToFileAtomically(paths::kRates, true);
  rightField->setText("kept");
  typeIntoSource("2");
  EXPECT_EQ(rightField->text(), "kept");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 1u);
}

TEST_F(Conversion, MissingStoreFilesFetchCorruptOnesStartAfresh) {
  // A corrupt dates file is set aside and the reply's date stored afresh, so it is used.
  root_.writeFile(paths::kDates, "<?xml version=\"1.0\"?><plist><dict><key>EUR-USD");
  storeRate("EUR-USD", "2", 0.1);
  EXPECT_EQ(rates()->count(), 1u);
  EXPECT_EQ(dates()->count(), 1u);
  typeIntoSource("2");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
  EXPECT_EQ(rightField->text(), "4.00");
  // A missing dates file is not created by an update: every keystroke fetches.
  std::filesystem::remove(root_.host(paths::kDates));
  storeRate("EUR-USD", "2", 0.1);
  EXPECT_EQ(dates(), nullptr);
  typeIntoSource("3");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 1u);
}

TEST_F(Settings, DefaultsAndReadingsOfEveryKey) {
  TempDeviceRoot root;
  EXPECT_EQ(settings::detail(), NO);
  EXPECT_EQ(settings::update(), 3);
  EXPECT_EQ(settings::clear(), NO);
  EXPECT_FLOAT_EQ(settings::alpha(), 0.7f);
  EXPECT_EQ(settings::decimal(), 2);
  EXPECT_EQ(settings::autoScroll(NO), NO);
  EXPECT_EQ(settings::excludeCodes(YES), YES);

  NSDictionary({{"Detail", NSStr("yes")},
                {"Update", NSStr(" 7 days")},
                {"Clear", NSNumber::numberWithDouble(0.5)},
                {"Alpha", NSStr("0.25")},
                {"Decimal", NSNumber::numberWithInteger(-3)},
                {"AutoScroll", NSNumber::numberWithBool(false)},
                {"Exclude", NSStr("0")}})
      .writeToFileAtomically(paths::kSettings, true);
  EXPECT_EQ(settings::detail(), YES);
  EXPECT_EQ(settings::update(), 7);
  EXPECT_EQ(settings::clear(), NO);
  EXPECT_FLOAT_EQ(settings::alpha(), 0.25f);
  EXPECT_EQ(settings::decimal(), 0);  // held within 0...100
  EXPECT_EQ(settings::autoScroll(YES), NO);
  EXPECT_EQ(settings::excludeCodes(YES), NO);

  // "Decimal" reaches 100, and no further.
  NSDictionary({{"Decimal", NSNumber::numberWithInteger(25)}})
      .writeToFileAtomically(paths::kSettings, true);
  EXPECT_EQ(settings::decimal(), 25);
  NSDictionary({{"Decimal", NSNumber::numberWithInteger(2147483647)}})
      .writeToFileAtomically(paths::kSettings, true);
  EXPECT_EQ(settings::decimal(), 100);

  NSDictionary({{"Decimal", NSStr("400")},
                {"Update", std::make_shared<NSArray>(std::vector<id>{NSStr("1")})},
                {"Detail", std::make_shared<NSDictionary>()},
                {"Alpha", NSData::dataWithBytes("1")},
                {"Clear", NSDate::dateWithTimeIntervalSinceReferenceDate(1)}})
      .writeToFileAtomically(paths::kSettings, true);
  EXPECT_EQ(settings::decimal(), 100);
  // Containers, data and dates count as absent keys.
  EXPECT_EQ(settings::update(), 3);
  EXPECT_EQ(settings::detail(), NO);
  EXPECT_FLOAT_EQ(settings::alpha(), 0.7f);
  EXPECT_EQ(settings::clear(), NO);

  root.writeFile(paths::kSettings, "garbage");
  EXPECT_EQ(settings::update(), 3);
}

}  // namespace
}  // namespace tessary::test
