#include "platform/uikit/ui_alert_view.h"

#include <algorithm>

namespace {
std::vector<std::shared_ptr<UIAlertView>>& shown() {
  static std::vector<std::shared_ptr<UIAlertView>> alerts;
  return alerts;
}
std::function<void(const std::shared_ptr<UIAlertView>&)>& presenter() {
  static std::function<void(const std::shared_ptr<UIAlertView>&)> present;
  return present;
}
}  // namespace

std::shared_ptr<UIAlertView> UIAlertView::initWithTitleMessageCancelButtonTitle(
    std::shared_ptr<NSString> title, std::shared_ptr<NSString> message,
    std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles) {
  std::vector<std::string> buttons;
  if (!cancelButtonTitle.empty()) buttons.push_back(std::move(cancelButtonTitle));
  for (auto& other : otherButtonTitles) buttons.push_back(std::move(other));
  return construct<UIAlertView>(std::move(title), std::move(message), std::move(buttons));
}

void UIAlertView::show() {
  if (visible_) return;
  const auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
  visible_ = true;
  shown().push_back(self);
  if (presenter()) presenter()(self);
}

void UIAlertView::dismissWithClickedButtonIndex(NSInteger) {
  const auto protector = weak_from_this().lock();  // the list may hold the last reference
  visible_ = false;
  std::erase_if(shown(), [this](const auto& alert) { return alert.get() == this; });
}

const std::vector<std::shared_ptr<UIAlertView>>& UIAlertView::visibleAlerts() {
  return shown();
}

void UIAlertView::dismissAll() {
  for (const auto& alert : shown()) alert->visible_ = false;
  shown().clear();
}

void UIAlertView::setPresenter(std::function<void(const std::shared_ptr<UIAlertView>&)> present) {
  presenter() = std::move(present);
}
