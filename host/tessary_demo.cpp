// Drives one controller headless: a conversion from a cached rate typed key by key, a real
// download from the quote service, a swap and a forced refresh, printing what the fields show.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/tessary_controller.h"
#include "widget/rates/rate_store.h"

namespace {

struct Demo {
  std::shared_ptr<TessaryController> controller = TessaryController::create();
  std::shared_ptr<UITextField> leftField, rightField;
  std::shared_ptr<UIButton> leftButton, rightButton, refresh, shuffle;

  template <class V>
  std::shared_ptr<V> add(std::shared_ptr<V> view) {
    controller->_view->addSubview(view);
    return view;
  }

  Demo() {
    controller->_view = UIView::initWithFrame(CGRectMake(0, 0, 316, 40));
    leftField = add(UITextField::initWithFrame(CGRectMake(0, 5, 100, 30)));
    rightField = add(UITextField::initWithFrame(CGRectMake(160, 5, 100, 30)));
    leftButton = add(UIButton::buttonWithType(UIButtonTypeCustom));
    rightButton = add(UIButton::buttonWithType(UIButtonTypeCustom));
    refresh = add(UIButton::buttonWithType(UIButtonTypeCustom));
    shuffle = add(UIButton::buttonWithType(UIButtonTypeCustom));
    controller->leftField = leftField;
    controller->rightField = rightField;
    controller->leftButton = leftButton;
    controller->rightButton = rightButton;
    controller->refresh = refresh;
    controller->shuffle = shuffle;
    controller->decimalPlaces = 2;
    for (const auto& field : {leftField, rightField}) {
      field->addTarget(controller, &TessaryController::load, UIControlEventEditingChanged);
    }
    rate_store::createMissingFiles();
  }

  void codes(const char* leftCode, const char* rightCode) {
    leftButton->setTitleForState(leftCode, UIControlStateNormal);
    rightButton->setTitleForState(rightCode, UIControlStateNormal);
  }

  void show(const std::string& what) const {
    std::printf("%-28s %s [%-10s]  =  %s [%-10s]\n", what.c_str(),
                leftButton->titleLabel()->text().c_str(), leftField->text().c_str(),
                rightButton->titleLabel()->text().c_str(), rightField->text().c_str());
  }

  void type(const std::string& keys) {
    for (const char key : keys) {
      leftField->replaceRangeByUser(NSMakeRange(leftField->text().size(), 0), std::string(1, key));
      show(std::string("typed '") + key + "'");
    }
  }

  // Turns the run loop in real time until every request has ended.
  bool settle() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (NSURLConnection::activeCount() > 0 || NSRunLoop::mainRunLoop().pendingTimers(
                                                     NSRunLoop::TimeBase::Clock) > 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      NSRunLoop::mainRunLoop().runOnce(0.05);
    }
    for (const auto& alert : UIAlertView::visibleAlerts()) {
      std::printf("  alert: %s: %s\n", alert->title() ? alert->title()->UTF8String().c_str() : "",
                  alert->message() ? alert->message()->UTF8String().c_str() : "");
    }
    UIAlertView::dismissAll();
    return true;
  }
};

}  // namespace

int main() {
  std::string root = (std::filesystem::temp_directory_path() / "tessary-demo-XXXXXX").string();
  if (!mkdtemp(root.data())) return 1;
  DeviceRoot::set(root);
  NSFileManager::defaultManager().createDirectoryAtPath(paths::kDataDirectory);
  NSFileManager::defaultManager().createDirectoryAtPath("/var/mobile/Library/Preferences");
  std::printf("device root %s\nquote service %s\n\n", root.c_str(),
              getenv("TESSARY_QUOTE_URL") ? getenv("TESSARY_QUOTE_URL") : "(default)");

  Demo demo;
  demo.codes("EUR", "USD");
  rate_store::storeReply("EUR-USD", "1.1708\n", Clock::current().wall() - 3600);
  std::printf("EUR-USD cached an hour ago at 1.1708; typing into the left field:\n");
  demo.type("12,5");

  std::printf("\nEUR to GBP has no cached rate; the quote service answers:\n");
  demo.codes("EUR", "GBP");
  demo.leftField->setText("");
  demo.rightField->setText("");
  demo.type("100");
  bool ok = demo.settle();
  demo.show("after the download");

  demo.controller->shuffleBut();
  ok = demo.settle() && ok;
  demo.show("after a swap");

  demo.controller->reloadRate();
  ok = demo.settle() && ok;
  demo.show("after a forced refresh");

  std::printf("\nRates.plist: %s\n", rate_store::readRates()->description().c_str());
  std::filesystem::remove_all(root);
  return ok ? 0 : 1;
}
