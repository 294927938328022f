#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "platform/foundation/file_manager.h"
#include "platform/uikit/ui_application.h"
#include "tests/widget/widget_fixture.h"
#include "widget/rates/quote_service.h"

namespace tessary::test {
namespace {

using QuoteService = PlatformTest;

// The reply handling, driven by calling the delegate methods as the connection does. The
// real connection against the real quote service is exercised in the integration tests.
class QuoteReply : public WidgetTest {
 protected:
  std::shared_ptr<NSURLConnection> connectionFor(const std::string& first,
                                                 const std::string& second, double timeout) {
    const auto url =
        NSURL::URLWithString(quote_service::requestURL("http://127.0.0.1:9", first, second));
    return NSURLConnection::initWithRequestDelegate(
        NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
            url, NSURLRequestReloadIgnoringLocalAndRemoteCacheData, timeout),
        controller);
  }
  void reply(const std::string& first, const std::string& second, const std::string& body,
             double timeout = 16.0) {
    auto connection = connectionFor(first, second, timeout);
    controller->connectionDidReceiveData(*connection, NSData(body));
    controller->connectionDidFinishLoading(*connection);
  }
  void fail(double timeout, NSInteger code = NSURLErrorCannotConnectToHost) {
    auto connection = connectionFor("EUR", "USD", timeout);
    controller->connectionDidFailWithError(*connection, *NSError::urlError(code));
  }
};

TEST_F(QuoteReply, AForwardReplyConvertsAndIsStoredWithItsArrival) {
  leftField->setText("10");
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
  reply("EUR", "USD", "1.1708\n");
  EXPECT_EQ(rightField->text(), "11.71");
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.1708\n");
  EXPECT_EQ(dates()->objectForKey("EUR-USD")->doubleValue(), clock_->wall());
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
}

TEST_F(QuoteReply, TheScreenAtArrivalDecidesTheConversionNotTheStoredKey) {
  // The sides were swapped while the request ran.
  setCodes("USD", "EUR");
  leftField->setText("10");
  reply("EUR", "USD", "2");
  EXPECT_EQ(rightField->text(), "5.00");
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "2");
  EXPECT_EQ(rates()->objectForKey("USD-EUR"), nullptr);

  // The source was emptied meanwhile: the target empties and the rate is still stored.
  leftField->setText("");
  rightField->setText("5.00");
  reply("USD", "EUR", "0.8");
  EXPECT_EQ(rightField->text(), "");
  EXPECT_NE(rates()->objectForKey("USD-EUR"), nullptr);

  // A currency changed meanwhile: the reply is stored but converts nothing.
  setCodes("EUR", "JPY");
  leftField->setText("10");
  rightField->setText("kept");
  reply("EUR", "USD", "1.25");
  EXPECT_EQ(rightField->text(), "kept");
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.25");

  // Two replies for one key: the later decides.
  setCodes("EUR", "USD");
  leftField->setText("1");
  reply("EUR", "USD", "1.5");
  reply("EUR", "USD", "1.25");
  EXPECT_EQ(rightField->text(), "1.25");
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.25");
}

TEST_F(QuoteReply, AFailureWithoutARateEmptiesTheFieldItWouldHaveFilled) {
  // The right side changed to JPY while its dollar figure stood: no rate of any age converts
  // euros into yen, so the figure goes with the alert and the amount stays.
  setCodes("EUR", "JPY");
  leftField->setText("250");
  rightField->setText("285.38");
  fail(16.0);
  EXPECT_EQ(leftField->text(), "250");
  EXPECT_EQ(rightField->text(), "");
  left = NO;  // the right side is the source: the left field goes, as a forced refresh's
  leftField->setText("99.00");
  fail(15.0);
  EXPECT_EQ(leftField->text(), "");
  EXPECT_EQ(rightField->text(), "");
  EXPECT_EQ(UIAlertView::visibleAlerts().size(), 2u);

  // A rate of any age, or both sides on one code, keep what is shown.
  setCodes("EUR", "EUR");
  rightField->setText("5");
  leftField->setText("5");
  fail(15.0);
  EXPECT_EQ(leftField->text(), "5");
  setCodes("EUR", "USD");
  storeRate("USD-EUR", "0.5", 30.0);
  leftField->setText("kept");
  fail(15.0);
  EXPECT_EQ(leftField->text(), "kept");
  EXPECT_EQ(UIAlertView::visibleAlerts().size(), 4u);
}

