#include "platform/uikit/ui_keyboard.h"
#include "widget/controller/paths.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"
#include "widget/util/store_file.h"

void TessaryController::unloadView() {
  const auto left = leftField.lock();
  const auto right = rightField.lock();
  if (!settings::clear() && left && right) {
    store_file::update(paths::kRecent, false, [&](const auto& recent) {
      recent->setObjectForKey(NSStr(left->text()), "leftText");
      recent->setObjectForKey(NSStr(right->text()), "rightText");
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
