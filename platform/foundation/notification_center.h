#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"

class TESSARY_EXPORT NSNotification : public NSObject {
 public:
  NSNotification(std::string name, id object, std::shared_ptr<NSDictionary> userInfo)
      : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}
  const std::string& name() const { return name_; }
  const id& object() const { return object_; }
  const std::shared_ptr<NSDictionary>& userInfo() const { return userInfo_; }

 private:
  std::string name_;
  id object_;
  std::shared_ptr<NSDictionary> userInfo_;
};

// Observers are held weakly: a released observer is never called and its entries go.
class TESSARY_EXPORT NSNotificationCenter {
 public:
  using Handler = std::function<void(NSObject& observer, const NSNotification&)>;

  static NSNotificationCenter& defaultCenter();

  // An empty name matches every name; a null object matches every sender.
  void addObserver(const std::shared_ptr<NSObject>& observer, Handler handler, std::string name,
                   const id& object = nullptr);
  template <class T>
  void addObserver(const std::shared_ptr<T>& observer, void (T::*selector)(const NSNotification&),
                   std::string name, const id& object = nullptr) {
    addObserver(
        std::static_pointer_cast<NSObject>(observer),
        [selector](NSObject& target, const NSNotification& note) {
          (static_cast<T&>(target).*selector)(note);
        },
        std::move(name), object);
  }

  void removeObserver(const NSObject* observer);
  void removeAllObservers() { entries_.clear(); }
  // Removes the observer's entries for that name (empty: any) and object (null: any).
  void removeObserver(const NSObject* observer, const std::string& name, const id& object);

  void postNotification(const NSNotification& notification);
  void postNotificationName(std::string name, id object,
                            std::shared_ptr<NSDictionary> userInfo = nullptr);

  size_t observerCount() const;

 private:
  struct Entry {
    std::weak_ptr<NSObject> observer;
    const NSObject* key;
    Handler handler;
    std::string name;
    std::weak_ptr<NSObject> object;
    bool anyObject;
  };
  std::vector<Entry> entries_;
};
