#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/bundles.h"
#include "host/host_views.h"
#include "host/keyboard.h"
#include "host/notification_list.h"
#include "host/recorded_replies.h"
#include "host/touch.h"
#include "platform/foundation/clock.h"
#include "platform/hostlist/wee_app_controller.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_scroll_view.h"

// The home screen as the widget sees it: a device root with its plug-ins, the notification
// list, one widget row driven through the host protocol, touches, alerts and time.
//
// The widget row's states: no controller; a controller, hidden (placeholder not loaded or
// unloaded); shown (placeholder and full view loaded). `show` creates the controller when
// there is none; `hide` ends editing and unloads; `release` hides and lets the controller go.
// The keyboard follows the first responder (host/keyboard.h).
//
// Every operation answers an empty string on success, or the reason it failed.
//
// Its methods are defined by concern: the row's lifecycle in simulator.cpp, finding and
// touching tap targets in tap_targets.cpp, typing in typing.cpp, time in time_control.cpp,
// the settings file in settings_file.cpp and the dump in dump.cpp. The script's commands are
// in commands.cpp.
class Simulator {
 public:
  struct Options {
    std::string root;             // host path of the device root
    std::string bundleDirectory;  // the built bundle that `install` copies
    UIDevice::Kind device = UIDevice::Kind::Phone;
    UIInterfaceOrientation orientation = UIInterfaceOrientationPortrait;
    // A manual clock at the real wall time, which only `wait` moves; else the system clock.
    bool manualClock = true;
  };

  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  std::string install();
  std::string show();
  std::string hide();
  std::string release();
  // The whole notification list: hiding it unloads the widget's row with it; showing the list
  // (or the row) brings both back.
  std::string hideList();
  std::string showList();
  bool isListHidden() const { return list_.isHidden(); }
  // The device is chosen while no widget controller exists; it sets the screen's size.
  std::string setDevice(UIDevice::Kind device);
  UIDevice::Kind device() const { return options_.device; }
  std::string rotate(UIInterfaceOrientation orientation);

  // A touch down and up at the centre of the target's visible part. While an alert is shown
  // the touch is swallowed.
  std::string tap(const std::string& target);
  // Where a touch coming down at the screen point goes: the alerts' layer while an alert is
  // shown, else the window.
  std::shared_ptr<UIView> touchRootAt(CGPoint point) const;
  // Where a target would be touched, in screen points. "row" is the middle of the picker's row.
  std::string locate(const std::string& target, CGPoint& point);
  // The picker's row: the frontmost scroll view on the overlay with a visible part, or null.
  std::shared_ptr<UIScrollView> pickerRow() const;

  std::string alertOk();

  std::string wait(Seconds interval);
  // Runs the loop until no request is in flight, for at most `realTime`.
  std::string settle(Seconds realTime);
  std::string setClock(double wallSeconds);

  std::string setSetting(const std::string& key, const id& value);
  std::string removeSetting(const std::string& key);
  std::string removeSettings();

  // The whole state as one line of JSON.
  std::string dump();

  // Edits of the first responder as its keyboard and edit menu make them, at the end of its
  // text; they fail while no field is first responder.
  std::string type(const std::string& text);
  std::string backspace(long count);
  std::string paste(const std::string& text);
  std::string setPasteboard(const std::string& text);

  NotificationList& list() { return list_; }
  const NotificationList& list() const { return list_; }
  Keyboard& keyboard() { return keyboard_; }
  const std::shared_ptr<BBWeeAppController>& controller() const { return controller_; }
  bool isShown() const { return shown_; }
  UIInterfaceOrientation orientation() const { return orientation_; }
  const bundles::Bundle* widgetBundle() const;
  const std::vector<std::string>& loadProblems() const { return problems_; }
  ManualClock* manualClock() const { return clock_.get(); }
  // Sees every request of the session; a replay answers them from its script.
  RecordedReplies& replies() { return *replies_; }

 private:
  std::string ensureLoaded();
  void applyScreenSize();
  // Ends any editing before the list goes away: the first responder resigns.
  void endEditing();
  std::shared_ptr<UIView> findButton(const std::string& title, bool byImage, bool inScrollView);
  std::shared_ptr<UIView> findField(bool leftmost);
  std::string overlayPoint(CGPoint& point);
  // The middle of the visible part of the picker's row: the frontmost scroll view on the
  // overlay that shows.
  std::string rowPoint(CGPoint& point);
  // Where the keyboard bar's item (Next, Swap, Copy, Paste, Clear or Done) is touched.
  std::string barPoint(const std::string& item, CGPoint& point);

  Options options_;
  std::shared_ptr<ManualClock> clock_;
  std::shared_ptr<RecordedReplies> replies_ = std::make_shared<RecordedReplies>();
  NotificationList list_;
  Keyboard keyboard_{list_.window()};
  std::shared_ptr<AlertLayerView> alertLayer_ = construct<AlertLayerView>(list_.window());
  std::vector<bundles::Bundle> bundles_;
  std::vector<std::string> problems_;
  bool loaded_ = false;
  std::shared_ptr<BBWeeAppController> controller_;
  bool shown_ = false;
  UIInterfaceOrientation orientation_ = UIInterfaceOrientationPortrait;
};
