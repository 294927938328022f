#include "host/simulator.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "host/dump.h"
#include "host/json_writer.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/foundation/utf16.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"

namespace {

// The files the dump shows, by the name it shows them under.
struct DumpedFile {
  const char* name;
  const char* path;
};
constexpr DumpedFile kDumpedFiles[] = {
    {"Rates.plist", "/var/mobile/Library/Tessary/Rates.plist"},
    {"Dates.plist", "/var/mobile/Library/Tessary/Dates.plist"},
    {"Recent.plist", "/var/mobile/Library/Tessary/Recent.plist"},
    {"Currencies.plist", "/var/mobile/Library/Tessary/Currencies.plist"},
    {"Entries.plist", "/var/mobile/Library/Tessary/Entries.plist"},
    {"orvendel.plist", bundles::kSettingsFile},
};

constexpr const char* kBarItems[] = {"Next", "Swap", "Copy", "Paste", "Clear", "Done"};

std::string quoted(const std::string& text) {
  return JsonWriter::escape(text);
}

bool parseCoordinate(std::string_view text, double& value) {
  if (text.empty()) return false;
  // The platform's number reading is locale-free; so is std::from_chars.
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

void writeFlag(JsonWriter& out, const char* name, const BOOL* flag) {
  out.key(name);
  if (flag) {
    out.boolean(*flag != NO);
  } else {
    out.null();
  }
}

}  // namespace

Simulator::Simulator(Options options) : options_(std::move(options)) {
  if (options_.manualClock) {
    clock_ = std::make_shared<ManualClock>(SystemClock().wall());
    Clock::setCurrent(clock_);
  }
  DeviceRoot::set(options_.root);
  UIDevice::currentDevice().setKind(options_.device);
  orientation_ = options_.orientation;
  applyScreenSize();
  list_.registerAsHost();
}

Simulator::~Simulator() {
  release();
  if (clock_) Clock::setCurrent(nullptr);
}

std::string Simulator::install() {
  const std::string problem = bundles::install(options_.root, options_.bundleDirectory);
  return problem.empty() ? problem : "install: " + problem;
}

std::string Simulator::ensureLoaded() {
  if (!loaded_) {
    const auto plugins = DeviceRoot::map(bundles::kPluginsDirectory);
    std::error_code error;
    if (!plugins || !std::filesystem::is_directory(*plugins, error)) {
      return "no plug-ins folder in the device root (run install first)";
    }
    problems_.clear();
    bundles_ = bundles::loadAll(problems_);
    // An empty or broken plug-ins folder is looked at again next time.
    loaded_ = !bundles_.empty();
  }
  if (bundles_.empty()) {
    std::string reason = "no widget bundle could be loaded";
    for (const auto& problem : problems_) reason += "; " + problem;
    return reason;
  }
  return {};
}

const bundles::Bundle* Simulator::widgetBundle() const {
  return bundles_.empty() ? nullptr : &bundles_.front();
}

void Simulator::applyScreenSize() {
  CGSize size = options_.device == UIDevice::Kind::Tablet ? CGSize{768, 1024} : CGSize{320, 480};
  UIApplication& application = UIApplication::sharedApplication();
  application.setPortraitScreenSize(size.width, size.height);
  application.setStatusBarOrientation(static_cast<UIInterfaceOrientation>(orientation_));
  if (orientation_ == 3 || orientation_ == 4) std::swap(size.width, size.height);
  list_.setScreenSize(size);
}

std::string Simulator::show() {
  if (shown_) return {};
  if (auto problem = ensureLoaded(); !problem.empty()) return "show: " + problem;
  if (!controller_) {
    std::shared_ptr<BBWeeAppController> made;
    widgetBundle()->factory(&made);
    if (!made) return "show: the widget's factory made no controller";
    controller_ = std::move(made);
    if (orientation_ != 1) {
      controller_->willRotateToInterfaceOrientation(orientation_);
      controller_->didRotateFromInterfaceOrientation(1);
    }
  }
  const auto protector = controller_;
  const float height = protector->viewHeight();
  protector->loadPlaceholderView();
  const auto view = protector->view();
  if (!view) return "show: the widget gave no view";
  list_.placeWidgetView(view, height);
  shown_ = true;
  protector->loadFullView();
  return {};
}

std::string Simulator::hide() {
  if (!shown_) return {};
  const auto protector = controller_;
  endEditing();
  protector->unloadView();
  list_.removeWidgetView();
  shown_ = false;
  return {};
}

std::string Simulator::release() {
  hide();
  controller_.reset();
  return {};
}

std::string Simulator::setDevice(UIDevice::Kind device) {
  if (device == options_.device) return {};
  if (controller_) return "device: the device is chosen before the widget is first shown";
  options_.device = device;
  UIDevice::currentDevice().setKind(device);
  applyScreenSize();
  return {};
}

std::string Simulator::rotate(int orientation) {
  if (orientation < 1 || orientation > 4) return "rotate: the orientation is 1 to 4";
  if (orientation == orientation_) return {};
  const int from = orientation_;
  const auto protector = controller_;
  if (protector) protector->willRotateToInterfaceOrientation(orientation);
  orientation_ = orientation;
  applyScreenSize();
  if (protector) protector->didRotateFromInterfaceOrientation(from);
  keyboard_.orientationChanged();
  return {};
}

std::shared_ptr<UIView> Simulator::findButton(const std::string& text, bool byImage,
                                              bool inScrollView) {
  std::shared_ptr<UIView> found;
  touch::frontToBack(list_.window(), list_.table().get(),
                     [&](const std::shared_ptr<UIView>& view, bool inScroll) {
                       if (inScroll != inScrollView) return false;
                       const auto button = std::dynamic_pointer_cast<UIButton>(view);
                       if (!button) return false;
                       bool match;
                       if (byImage) {
                         const auto background = button->currentBackgroundImage();
                         const auto image = button->imageForState(UIControlStateNormal);
                         match = (background && background->fileName() == text) ||
                                 (image && image->fileName() == text);
                       } else {
                         match = button->currentTitle() == text;
                       }
                       if (match) found = view;
                       return match;
                     });
  return found;
}

std::shared_ptr<UIView> Simulator::findField(bool leftmost) {
  std::shared_ptr<UIView> best, hidden;
  CGFloat bestX = 0;
  const UIView& window = *list_.window();
  touch::frontToBack(list_.window(), nullptr, [&](const std::shared_ptr<UIView>& view, bool) {
    if (!std::dynamic_pointer_cast<UITextField>(view)) return false;
    const auto visible = touch::visibleRect(*view, window);
    if (!visible) {
      if (!hidden) hidden = view;
      return false;
    }
    const CGFloat x = visible->origin.x + visible->size.width / 2;
    if (!best || (leftmost ? x < bestX : x > bestX)) {
      best = view;
      bestX = x;
    }
    return false;
  });
  // A field that shows nowhere is still named, so that the tap reports why it cannot land.
  return best ? best : hidden;
}

std::string Simulator::overlayPoint(CGPoint& point) {
  const auto overlay = list_.overlay();
  if (!overlay) return "tap: overlay: no overlay is shown";
  const auto visible = touch::visibleRect(*overlay, *list_.window());
  if (!visible) return "tap: overlay: the overlay has no visible part";
  constexpr CGFloat kStep = 2;
  for (CGFloat y = visible->origin.y + 1; y < visible->origin.y + visible->size.height;
       y += kStep) {
    for (CGFloat x = visible->origin.x + 1; x < visible->origin.x + visible->size.width;
         x += kStep) {
      if (touch::hitTest(list_.window(), {x, y}) == overlay) {
        point = {x, y};
        return {};
      }
    }
  }
  return "tap: overlay: every point of the overlay is covered";
}

std::shared_ptr<UIScrollView> Simulator::pickerRow() const {
  const auto overlay = list_.overlay();
  std::shared_ptr<UIScrollView> row;
  const UIView& window = *list_.window();
  touch::frontToBack(overlay, nullptr, [&](const std::shared_ptr<UIView>& view, bool) {
    row = std::dynamic_pointer_cast<UIScrollView>(view);
    if (row && !touch::visibleRect(*row, window)) row.reset();
    return row != nullptr;
  });
  return row;
}

std::string Simulator::rowPoint(CGPoint& point) {
  const auto row = pickerRow();
  if (!row) return "no picker row is shown";
  const auto visible = touch::visibleRect(*row, *list_.window());
  point = {visible->origin.x + visible->size.width / 2,
           visible->origin.y + visible->size.height / 2};
  return {};
}

std::string Simulator::barPoint(const std::string& item, CGPoint& point) {
  const std::string target = "tap: bar:" + item + ": ";
  const auto bar =
      keyboard_.isVisible() ? std::dynamic_pointer_cast<UIToolbar>(keyboard_.accessory()) : nullptr;
  if (!bar) return target + "no keyboard bar is shown";
  const UIView& window = *list_.window();
  const auto barVisible = touch::visibleRect(*bar, window);
  if (!barVisible) return target + "the keyboard bar has no visible part";

  // The item's rectangle in the bar's coordinates.
  std::optional<CGRect> place;
  for (const auto& entry : bar->items()) {
    if (!entry || entry->isFlexibleSpace() || place) continue;
    if (const auto segments = std::dynamic_pointer_cast<UISegmentedControl>(entry->customView())) {
      for (NSUInteger i = 0; i < segments->numberOfSegments() && !place; ++i) {
        if (segments->titleForSegmentAtIndex(i) != item) continue;
        const CGRect segment = segments->segmentFrame(i);
        const CGRect control = segments->frame();
        place = CGRectMake(control.origin.x + segment.origin.x, control.origin.y + segment.origin.y,
                           segment.size.width, segment.size.height);
      }
    } else if (!entry->customView()) {
      // Swap is the item without a title, whether or not its image could be read.
      const bool match =
          item == "Swap" ? entry->displayTitle().empty() : entry->displayTitle() == item;
      if (match) place = entry->frame();
    }
  }
  if (!place) return target + "the keyboard bar has no such item";
  // The part of the item that shows.
  const CGRect onScreen = bar->convertRectToView(*place, &window);
  const CGFloat x0 = std::max(onScreen.origin.x, barVisible->origin.x);
  const CGFloat y0 = std::max(onScreen.origin.y, barVisible->origin.y);
  const CGFloat x1 = std::min(onScreen.origin.x + onScreen.size.width,
                              barVisible->origin.x + barVisible->size.width);
  const CGFloat y1 = std::min(onScreen.origin.y + onScreen.size.height,
                              barVisible->origin.y + barVisible->size.height);
  if (x1 <= x0 || y1 <= y0) return target + "the item has no visible part";
  point = {(x0 + x1) / 2, (y0 + y1) / 2};
  return {};
}

std::string Simulator::locate(const std::string& target, CGPoint& point) {
  const auto centreOf = [&](const std::shared_ptr<UIView>& view) -> std::string {
    const auto visible = touch::visibleRect(*view, *list_.window());
    if (!visible) return "tap: " + target + ": it has no visible part";
    point = {visible->origin.x + visible->size.width / 2,
             visible->origin.y + visible->size.height / 2};
    return {};
  };
  const auto after = [&](std::string_view prefix) { return target.substr(prefix.size()); };

  if (target == "overlay") return overlayPoint(point);
  if (target.starts_with("button:")) {
    const auto view = findButton(after("button:"), false, false);
    if (!view)
      return "tap: no button titled " + quoted(after("button:")) + " outside a scroll view";
    return centreOf(view);
  }
  if (target.starts_with("image:")) {
    const auto view = findButton(after("image:"), true, false);
    if (!view) return "tap: no button with the image " + quoted(after("image:"));
    return centreOf(view);
  }
  if (target == "row") {
    if (auto problem = rowPoint(point); !problem.empty()) return "tap: row: " + problem;
    return {};
  }
  if (target.starts_with("code:")) {
    const auto view = findButton(after("code:"), false, true);
    if (!view) return "tap: no button titled " + quoted(after("code:")) + " in a scroll view";
    // A code that its row's clipping hides is reached by paging the row.
    const auto row = std::dynamic_pointer_cast<UIScrollView>(view->superview());
    const UIView& window = *list_.window();
    const auto rowVisible = row ? touch::visibleRect(*row, window) : std::nullopt;
    if (rowVisible && !touch::visibleRect(*view, window)) {
      const auto rect = touch::screenRect(*view, window);
      const bool further = rect && rect->origin.x >= rowVisible->origin.x;
      return "tap: " + target + ": it lies out of sight in its row; swipe " +
             (further ? "left" : "right") + " to reach it";
    }
    return centreOf(view);
  }
  if (target.starts_with("field:")) {
    const std::string side = after("field:");
    if (side != "left" && side != "right") return "tap: field: is field:left or field:right";
    const auto view = findField(side == "left");
    if (!view) return "tap: " + target + ": no text field can be touched";
    return centreOf(view);
  }
  if (target.starts_with("bar:")) {
    const std::string item = after("bar:");
    for (const char* known : kBarItems) {
      if (item == known) return barPoint(item, point);
    }
    return "tap: unknown bar item " + quoted(item);
  }
  if (const size_t comma = target.find(','); comma != std::string::npos) {
    double x, y;
    if (!parseCoordinate(std::string_view(target).substr(0, comma), x) ||
        !parseCoordinate(std::string_view(target).substr(comma + 1), y)) {
      return "tap: " + quoted(target) + " is not a point X,Y";
    }
    const CGSize screen = list_.screenSize();
    if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) {
      return "tap: " + target + " lies outside the screen";
    }
    point = {static_cast<CGFloat>(x), static_cast<CGFloat>(y)};
    return {};
  }
  return "tap: unknown target " + quoted(target);
}

