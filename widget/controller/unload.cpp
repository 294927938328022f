#include "platform/uikit/ui_keyboard.h"
#include "widget/controller/paths.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"
#include "widget/picker/catalogue.h"
#include "widget/rates/sides.h"
#include "widget/util/store_file.h"

void TessaryController::saveAmounts(NSMutableDictionary& recent) const {
  // The next build shows the recorded pair, which a swap does not change: each amount goes
  // beside its own code there, and one whose code is recorded on neither side is not kept.
  const Sides shown = sides();
  const std::string& leftCode = shown.leftCode;
  const std::string& rightCode = shown.rightCode;
  const std::string leftAmount = shown.leftField ? shown.leftField->text() : std::string();
  const std::string rightAmount = shown.rightField ? shown.rightField->text() : std::string();
  const std::string recordedLeft =
      catalogue::recentString(&recent, "left").value_or(catalogue::kDefaultLeft);
  const std::string recordedRight =
      catalogue::recentString(&recent, "right").value_or(catalogue::kDefaultRight);
  // Each recorded code takes the amount of the side showing it, its own side first.
  const std::string leftText = leftCode == recordedLeft    ? leftAmount
                               : rightCode == recordedLeft ? rightAmount
                                                           : std::string();
  const std::string rightText = rightCode == recordedRight  ? rightAmount
                                : leftCode == recordedRight ? leftAmount
                                                            : std::string();
  recent.setObjectForKey(NSStr(leftText), "leftText");
  recent.setObjectForKey(NSStr(rightText), "rightText");
}

void TessaryController::unloadView() {
  const auto left = leftField.lock();
  const auto right = rightField.lock();
  if (!settings::clear() && left && right) {
    store_file::update(paths::kRecent, false, [&](const auto& recent) {
      saveAmounts(*recent);
      return true;
    });
  }

  _view.reset();
  _backgroundView.reset();
  leftDetail.reset();
  rightDetail.reset();
  bar.reset();
  // The host's list outlives the widget's view: an open picker's overlay must not stay on it.
  if (dim) dim->removeFromSuperview();
  dim.reset();
  sub.reset();
  leftField.reset();
  rightField.reset();
  rightButton.reset();
  leftButton.reset();
  mini.reset();
  eq.reset();
  returnString.reset();
  callout.reset();

  auto& center = NSNotificationCenter::defaultCenter();
  center.removeObserver(this, UIKeyboardWillShowNotification, nullptr);
  center.removeObserver(this, UIKeyboardWillHideNotification, nullptr);
}
