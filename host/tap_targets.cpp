// Finding what a script's tap names, and touching it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "host/json_writer.h"
#include "host/simulator.h"
#include "platform/uikit/touch_delivery.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"

namespace {

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

}  // namespace

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
  TouchDelivery::tap(touchRootAt(point), point);
  return {};
}

std::shared_ptr<UIView> Simulator::touchRootAt(CGPoint point) const {
  if (alertLayer_->hitTest(point)) return alertLayer_;
  return list_.window();
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
