#include "platform/foundation/notification_center.h"

#include <gtest/gtest.h>

namespace {

struct Listener : NSObject {
  int shows = 0, hides = 0;
  void onShow(const NSNotification&) { ++shows; }
  void onHide(const NSNotification&) { ++hides; }
};

TEST(NotificationCenter, DeliversByNameAndObjectAndForgetsReleasedObservers) {
  auto& center = NSNotificationCenter::defaultCenter();
  auto listener = std::make_shared<Listener>();
  auto sender = NSStr("keyboard");
  center.addObserver(listener, &Listener::onShow, "Show");
  center.addObserver(listener, &Listener::onHide, "Hide", sender);

  center.postNotificationName("Show", nullptr);
  center.postNotificationName("Hide", NSStr("someone else"));
  center.postNotificationName("Hide", sender);
  EXPECT_EQ(listener->shows, 1);
  EXPECT_EQ(listener->hides, 1);

  center.removeObserver(listener.get(), "Show", nullptr);
  center.postNotificationName("Show", nullptr);
  EXPECT_EQ(listener->shows, 1);

  std::weak_ptr<Listener> gone = listener;
  listener.reset();  // a released observer is never called
  EXPECT_TRUE(gone.expired());
  center.postNotificationName("Hide", sender);
  EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, AnObserverRemovedDuringAPostIsNotCalledAfterwards) {
  auto& center = NSNotificationCenter::defaultCenter();
  auto first = std::make_shared<Listener>();
  auto second = std::make_shared<Listener>();
  center.addObserver(
      first, [&](NSObject&, const NSNotification&) { center.removeObserver(second.get()); },
      "Ping");
  center.addObserver(second, &Listener::onShow, "Ping");
  center.postNotificationName("Ping", nullptr);
  EXPECT_EQ(second->shows, 0);
  center.removeObserver(first.get());
  EXPECT_EQ(center.observerCount(), 0u);
}

}  // namespace
