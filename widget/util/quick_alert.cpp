#include "widget/util/quick_alert.h"

#include "platform/foundation/format.h"
#include "platform/uikit/ui_alert_view.h"
#include "widget/controller/flags.h"

namespace {
void showQuickAlert(std::string message) {
  UIAlertView::initWithTitleMessageCancelButtonTitle(titleString, NSStr(std::move(message)), "OK")
      ->show();
  titleString.reset();
}
}  // namespace

void setQuickQlertTitle(const std::shared_ptr<NSObject>& title) {
  titleString = NSStr(stringWithFormat("%@", {title}));
}

void quickAlert(const std::shared_ptr<NSObject>& message) {
  showQuickAlert(stringWithFormat("%@", {message}));
}

void quickAlertWithObjectWithObject(const std::shared_ptr<NSObject>& first,
                                    const std::shared_ptr<NSObject>& second) {
  showQuickAlert(stringWithFormat("%@\n%@", {first, second}));
}
