#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/foundation/values.h"
#include "platform/uikit/ui_alert_view.h"
#include "tests/support/test_environment.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/tessary_controller.h"
#include "widget/rates/rate_store.h"

namespace tessary::test {

// A controller with the two fields, the two currency buttons and the refresh button in its
// root view, the store files created, and the quote service pointed at a closed port unless
// a test says otherwise.
class WidgetTest : public PlatformTest {
 protected:
  static constexpr double kDay = 86400.0;

  WidgetTest() {
    resetWidgetFlagsForTesting();
    NSURLConnection::clearStartedRequests();
    setenv("TESSARY_QUOTE_URL", "http://127.0.0.1:9", 1);
    controller = TessaryController::create();
    controller->_view = UIView::initWithFrame(CGRectMake(0, 0, 316, 40));
    leftField = addTo(UITextField::initWithFrame(CGRectMake(0, 5, 100, 30)));
    rightField = addTo(UITextField::initWithFrame(CGRectMake(150, 5, 100, 30)));
    leftButton = addTo(UIButton::buttonWithType(UIButtonTypeCustom));
    rightButton = addTo(UIButton::buttonWithType(UIButtonTypeCustom));
    refresh = addTo(UIButton::buttonWithType(UIButtonTypeCustom));
    shuffle = addTo(UIButton::buttonWithType(UIButtonTypeCustom));
    clear = addTo(UIButton::buttonWithType(UIButtonTypeCustom));
    leftDetail = addTo(UILabel::initWithFrame(CGRectMake(0, 40, 100, 20)));
    rightDetail = addTo(UILabel::initWithFrame(CGRectMake(150, 40, 100, 20)));
    controller->leftField = leftField;
    controller->rightField = rightField;
    controller->leftButton = leftButton;
    controller->rightButton = rightButton;
    controller->refresh = refresh;
    controller->shuffle = shuffle;
    controller->clear = clear;
    controller->leftDetail = leftDetail;
    controller->rightDetail = rightDetail;
    controller->decimalPlaces = 2;
    setCodes("EUR", "USD");
    rate_store::createMissingFiles();
  }

  ~WidgetTest() override {
    // Requests still running end before the next test's run loop starts.
    runUntil([] { return NSURLConnection::activeCount() == 0; }, 10.0);
    unsetenv("TESSARY_QUOTE_URL");
  }

  template <class V>
  std::shared_ptr<V> addTo(std::shared_ptr<V> view) {
    controller->_view->addSubview(view);
    return view;
  }

  void setCodes(const std::string& leftCode, const std::string& rightCode) {
    leftButton->setTitleForState(leftCode, UIControlStateNormal);
    rightButton->setTitleForState(rightCode, UIControlStateNormal);
  }

  // Stores a rate text and its date the way a reply does, with an age in days.
  void storeRate(const std::string& key, const std::string& text, double ageDays) {
    rate_store::storeReply(key, text, clock_->wall() - ageDays * kDay);
  }

  void writeSettings(NSDictionary::Storage entries) {
    NSDictionary(std::move(entries)).writeToFileAtomically(paths::kSettings, true);
  }

  std::shared_ptr<NSDictionary> rates() const { return rate_store::readRates(); }
  std::shared_ptr<NSDictionary> dates() const { return rate_store::readDates(); }

  std::string alertMessage(size_t index = 0) const {
    const auto& alerts = UIAlertView::visibleAlerts();
    if (index >= alerts.size() || !alerts[index]->message()) return "<no alert>";
    return alerts[index]->message()->UTF8String();
  }

  void typeIntoSource(const std::string& text) {
    (left ? leftField : rightField)->setText(text);
    controller->load();
  }

  std::shared_ptr<TessaryController> controller;
  std::shared_ptr<UITextField> leftField, rightField;
  std::shared_ptr<UIButton> leftButton, rightButton, refresh, shuffle, clear;
  std::shared_ptr<UILabel> leftDetail, rightDetail;
};

}  // namespace tessary::test