std::string Simulator::tap(const std::string& target) {
  CGPoint point;
  if (auto problem = locate(target, point); !problem.empty()) return problem;
  if (!UIAlertView::visibleAlerts().empty()) {
    lastTap_ = touch::TapOutcome::Swallowed;
    return {};
  }
  lastTap_ = touch::tapAt(list_.window(), point);
  return {};
}

std::string Simulator::alertOk() {
  const auto& alerts = UIAlertView::visibleAlerts();
  if (alerts.empty()) return "alert ok: no alert is shown";
  const auto front = alerts.back();
  NSInteger index = 0;
  for (size_t i = 0; i < front->buttons().size(); ++i) {
    if (front->buttons()[i] == "OK") {
      index = static_cast<NSInteger>(i);
      break;
    }
  }
  front->dismissWithClickedButtonIndex(index);
  return {};
}

std::string Simulator::wait(double seconds) {
  if (!clock_) return "wait: the clock is not a manual clock";
  NSRunLoop::mainRunLoop().advanceBy(seconds);
  NSRunLoop::mainRunLoop().runOnce(0);
  return {};
}

std::string Simulator::settle(double realSeconds) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + std::chrono::duration_cast<Steady::duration>(
                                            std::chrono::duration<double>(realSeconds));
  NSRunLoop::mainRunLoop().runOnce(0);
  while (NSURLConnection::activeCount() > 0) {
    if (Steady::now() >= deadline) {
      const size_t left = NSURLConnection::activeCount();
      return "settle: " + std::to_string(left) + (left == 1 ? " request" : " requests") +
             " still in flight";
    }
    NSRunLoop::mainRunLoop().runOnce(0.02);
  }
  return {};
}