TEST_F(QuoteReply, TheFallbackTakesTheLaterOfTwoStoredOrders) {
  leftField->setText("100");
  storeRate("EUR-USD", "1.0", 10.0);
  storeRate("USD-EUR", "0.8", 1.0);
  fail(16.0);
  EXPECT_EQ(rightField->text(), "125.00");
  storeRate("EUR-USD", "1.0", 0.5);
  fail(16.0);
  EXPECT_EQ(rightField->text(), "100.00");
  // The later order holds no usable rate: the other one serves.
  storeRate("EUR-USD", "N/A", 0.1);
  fail(16.0);
  EXPECT_EQ(rightField->text(), "125.00");
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
}

TEST_F(QuoteReply, AGarbageReplyFailsAndNeverOverwritesTheStore) {
  storeRate("USD-EUR", "0.5", 30.0);  // old, but any age serves the fallback
  const std::string before = root_.readFile(paths::kRates);
  const std::vector<std::pair<std::string, std::string>> replies = {
      {"", "empty"},
      {"N/A\n", "no usable rate"},
      {"\xff\xfe"
       "1.2",
       "UTF-8"},
      {"0", "no usable rate"},
      {"-1.5", "no usable rate"},
      {"1e39", "no usable rate"},
      {"1e-39", "no usable rate"},
      {std::string(70000, '1'), "too large"},
      // Control bytes other than tab, CR and LF: the store's XML cannot hold them.
      {std::string("1.5\0junk", 8), "control"},
      {"1.5\x01", "control"},
      {"1.5\x1b[0m", "control"},
      {"1.5\x7f", "control"}};
  const std::string datesBefore = root_.readFile(paths::kDates);
  for (const auto& [body, why] : replies) {
    leftField->setText("3");
    rightField->setText("");
    reply("EUR", "USD", body);
    EXPECT_EQ(rightField->text(), "6.00") << why;  // the cached reverse rate, inverted
    EXPECT_EQ(root_.readFile(paths::kRates), before) << why;
    EXPECT_EQ(root_.readFile(paths::kDates), datesBefore) << why;
  }
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());

  // Without a cached rate the same replies end in the alert that says what was wrong.
  setCodes("GBP", "CHF");
  reply("GBP", "CHF", "N/A\n");
  reply("GBP", "CHF", "");
  ASSERT_EQ(UIAlertView::visibleAlerts().size(), 2u);
  EXPECT_EQ(UIAlertView::visibleAlerts()[0]->title()->UTF8String(), "Error");
  EXPECT_EQ(alertMessage(0), "The quote service's reply holds no usable rate.");
  EXPECT_EQ(alertMessage(1), "The quote service sent an empty reply.");
  EXPECT_EQ(UIAlertView::visibleAlerts()[0]->buttons(), std::vector<std::string>{"OK"});
}

TEST_F(QuoteReply, TabCarriageReturnAndLineFeedAreKeptAsTheyCame) {
  leftField->setText("2");
  reply("EUR", "USD", "1.5\t\r\n");
  EXPECT_EQ(rightField->text(), "3.00");
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.5\t\r\n");
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
}

TEST_F(QuoteReply, ADateIsStoredOnlyWithItsRate) {
  storeRate("EUR-USD", "1.5", 10.0);
  const double oldDate = dates()->objectForKey("EUR-USD")->doubleValue();
  // The writer refuses a NUL: the rate stays, and so does its old date.
  rate_store::storeReply("EUR-USD", std::string("2\0", 2), clock_->wall());
  EXPECT_EQ(rates()->objectForKey("EUR-USD")->description(), "1.5");
  EXPECT_EQ(dates()->objectForKey("EUR-USD")->doubleValue(), oldDate);
  // A rates file that cannot be read (here a folder) is not written, nor is the date.
  std::filesystem::remove(root_.host(paths::kRates));
  std::filesystem::create_directory(root_.host(paths::kRates));
  rate_store::storeReply("EUR-GBP", "0.8", clock_->wall());
  EXPECT_EQ(dates()->objectForKey("EUR-GBP"), nullptr);
  EXPECT_TRUE(std::filesystem::is_directory(root_.host(paths::kRates)));
}

