#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/foundation/clock.h"
#include "platform/foundation/format.h"
#include "platform/foundation/number_text.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "widget/controller/tessary_controller.h"
#include "widget/rates/quote_service.h"
#include "widget/rates/rate_store.h"
#include "widget/rates/sides.h"
#include "widget/util/perform_block_after_delay.h"

namespace {
constexpr double kForcedRefreshTimeout = 15.0;
constexpr size_t kMaximumReply = size_t{64} * 1024;

// Tab, CR and LF are the only control bytes a reply may hold: the store's XML files cannot
// hold the others (a NUL is refused by the writer, the rest make the file unreadable).
bool holdsControlBytes(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char byte) {
    const auto c = static_cast<unsigned char>(byte);
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
  });
}
}  // namespace

void TessaryController::startRequest(const std::string& first, const std::string& second,
                                     double timeout) {
  const std::string url = quote_service::requestURL(quote_service::baseURL(), first, second);
  auto request = NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
      NSURL::URLWithString(url), NSURLRequestReloadIgnoringLocalAndRemoteCacheData, timeout);
  auto connection = NSURLConnection::initWithRequestDelegate(request, self());
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);

  // A code that is not three letters or digits is never sent; the request fails on the next
  // turn, the way every other failure arrives.
  for (const std::string* code : {&first, &second}) {
    if (!quote_service::isValidCode(*code)) {
      const std::string description =
          stringWithFormat("The currency code \"%@\" is not valid.", {*code});
      // Like any started request, it ends in a failure whatever becomes of its caller.
      NSRunLoop::mainRunLoop()
          .addTimer(Seconds::zero(),
                    [controller = self(), connection, description] {
                      controller->failRequest(*connection, description);
                    })
          .detach();
      return;
    }
  }
  connection->start();
}

void TessaryController::reloadRate() {
  if (const auto button = refresh.lock()) button->setHighlighted(true);
  const Sides s = sides();
  startRequest(s.sourceCode, s.targetCode, kForcedRefreshTimeout);
  performBlockAfterDelay(
      self(),
      [controller = self()] {
        if (const auto button = controller->refresh.lock()) button->setHighlighted(false);
      },
      0.05);
}

void TessaryController::connectionDidReceiveResponse(NSURLConnection&, const NSHTTPURLResponse&) {}

void TessaryController::connectionDidReceiveData(NSURLConnection& connection, const NSData& data) {
  // A reply that is not a usable rate is a failed request, and nothing of it is stored.
  const NSInteger status = connection.statusCode();
  if (status != 0 && (status < 200 || status > 299)) {
    return failRequest(connection, stringWithFormat("The quote service answered %i.", {status}));
  }
  if (data.length() == 0) return failRequest(connection, "The quote service sent an empty reply.");
  if (data.length() > kMaximumReply) {
    return failRequest(connection, "The quote service's reply is too large.");
  }
  if (holdsControlBytes(data.bytes())) {
    return failRequest(connection, "The quote service's reply holds control characters.");
  }
  const auto reply = NSString::stringWithUTF8Data(data.bytes());
  if (!reply) return failRequest(connection, "The quote service's reply is not UTF-8 text.");
  const float quoted = reply->floatValue();
  if (!rate_store::isUsableRate(quoted)) {
    return failRequest(connection, "The quote service's reply holds no usable rate.");
  }
  const auto& request = connection.originalRequest();
  const auto pair = quote_service::pairOfRequest(
      request && request->URL() ? request->URL()->absoluteString() : std::string());
  if (!pair) return failRequest(connection, "The reply's currency pair is unknown.");

  const Sides s = sides();
  const bool forward = pair->first == s.sourceCode && pair->second == s.targetCode;
  const bool reverse = pair->first == s.targetCode && pair->second == s.sourceCode;
  // A reply for a pair the screen no longer shows (a currency was changed meanwhile) is
  // stored but converts nothing: neither it nor its reciprocal is the rate shown.
  if (s.source && s.target && (forward || reverse)) {
    const float rate = forward ? quoted : 1.0f / quoted;
    s.target->setText(convertedAmountText(s.source->text(), rate, decimalPlaces));
  }
  rate_store::storeReply(rate_store::pairKey(pair->first, pair->second), reply->UTF8String(),
                         Clock::current().wall());
}

void TessaryController::connectionDidFinishLoading(NSURLConnection&) {
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void TessaryController::connectionDidFailWithError(NSURLConnection& connection,
                                                   const NSError& error) {
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
  const auto& request = connection.originalRequest();
  const bool forced = request && request->timeoutInterval() == kForcedRefreshTimeout;
  const Sides s = sides();
  errno = 0;
  const float rate = fallbackRate(s);
  // Out of descriptors the cache cannot be read, which says nothing about what it holds:
  // the screen stays as it is rather than alerting over a rate that may well be there.
  if (!forced && !rate_store::isUsableRate(rate) && (errno == EMFILE || errno == ENFILE)) return;
  if (rate_store::isUsableRate(rate)) {
    // A forced refresh always tells of its failure; a request of `load` falls back silently.
    if (forced) return showErrorAlert(error.localizedDescription());
    if (s.source && s.target) {
      s.target->setText(convertedAmountText(s.source->text(), rate, decimalPlaces));
    }
    return;
  }
  if (s.target && s.leftCode != s.rightCode) {
    // Without a rate of any age for the pair shown, the target's figure is not its conversion
    // (it belongs to another code or amount), so it goes rather than stand beside the alert.
    s.target->setText("");
  }
  showErrorAlert(error.localizedDescription());
}

float TessaryController::fallbackRate(const Sides& s) const {
  const std::string forwardKey = rate_store::pairKey(s.sourceCode, s.targetCode);
  const std::string reverseKey = rate_store::pairKey(s.targetCode, s.sourceCode);
  const auto rates = rate_store::readRates();
  const float forward = rate_store::fallbackRateUnder(rates.get(), forwardKey);
  const float reverse = rate_store::fallbackRateUnder(rates.get(), reverseKey);
  const float inverted = reverse > 0.0f ? 1.0f / reverse : reverse;
  // Any age serves, but of two stored orders the later one is the truer rate.
  const bool preferReverse = rate_store::fresherDate(rate_store::readDates().get(), forwardKey,
                                                     reverseKey, Clock::current().wall())
                                 .reverse;
  const float preferred = preferReverse ? inverted : forward;
  return rate_store::isUsableRate(preferred) ? preferred : (preferReverse ? forward : inverted);
}

void TessaryController::failRequest(NSURLConnection& connection, const std::string& description) {
  connectionDidFailWithError(connection,
                             NSError(NSURLErrorDomain, NSURLErrorBadServerResponse, description));
}

void TessaryController::showErrorAlert(const std::string& description) {
  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr(description), "OK")
      ->show();
}
