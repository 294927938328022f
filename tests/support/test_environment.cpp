#include "tests/support/test_environment.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/hostlist/bulletin_list.h"
#include "platform/render/text_measure_pango.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_view.h"

namespace tessary::test {

TempDeviceRoot::TempDeviceRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessary-root-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  std::filesystem::create_directories(path_ + "/var/mobile/Library/Tessary");
  std::filesystem::create_directories(path_ + "/var/mobile/Library/Preferences");
  DeviceRoot::set(path_);
}

TempDeviceRoot::~TempDeviceRoot() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempDeviceRoot::writeFile(const std::string& platformPath, const std::string& bytes) const {
  std::filesystem::create_directories(std::filesystem::path(host(platformPath)).parent_path());
  std::ofstream out(host(platformPath), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string readHostFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

size_t watchesHeld() {
  size_t watches = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != "anon_inode:inotify") continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    for (std::string line; std::getline(info, line);) watches += line.starts_with("inotify wd:");
  }
  return watches;
}

std::string TempDeviceRoot::readFile(const std::string& platformPath) const {
  return readHostFile(host(platformPath));
}

TestEnvironment::TestEnvironment() : clock_(std::make_shared<ManualClock>(kStartWall)) {
  resetSharedState();
  Clock::setCurrent(clock_);
}

TestEnvironment::~TestEnvironment() {
  resetSharedState();
  Clock::setCurrent(nullptr);
}

void TestEnvironment::resetSharedState() {
  NSRunLoop::mainRunLoop().reset();
  UIView::resetAnimations();
  NSURLConnection::clearStartedRequests();
  UIAlertView::dismissAll();
  UIAlertView::setPresenter(nullptr);
  UIApplication::sharedApplication() = UIApplication();
  UIDevice::currentDevice() = UIDevice();
  UICalloutView::resetSharedCalloutView();
  UIPasteboard::generalPasteboard().clear();
  UITextField::resetFirstResponder();
  NSClassRegistry::unregisterAll();
  NSNotificationCenter::defaultCenter().removeAllObservers();
  property_list::forgetCachedReads();
  installPangoTextMeasurer();
}

PlatformTest::PlatformTest() : clock_(environment_.sharedClock()), root_(environment_.root()) {}

PlatformTest::~PlatformTest() = default;

void PlatformTest::advance(double seconds) {
  NSRunLoop::mainRunLoop().advanceBy(Seconds(seconds));
}

bool PlatformTest::runUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    NSRunLoop::mainRunLoop().runOnce(Seconds(0.05));
  }
  return true;
}

}  // namespace tessary::test
