#include "host/draw_screen.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

#include "host/simulator.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/view_drawing.h"

namespace {

constexpr double kMaxScale = 8;
constexpr CGFloat kAlertWidth = 284;
constexpr CGFloat kAlertPadding = 15;
constexpr CGFloat kAlertButtonHeight = 43;

std::string text(const std::shared_ptr<NSString>& value) {
  return value ? value->UTF8String() : std::string();
}

TextStyle alertTitleStyle() {
  TextStyle title;
  title.font = UIFont::boldSystemFontOfSize(18);
  title.color = UIColor::whiteColor();
  title.alignment = NSTextAlignmentCenter;
  title.shadowColor = UIColor::colorWithWhiteAlpha(0, 0.5f);
  title.wraps = true;
  return title;
}

// Where an alert's parts lie: one layout for drawing the alert and for touching its buttons.
struct AlertLayout {
  CGRect box{};
  CGRect title{}, message{};
  std::vector<CGRect> buttons;
};

// A box centred on the screen, the title in bold, the message under it and one button per
// title along the bottom. Nothing when the screen is too narrow for one.
std::optional<AlertLayout> layOutAlert(const UIAlertView& alert, CGSize screen, Painter& painter) {
  const CGFloat width = std::min(kAlertWidth, screen.width - 20);
  if (width <= 2 * kAlertPadding) return std::nullopt;
  const CGFloat textWidth = width - 2 * kAlertPadding;
  const TextStyle title = alertTitleStyle();
  TextStyle message = title;
  message.font = UIFont::systemFontOfSize(16);
  // Long texts stop at the screen's height rather than running off it.
  const CGFloat limit = screen.height / 3;
  const std::string titleText = text(alert.title());
  const std::string messageText = text(alert.message());
  const CGFloat titleHeight =
      titleText.empty() ? 0 : std::min(limit, painter.textSize(titleText, title, textWidth).height);
  const CGFloat messageHeight =
      messageText.empty()
          ? 0
          : std::min(limit, painter.textSize(messageText, message, textWidth).height);
  const CGFloat height = kAlertPadding + titleHeight + (titleHeight > 0 ? 8 : 0) + messageHeight +
                         12 + kAlertButtonHeight + kAlertPadding;
  AlertLayout layout;
  layout.box = CGRectMake(std::round((screen.width - width) / 2),
                          std::round((screen.height - height) / 2), width, height);
  CGFloat y = layout.box.origin.y + kAlertPadding;
  const CGFloat x = layout.box.origin.x + kAlertPadding;
  layout.title = CGRectMake(x, y, textWidth, titleHeight);
  if (titleHeight > 0) y += titleHeight + 8;
  layout.message = CGRectMake(x, y, textWidth, messageHeight);
  y += messageHeight + 12;
  const auto& buttons = alert.buttons();
  if (buttons.empty()) return layout;
  const CGFloat gap = 10;
  const CGFloat each = (textWidth - gap * static_cast<CGFloat>(buttons.size() - 1)) /
                       static_cast<CGFloat>(buttons.size());
  for (size_t i = 0; i < buttons.size(); ++i) {
    layout.buttons.push_back(
        CGRectMake(x + static_cast<CGFloat>(i) * (each + gap), y, each, kAlertButtonHeight));
  }
  return layout;
}

// A blue box with a light edge over a soft shadow; the buttons are lighter plates.
void drawAlert(const UIAlertView& alert, CGSize screen, Painter& painter) {
  const auto layout = layOutAlert(alert, screen, painter);
  if (!layout) return;
  const CGRect box = layout->box;
  const TextStyle title = alertTitleStyle();
  TextStyle message = title;
  message.font = UIFont::systemFontOfSize(16);

  painter.fillRoundedRect(CGRectInset(box, -2, -2), 12, *UIColor::colorWithWhiteAlpha(0, 0.35f));
  painter.fillRoundedRectGradient(box, 10,
                                  *UIColor::colorWithRedGreenBlueAlpha(0.2f, 0.3f, 0.55f, 0.93f),
                                  *UIColor::colorWithRedGreenBlueAlpha(0.05f, 0.12f, 0.32f, 0.93f));
  painter.strokeRoundedRect(CGRectInset(box, 1, 1), 9, 2, *UIColor::colorWithWhiteAlpha(1, 0.8f));
  const std::pair<CGRect, std::pair<std::string, const TextStyle*>> texts[] = {
      {layout->title, {text(alert.title()), &title}},
      {layout->message, {text(alert.message()), &message}}};
  for (const auto& [rect, what] : texts) {
    if (rect.size.height <= 0) continue;
    painter.save();
    painter.clipRect(rect);
    painter.drawText(what.first, rect, *what.second);
    painter.restore();
  }
  TextStyle label = title;
  label.wraps = false;
  label.font = UIFont::boldSystemFontOfSize(17);
  const auto& buttons = alert.buttons();
  for (size_t i = 0; i < buttons.size() && i < layout->buttons.size(); ++i) {
    const CGRect button = layout->buttons[i];
    painter.fillRoundedRectGradient(button, 6, *UIColor::colorWithWhiteAlpha(1, 0.35f),
                                    *UIColor::colorWithWhiteAlpha(1, 0.12f));
    painter.strokeRoundedRect(CGRectInset(button, 0.5f, 0.5f), 6, 1,
                              *UIColor::colorWithWhiteAlpha(0, 0.5f));
    painter.drawText(buttons[i], button, label);
  }
}

}  // namespace

