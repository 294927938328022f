// The widget's requests over real HTTP through libcurl against the real quote service on an
// ephemeral loopback port.
#include "platform/uikit/ui_application.h"
#include "tests/support/quote_service.h"
#include "tests/widget/widget_fixture.h"

namespace tessary::test {
namespace {

class Download : public WidgetTest {
 protected:
  void useService(const QuoteService& service) {
    setenv("TESSARY_QUOTE_URL", service.baseUrl().c_str(), 1);
  }
  // Waits in real time for every request to end; the clock does not move.
  bool settle() {
    return runUntil([] { return NSURLConnection::activeCount() == 0; }, 20.0);
  }
  std::string stored(const std::string& key) const {
    const auto file = rates();
    const id value = file ? file->objectForKey(key) : nullptr;
    return value ? value->description() : "<none>";
  }
};

TEST_F(Download, AForwardReplyConvertsAndIsStored) {
  QuoteService service;
  useService(service);
  typeIntoSource("10");
  EXPECT_TRUE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  ASSERT_TRUE(settle());
  const float rate = NSStr(stored("EUR-USD"))->floatValue();
  EXPECT_GT(rate, 0.5f);
  EXPECT_EQ(rightField->text(), convertedAmountText("10", rate, 2));
  EXPECT_EQ(dates()->objectForKey("EUR-USD")->doubleValue(), clock_->wall());
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());

  // The next keystroke converts from the store without a request.
  typeIntoSource("20");
  EXPECT_EQ(rightField->text(), convertedAmountText("20", rate, 2));
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 1u);
}

TEST_F(Download, TheSidesAtArrivalDecideWhileTheStoreKeepsTheRequestedPair) {
  QuoteService service({"--delay", "300"});
  useService(service);
  typeIntoSource("10");
  setCodes("USD", "EUR");  // swapped while the request runs
  ASSERT_TRUE(settle());
  const float rate = NSStr(stored("EUR-USD"))->floatValue();
  EXPECT_EQ(rightField->text(), convertedAmountText("10", 1.0f / rate, 2));
  EXPECT_EQ(stored("USD-EUR"), "<none>");

  typeIntoSource("");
  setCodes("GBP", "CHF");
  leftField->setText("5");
  controller->load();
  leftField->setText("");  // emptied while the request runs
  ASSERT_TRUE(settle());
  EXPECT_EQ(rightField->text(), "");
  EXPECT_NE(stored("GBP-CHF"), "<none>");
}

TEST_F(Download, TwoKeystrokesStartTwoRequestsAndBothReplyIntoTheSameKey) {
  QuoteService service;
  useService(service);
  typeIntoSource("1");
  typeIntoSource("12");
  EXPECT_EQ(NSURLConnection::startedRequests().size(), 2u);
  ASSERT_TRUE(settle());
  EXPECT_EQ(rightField->text(),
            convertedAmountText("12", NSStr(stored("EUR-USD"))->floatValue(), 2));
  EXPECT_EQ(rates()->count(), 1u);
}

TEST_F(Download, FailedRepliesFallBackToACachedReverseRateOrAlert) {
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--status", "500"}, "The quote service answered 500."},
           {{"--status", "404"}, "The quote service answered 404."},
           {{"--body", "garbage"}, "The quote service's reply holds no usable rate."}}) {
    QuoteService service(args);
    useService(service);
    UIAlertView::dismissAll();
    storeRate("USD-EUR", "4", 10.0);  // stale: load fetches, the failure falls back to it
    typeIntoSource("2");
    ASSERT_TRUE(settle());
    EXPECT_EQ(rightField->text(), "0.50") << message;
    EXPECT_TRUE(UIAlertView::visibleAlerts().empty()) << message;
    EXPECT_EQ(stored("EUR-USD"), "<none>") << message;

    setCodes("EUR", "SEK");  // never fetched
    typeIntoSource("2");
    ASSERT_TRUE(settle());
    EXPECT_EQ(alertMessage(), message);
    setCodes("EUR", "USD");
  }
}

TEST_F(Download, AFailedForcedRefreshAlwaysAlertsAndLeavesTheField) {
  QuoteService service({"--status", "503"});
  useService(service);
  storeRate("EUR-USD", "2", 0.1);
  typeIntoSource("3");
  EXPECT_EQ(rightField->text(), "6.00");
  controller->reloadRate();
  ASSERT_TRUE(settle());
  EXPECT_EQ(rightField->text(), "6.00");
  EXPECT_EQ(alertMessage(), "The quote service answered 503.");
  EXPECT_EQ(stored("EUR-USD"), "2");
}

TEST_F(Download, AnUnknownCurrencyIsAFailureNotARate) {
  QuoteService service;
  useService(service);
  setCodes("EUR", "QQQ");
  typeIntoSource("1");
  ASSERT_TRUE(settle());
  EXPECT_EQ(alertMessage(), "The quote service answered 404.");
  EXPECT_EQ(rates()->count(), 0u);
}

TEST_F(Download, TheServiceDownOrStalledOrUnreachable) {
  {
    QuoteService service;
    useService(service);
    service.stop();
    typeIntoSource("1");
    ASSERT_TRUE(settle());
    EXPECT_EQ(alertMessage(), "Could not connect to the server.");
    UIAlertView::dismissAll();
  }
  {
    QuoteService service({"--stall"});
    useService(service);
    typeIntoSource("2");
    // The idle timeout runs on the test's clock, whether or not the connection is made yet.
    advance(15.9);
    EXPECT_EQ(NSURLConnection::activeCount(), 1u);
    advance(0.1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(alertMessage(), "The request timed out.");
    UIAlertView::dismissAll();
  }
  setenv("TESSARY_QUOTE_URL", "ftp://127.0.0.1:21", 1);
  typeIntoSource("3");
  ASSERT_TRUE(settle());
  EXPECT_EQ(alertMessage(), "unsupported URL");
  UIAlertView::dismissAll();
  {
    // A forced refresh gives up after 15.0 s, and alerts although a rate is cached.
    QuoteService service({"--stall"});
    useService(service);
    storeRate("EUR-USD", "2", 0.1);
    typeIntoSource("3");
    controller->reloadRate();
    advance(14.9);
    EXPECT_EQ(NSURLConnection::activeCount(), 1u);
    EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
    advance(0.1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(alertMessage(), "The request timed out.");
    EXPECT_EQ(rightField->text(), "6.00");
    UIAlertView::dismissAll();
  }
}

}  // namespace
}  // namespace tessary::test