std::string Simulator::setClock(double wallSeconds) {
  if (!clock_) return "clock: the clock is not a manual clock";
  clock_->setWall(wallSeconds);
  return {};
}

std::string Simulator::setSetting(const std::string& key, const id& value) {
  const auto path = DeviceRoot::map(bundles::kSettingsFile);
  if (!path) return "settings: the device root has no settings path";
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(*path).parent_path(), error);
  // A missing or unreadable file is started afresh.
  auto settings = NSMutableDictionary::dictionaryWithContentsOfFile(bundles::kSettingsFile);
  if (!settings) settings = std::make_shared<NSMutableDictionary>();
  settings->setObjectForKey(value, key);
  if (!settings->writeToFileAtomically(bundles::kSettingsFile, true)) {
    return "settings: cannot write the settings file";
  }
  return {};
}

std::string Simulator::removeSetting(const std::string& key) {
  auto settings = NSMutableDictionary::dictionaryWithContentsOfFile(bundles::kSettingsFile);
  if (!settings || !settings->objectForKey(key)) return {};
  settings->removeObjectForKey(key);
  if (!settings->writeToFileAtomically(bundles::kSettingsFile, true)) {
    return "settings: cannot write the settings file";
  }
  return {};
}

std::string Simulator::removeSettings() {
  const auto path = DeviceRoot::map(bundles::kSettingsFile);
  std::error_code error;
  if (path) std::filesystem::remove(*path, error);
  if (error) return "settings: cannot remove the settings file: " + error.message();
  return {};
}

