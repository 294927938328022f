#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"

// A modal alert. `show` hands it to whoever presents alerts (the host, or a test); the
// platform keeps a shown alert alive until one of its buttons is pressed.
class TESSARY_EXPORT UIAlertView : public NSObject {
 public:
  // A null title or message means none; the first button is the cancel button.
  UIAlertView(PassKey<UIAlertView>, std::shared_ptr<NSString> title,
              std::shared_ptr<NSString> message, std::vector<std::string> buttons)
      : title_(std::move(title)), message_(std::move(message)), buttons_(std::move(buttons)) {}
  static std::shared_ptr<UIAlertView> initWithTitleMessageCancelButtonTitle(
      std::shared_ptr<NSString> title, std::shared_ptr<NSString> message,
      std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});

  const std::shared_ptr<NSString>& title() const { return title_; }
  const std::shared_ptr<NSString>& message() const { return message_; }
  const std::vector<std::string>& buttons() const { return buttons_; }
  bool isVisible() const { return visible_; }

  void show();
  // Pressing a button takes the alert off the screen.
  void dismissWithClickedButtonIndex(NSInteger index);

  // Alerts shown and not yet dismissed, oldest first.
  static const std::vector<std::shared_ptr<UIAlertView>>& visibleAlerts();
  static void dismissAll();
  // Called for every alert shown; the alert stays in visibleAlerts() until dismissed.
  static void setPresenter(std::function<void(const std::shared_ptr<UIAlertView>&)> presenter);

 private:
  std::shared_ptr<NSString> title_;
  std::shared_ptr<NSString> message_;
  std::vector<std::string> buttons_;
  bool visible_ = false;
};
