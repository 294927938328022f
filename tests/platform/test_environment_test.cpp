#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/foundation/values.h"
#include "platform/hostlist/bulletin_list.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"

namespace tessary::test {
namespace {

// What one test may leave in every shared instance; the next environment starts from none of
// it. The objects stay alive across the reset, since the platform holds most of them weakly.
TEST(SharedState, ResetsEverySharedInstanceTheTestLeftBehind) {
  auto view = UIView::initWithFrame(CGRectMake(0, 0, 10, 10));
  auto field = UITextField::initWithFrame(CGRectMake(0, 0, 10, 10));
  auto observer = std::make_shared<NSObject>();
  int told = 0;
  {
    TestEnvironment environment;
    EXPECT_EQ(Clock::current().wall(), TestEnvironment::kStartWall);
    NSRunLoop::mainRunLoop().addTimer(Seconds(5), [] {}).detach();
    UIView::animateWithDurationAnimations(1, [&] { view->setAlpha(0); });
    const auto request = NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
        NSURL::URLWithString("http://127.0.0.1:9/"), NSURLRequestReloadIgnoringLocalCacheData, 5);
    NSURLConnection::initWithRequestDelegate(request, std::make_shared<NSURLConnectionDelegate>())
        ->start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (NSURLConnection::activeCount() > 0 && std::chrono::steady_clock::now() < deadline) {
      NSRunLoop::mainRunLoop().runOnce(Seconds(0.05));
    }
    UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("t"), NSStr("m"), "OK", {})->show();
    UIAlertView::setPresenter([&](const std::shared_ptr<UIAlertView>&) { ++told; });
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
    UIApplication::sharedApplication().setStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
    UIApplication::sharedApplication().setPortraitScreenSize(768, 1024);
    UIDevice::currentDevice().setKind(UIDevice::Kind::Tablet);
    view->addSubview(UICalloutView::sharedCalloutView());
    UICalloutView::sharedCalloutView()->setTitle("EUR");
    UIPasteboard::generalPasteboard().setString("12");
    view->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    UITextField::setResponderObserver([&](UITextField*, UITextField*) { ++told; });
    NSClassRegistry::registerClass("SBBulletinListController", [] { return nullptr; });
    NSNotificationCenter::defaultCenter().addObserver(
        observer, [&](NSObject&, const NSNotification&) { ++told; }, "");
    environment.root().writeFile("/var/mobile/Library/Tessary/Rates.plist",
                                 "<plist><dict/></plist>");
    ASSERT_TRUE(
        NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Tessary/Rates.plist"));
    ASSERT_GT(watchesHeld(), 0u);
    told = 0;
  }

  TestEnvironment environment;
  EXPECT_EQ(Clock::current().wall(), TestEnvironment::kStartWall);
  EXPECT_EQ(NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock), 0u);
  EXPECT_TRUE(UIView::runningAnimations().empty());
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_EQ(UIApplication::sharedApplication().statusBarOrientation(),
            UIInterfaceOrientationPortrait);
  EXPECT_EQ(UIApplication::sharedApplication().portraitScreenWidth(), 320);
  EXPECT_EQ(UIDevice::currentDevice().kind(), UIDevice::Kind::Phone);
  EXPECT_EQ(UICalloutView::sharedCalloutView()->superview(), nullptr);
  EXPECT_EQ(UICalloutView::sharedCalloutView()->title(), "");
  EXPECT_FALSE(UIPasteboard::generalPasteboard().string());
  EXPECT_EQ(UITextField::firstResponder(), nullptr);
  EXPECT_EQ(NSClassRegistry::lookUp("SBBulletinListController"), nullptr);
  EXPECT_EQ(NSNotificationCenter::defaultCenter().observerCount(), 0u);
  EXPECT_EQ(watchesHeld(), 0u);

  // Nothing reset above calls back into the test.
  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("t"), NSStr("m"), "OK", {})->show();
  ASSERT_TRUE(field->becomeFirstResponder());
  NSNotificationCenter::defaultCenter().postNotificationName("any", nullptr);
  EXPECT_EQ(told, 0);
}

}  // namespace
}  // namespace tessary::test