namespace screen {

void draw(const Simulator& simulator, Painter& painter) {
  const auto& window = simulator.list().window();
  drawViewTree(*window, painter);
  const auto& alerts = UIAlertView::visibleAlerts();
  if (alerts.empty()) return;
  const CGSize size = window->frame().size;
  // The screen darkens behind an alert; it takes every touch.
  painter.fillRect(CGRectMake(0, 0, size.width, size.height),
                   *UIColor::colorWithWhiteAlpha(0, 0.45f));
  for (const auto& alert : alerts) {
    if (alert) drawAlert(*alert, size, painter);
  }
}

std::vector<CGRect> Damage::take(const Simulator& simulator) {
  const auto& list = simulator.list();
  list.statusBar()->markClockChanges();
  UIView::markAnimations();
  std::vector<CGRect> damage = list.window()->takeDamage();
  std::vector<const UIAlertView*> alerts;
  for (const auto& alert : UIAlertView::visibleAlerts()) alerts.push_back(alert.get());
  if (alerts != alerts_) {
    alerts_ = std::move(alerts);
    const CGSize size = list.window()->frame().size;
    damage.assign(1, CGRectMake(0, 0, size.width, size.height));
  }
  return damage;
}

std::vector<render::PixelRect> drawDamage(const Simulator& simulator, render::Surface& surface,
                                          double scale, const std::vector<CGRect>& damage) {
  auto region = render::pixelRegion(damage, scale, surface.width(), surface.height());
  surface.paintRegion(scale, region, [&](Painter& painter) { draw(simulator, painter); });
  return region;
}

render::Surface render(const Simulator& simulator, double scale) {
  if (!(scale > 0)) scale = kDefaultScale;
  scale = std::min(scale, kMaxScale);
  const CGSize size = simulator.list().window()->frame().size;
  render::Surface surface(static_cast<int>(std::lround(size.width * scale)),
                          static_cast<int>(std::lround(size.height * scale)));
  surface.paint(scale, [&](Painter& painter) { draw(simulator, painter); });
  return surface;
}

std::vector<CGRect> alertButtonFrames(const UIAlertView& alert, CGSize screen) {
  // Text is measured as drawn, through a painter; a pixel's surface is enough for that.
  render::Surface measuring(1, 1);
  std::vector<CGRect> frames;
  measuring.paint(1, [&](Painter& painter) {
    if (const auto layout = layOutAlert(alert, screen, painter)) frames = layout->buttons;
  });
  return frames;
}

std::string snapshot(const Simulator& simulator, const std::string& path, double scale) {
  if (path.empty()) return "no file named";
  std::error_code error;
  const auto folder = std::filesystem::path(path).parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    return "cannot write " + path + ": no such folder";
  }
  return render(simulator, scale).writePNG(path);
}

}  // namespace screen
