#include "platform/foundation/notification_center.h"

#include <algorithm>

NSNotificationCenter& NSNotificationCenter::defaultCenter() {
  static NSNotificationCenter center;
  return center;
}

void NSNotificationCenter::addObserver(const std::shared_ptr<NSObject>& observer, Handler handler,
                                       std::string name, const id& object) {
  if (!observer || !handler) return;
  entries_.push_back(
      {observer, observer.get(), std::move(handler), std::move(name), object, object == nullptr});
}

void NSNotificationCenter::removeObserver(const NSObject* observer) {
  std::erase_if(entries_, [&](const Entry& e) { return e.key == observer; });
}

void NSNotificationCenter::removeObserver(const NSObject* observer, const std::string& name,
                                          const id& object) {
  std::erase_if(entries_, [&](const Entry& e) {
    return e.key == observer && (name.empty() || e.name == name) &&
           (!object || (!e.anyObject && e.object.lock() == object));
  });
}

void NSNotificationCenter::postNotification(const NSNotification& notification) {
  // Observers gone since they registered are dropped; the others are called from a copy, so
  // a handler may add or remove observers.
  std::erase_if(entries_, [](const Entry& e) { return e.observer.expired(); });
  const std::vector<Entry> snapshot = entries_;
  for (const Entry& entry : snapshot) {
    if (!entry.name.empty() && entry.name != notification.name()) continue;
    if (!entry.anyObject && entry.object.lock() != notification.object()) continue;
    const bool stillRegistered = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
      return e.key == entry.key && e.name == entry.name;
    });
    if (!stillRegistered) continue;
    if (auto observer = entry.observer.lock()) entry.handler(*observer, notification);
  }
}

void NSNotificationCenter::postNotificationName(std::string name, id object,
                                                std::shared_ptr<NSDictionary> userInfo) {
  postNotification(NSNotification(std::move(name), std::move(object), std::move(userInfo)));
}

size_t NSNotificationCenter::observerCount() const {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                           [](const Entry& e) { return !e.observer.expired(); }));
}