void Simulator::endEditing() {
  if (const auto field = UITextField::firstResponder()) field->resignFirstResponder();
}

std::string Simulator::type(const std::string& text) {
  const auto field = UITextField::firstResponder();
  if (!field) return "type: no first responder";
  // One key per character, at the end of the text where the cursor stands.
  const std::u16string units = utf16::fromUTF8(text);
  for (size_t i = 0; i < units.size();) {
    const bool pair = i + 1 < units.size() && units[i] >= 0xD800 && units[i] <= 0xDBFF &&
                      units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
    const size_t n = pair ? 2 : 1;
    const std::string key = utf16::toUTF8(std::u16string_view(units).substr(i, n));
    field->replaceRangeByUser(NSMakeRange(utf16::length(field->text()), 0), key);
    i += n;
  }
  return {};
}

std::string Simulator::backspace(long count) {
  const auto field = UITextField::firstResponder();
  if (!field) return "backspace: no first responder";
  for (long i = 0; i < count; ++i) {
    const std::u16string units = utf16::fromUTF8(field->text());
    if (units.empty()) break;
    size_t n = 1;
    if (units.size() >= 2 && units.back() >= 0xDC00 && units.back() <= 0xDFFF &&
        units[units.size() - 2] >= 0xD800 && units[units.size() - 2] <= 0xDBFF) {
      n = 2;
    }
    field->replaceRangeByUser(NSMakeRange(units.size() - n, n), "");
  }
  return {};
}