TEST_F(QuoteReply, FailuresFallBackForLoadAndAlwaysAlertForAForcedRefresh) {
  storeRate("USD-EUR", "4", 100.0);
  leftField->setText("2");
  rightField->setText("untouched");
  fail(15.0);
  EXPECT_EQ(rightField->text(), "untouched");
  ASSERT_EQ(UIAlertView::visibleAlerts().size(), 1u);
  EXPECT_EQ(alertMessage(), "Could not connect to the server.");
  UIAlertView::dismissAll();

  fail(16.0);
  EXPECT_EQ(rightField->text(), "0.50");
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());

  setCodes("EUR", "JPY");  // never fetched
  fail(16.0, NSURLErrorTimedOut);
  EXPECT_EQ(alertMessage(), "The request timed out.");
}

TEST_F(QuoteReply, AStoreUnreadableForLackOfDescriptorsLeavesTheScreenWithoutAlert) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
  storeRate("USD-EUR", "4", 100.0);
  leftField->setText("2");
  rightField->setText("untouched");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(lowestFree);  // no new descriptor can be had
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  fail(16.0, NSURLErrorTimedOut);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(rightField->text(), "untouched");
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
}

TEST_F(QuoteReply, ForcedRefreshRequestsSourceFirstAndHighlightsForAMoment) {
  left = NO;
  controller->reloadRate();
  ASSERT_EQ(NSURLConnection::startedRequests().size(), 1u);
  EXPECT_EQ(NSURLConnection::startedRequests()[0].url,
            "http://127.0.0.1:9/d/quotes.csv?s=USDEUR=X&f=l1");
  EXPECT_EQ(NSURLConnection::startedRequests()[0].timeout, 15.0);
  EXPECT_TRUE(refresh->isHighlighted());
  advance(0.049);
  EXPECT_TRUE(refresh->isHighlighted());
  advance(0.001);
  EXPECT_FALSE(refresh->isHighlighted());
}

TEST_F(QuoteReply, AnInvalidCodeIsNeverRequestedAndFailsOnTheNextTurn) {
  setCodes("E/R", "USD");
  leftField->setText("1");
  controller->load();
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());  // not inside load
  advance(0.0);
  EXPECT_EQ(alertMessage(), "The currency code \"E/R\" is not valid.");
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
}

TEST_F(QuoteService, AddressesAreEncodedAndThePairIsReadBackFromTheQuery) {
  using namespace quote_service;
  EXPECT_EQ(requestURL("http://q", "EUR", "USD"), "http://q/d/quotes.csv?s=EURUSD=X&f=l1");
  EXPECT_EQ(requestURL("http://q", "A=B", "C&D"), "http://q/d/quotes.csv?s=A%3DBC%26D=X&f=l1");
  const auto pair = pairOfRequest(requestURL("http://h=st:1", "A=B", "USD"));
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->first, "A=B");
  EXPECT_EQ(pair->second, "USD");
  EXPECT_FALSE(pairOfRequest("http://q/d/quotes.csv?f=l1"));
  EXPECT_FALSE(pairOfRequest("http://q/d/quotes.csv?s=EU=X"));
  EXPECT_TRUE(isValidCode("EUR"));
  EXPECT_TRUE(isValidCode("X9Z"));
  for (const char* bad : {"", "EU", "EURO", "E R", "\xc3\xa9UR", "EU-"}) {
    EXPECT_FALSE(isValidCode(bad)) << bad;
  }
}

TEST_F(QuoteService, TheBaseAddressComesFromEnvironmentThenInfoPlistThenDefault) {
  TempDeviceRoot root;
  unsetenv("TESSARY_QUOTE_URL");
  EXPECT_EQ(quote_service::baseURL(), "http://127.0.0.1:8471");
  ASSERT_TRUE(NSFileManager::defaultManager().createDirectoryAtPath(paths::kBundle));
  NSDictionary({{"TessaryQuoteServiceURL", NSStr("https://quotes.example/")}})
      .writeToFileAtomically(paths::kBundleInfo, true);
  EXPECT_EQ(quote_service::baseURL(), "https://quotes.example");
  setenv("TESSARY_QUOTE_URL", "http://127.0.0.1:1234", 1);
  EXPECT_EQ(quote_service::baseURL(), "http://127.0.0.1:1234");
  unsetenv("TESSARY_QUOTE_URL");
}

}  // namespace
}  // namespace tessary::test