std::string Simulator::paste(const std::string& text) {
  const auto field = UITextField::firstResponder();
  if (!field) return "paste: no first responder";
  field->replaceRangeByUser(NSMakeRange(utf16::length(field->text()), 0), text);
  return {};
}

std::string Simulator::setPasteboard(const std::string& text) {
  UIPasteboard::generalPasteboard().setString(text);
  return {};
}

std::string Simulator::dump() {
  ensureLoaded();  // the flags are read from the library once one is installed
  JsonWriter out;
  out.beginObject();

  const Clock& clock = Clock::current();
  out.key("time").beginObject();
  out.key("monotonic").real(clock.monotonic());
  out.key("wall").real(clock.wall());
  out.endObject();

  const bundles::Flags flags = widgetBundle() ? widgetBundle()->flags : bundles::Flags{};
  out.key("flags").beginObject();
  writeFlag(out, "left", flags.left);
  writeFlag(out, "portraitmode", flags.portraitmode);
  writeFlag(out, "animate", flags.animate);
  writeFlag(out, "exclude", flags.exclude);
  writeFlag(out, "detailMode", flags.detailMode);
  writeFlag(out, "editing", flags.editing);
  out.key("titleString");
  if (flags.titleString && *flags.titleString) {
    out.string((*flags.titleString)->UTF8String());
  } else {
    out.null();
  }
  out.endObject();

  out.key("widget");
  const auto view = controller_ ? controller_->view() : nullptr;
  if (view) {
    dump::writeView(out, *view);
  } else {
    out.null();
  }
  out.key("overlay");
  if (const auto overlay = list_.overlay()) {
    dump::writeView(out, *overlay);
  } else {
    out.null();
  }

  out.key("keyboard").beginObject();
  out.key("visible").boolean(keyboard_.isVisible());
  out.key("frame");
  if (const auto frame = keyboard_.frame()) {
    dump::writeRect(out, *frame);
  } else {
    out.null();
  }
  out.key("type");
  if (keyboard_.isOnScreen()) {
    out.integer(keyboard_.type());
  } else {
    out.null();
  }
  out.key("accessory");
  if (const auto accessory = keyboard_.accessory()) {
    dump::writeView(out, *accessory);
  } else {
    out.null();
  }
  out.endObject();

  out.key("table").beginObject();
  out.key("frame");
  dump::writeRect(out, list_.table()->frame());
  const CGPoint offset = list_.table()->contentOffset();
  out.key("contentOffset").beginArray().real(offset.x).real(offset.y).endArray();
  out.endObject();

  out.key("alerts").beginArray();
  for (const auto& alert : UIAlertView::visibleAlerts()) {
    out.beginObject();
    out.key("title");
    dump::writeValue(out, alert->title().get());
    out.key("message");
    dump::writeValue(out, alert->message().get());
    out.key("buttons").beginArray();
    for (const auto& button : alert->buttons()) out.string(button);
    out.endArray();
    out.endObject();
  }
  out.endArray();

  out.key("networkActivity")
      .boolean(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  out.key("pasteboard");
  if (const auto text = UIPasteboard::generalPasteboard().string()) {
    out.string(*text);
  } else {
    out.null();
  }

  out.key("requests").beginArray();
  for (const auto& request : NSURLConnection::startedRequests()) {
    out.beginObject();
    out.key("url").string(request.url);
    out.key("timeout").real(request.timeout);
    out.endObject();
  }
  out.endArray();

  out.key("files").beginObject();
  for (const DumpedFile& file : kDumpedFiles) {
    out.key(file.name);
    const auto path = DeviceRoot::map(file.path);
    const auto bytes = path ? file_io::readAll(*path) : std::nullopt;
    const id value = bytes ? property_list::parse(*bytes) : nullptr;
    dump::writeValue(out, value.get());
  }
  out.endObject();

  out.endObject();
  return out.str();
}
