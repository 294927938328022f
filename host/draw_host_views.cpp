// How the home screen's own views look: the status bar, the list, its rows and grip, and the
// keyboard.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "host/host_views.h"
#include "host/keyboard.h"
#include "host/notification_list.h"
#include "platform/foundation/clock.h"
#include "platform/uikit/painter.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"

namespace {

TextStyle textStyle(std::shared_ptr<UIFont> font, std::shared_ptr<UIColor> color,
                    NSTextAlignment alignment) {
  TextStyle style;
  style.font = std::move(font);
  style.color = std::move(color);
  style.alignment = alignment;
  return style;
}

// "9:41 AM" for the wall clock's time of day, in UTC so that a pinned clock reads the same
// everywhere.
std::string timeOfDay(double wallSeconds) {
  const double unix = wallSeconds + kReferenceDateUnixTime;
  if (!std::isfinite(unix)) return "12:00 AM";
  const double day = std::fmod(std::floor(unix), 86400.0);
  const int seconds = static_cast<int>(day < 0 ? day + 86400 : day);
  const int hour = seconds / 3600, minute = seconds / 60 % 60;
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, minute,
                hour < 12 ? "AM" : "PM");
  return text;
}

// Twelve spokes, the brightest one stepping round once a second on the monotonic clock.
void drawActivityIndicator(Painter& painter, CGPoint centre, CGFloat radius) {
  const double now = Clock::current().monotonic();
  const int lead = static_cast<int>(std::fmod(std::floor(now * 12), 12.0));
  for (int i = 0; i < 12; ++i) {
    const double angle = (i - 3) * M_PI / 6;
    const int age = ((lead - i) % 12 + 12) % 12;
    const auto color = UIColor::colorWithWhiteAlpha(1, 1.0f - 0.07f * static_cast<float>(age));
    const CGPoint inner{centre.x + static_cast<CGFloat>(std::cos(angle) * radius * 0.45),
                        centre.y + static_cast<CGFloat>(std::sin(angle) * radius * 0.45)};
    const CGPoint outer{centre.x + static_cast<CGFloat>(std::cos(angle) * radius),
                        centre.y + static_cast<CGFloat>(std::sin(angle) * radius)};
    painter.strokeLine(inner, outer, radius * 0.22f, *color);
  }
}

}  // namespace

void StatusBarView::drawRect(Painter& painter, CGRect rect) const {
  painter.fillRect(rect, *UIColor::blackColor());
  const auto white = UIColor::whiteColor();
  painter.drawText("Tessary", CGRectMake(6, 0, 80, rect.size.height),
                   textStyle(UIFont::boldSystemFontOfSize(12), white, NSTextAlignmentLeft));
  if (UIApplication::sharedApplication().isNetworkActivityIndicatorVisible()) {
    drawActivityIndicator(painter, CGPointMake(66, rect.size.height / 2), 6);
  }
  painter.drawText(timeOfDay(Clock::current().wall()), rect,
                   textStyle(UIFont::boldSystemFontOfSize(14), white, NSTextAlignmentCenter));
  // The battery: a full one, with its knob.
  const CGFloat right = rect.size.width - 6;
  const CGRect body = CGRectMake(right - 25, rect.size.height / 2 - 5, 22, 10);
  painter.strokeRoundedRect(body, 2, 1, *white);
  painter.fillRect(CGRectInset(body, 2, 2), *white);
  painter.fillRect(CGRectMake(right - 3, rect.size.height / 2 - 2, 2, 4), *white);
}

void StatusBarView::markClockChanges() {
  const long minute = static_cast<long>(std::floor(Clock::current().wall() / 60));
  const long step = UIApplication::sharedApplication().isNetworkActivityIndicatorVisible()
                        ? static_cast<long>(std::floor(Clock::current().monotonic() * 12))
                        : -1;
  if (minute == minute_ && step == spinnerStep_) return;
  minute_ = minute;
  spinnerStep_ = step;
  setNeedsDisplay();
}

void ListHandleView::drawRect(Painter& painter, CGRect rect) const {
  painter.fillRoundedRectGradient(rect, 0, *UIColor::colorWithWhiteAlpha(0.22f, 1),
                                  *UIColor::colorWithWhiteAlpha(0.1f, 1));
  painter.fillRect(CGRectMake(0, 0, rect.size.width, 1), *UIColor::colorWithWhiteAlpha(0.35f, 1));
  const CGRect grip =
      CGRectMake(std::round(rect.size.width / 2 - 18), std::round(rect.size.height / 2 - 3), 36, 6);
  painter.fillRoundedRect(grip, 3, *UIColor::colorWithWhiteAlpha(0.55f, 1));
}

void HostTableCell::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  if (!separated_) return;
  painter.fillRect(CGRectMake(8, rect.size.height - 1, rect.size.width - 16, 1),
                   *UIColor::colorWithWhiteAlpha(1, 0.12f));
}

void HostTableView::drawRect(Painter& painter, CGRect rect) const {
  // The list's dark cloth, lighter at the top.
  painter.fillRoundedRectGradient(rect, 0,
                                  *UIColor::colorWithRedGreenBlueAlpha(0.22f, 0.23f, 0.25f, 1),
                                  *UIColor::colorWithRedGreenBlueAlpha(0.13f, 0.14f, 0.15f, 1));
  // Fine threads, two points apart, for the cloth's weave; only those the clip reaches.
  const auto thread = UIColor::colorWithWhiteAlpha(1, 0.025f);
  const CGRect visible = painter.visibleArea();
  const CGFloat from = std::max<CGFloat>(1, 1 + 2 * std::floor((visible.origin.y - 1) / 2));
  const CGFloat to = std::min(rect.size.height, visible.origin.y + visible.size.height + 1);
  for (CGFloat y = from; y < to; y += 2) {
    painter.fillRect(CGRectMake(0, y, rect.size.width, 0.5f), *thread);
  }
}

void KeypadView::setPressedKey(std::optional<keyboard::Key> key) {
  if (key == pressed_) return;
  for (const auto* held : {&pressed_, &key}) {
    // With the shadow one point under the face.
    if (*held) setNeedsDisplayInRect(CGRectInset((*held)->frame, -1, -2));
  }
  pressed_ = std::move(key);
}

void KeypadView::drawRect(Painter& painter, CGRect rect) const {
  painter.fillRoundedRectGradient(rect, 0,
                                  *UIColor::colorWithRedGreenBlueAlpha(0.56f, 0.58f, 0.62f, 1),
                                  *UIColor::colorWithRedGreenBlueAlpha(0.36f, 0.38f, 0.43f, 1));
  TextStyle label =
      textStyle(UIFont::systemFontOfSize(24), UIColor::blackColor(), NSTextAlignmentCenter);
  const CGRect visible = painter.visibleArea();
  for (const auto& key : keyboard::keys(type_, rect.size, tablet_)) {
    if (key.kind == keyboard::Key::Kind::Blank) continue;
    // The shadow lies a point under the face.
    if (!CGRectIntersectsRect(CGRectInset(key.frame, -1, -2), visible)) continue;
    // Held, a key takes the other kind's face: white keys go grey and grey keys white.
    const bool grey = (key.kind != keyboard::Key::Kind::Character) != (pressed_ == key);
    const CGRect face = CGRectInset(key.frame, 0.5f, 0.5f);
    painter.fillRoundedRect(
        CGRectMake(face.origin.x, face.origin.y + 1, face.size.width, face.size.height), 4,
        *UIColor::colorWithWhiteAlpha(0.15f, 0.6f));
    painter.fillRoundedRectGradient(face, 4, *UIColor::colorWithWhiteAlpha(grey ? 0.72f : 1, 1),
                                    *UIColor::colorWithWhiteAlpha(grey ? 0.62f : 0.88f, 1));
    if (key.kind == keyboard::Key::Kind::Delete) {
      // A key-shaped arrow pointing left.
      const CGFloat cx = face.origin.x + face.size.width / 2;
      const CGFloat cy = face.origin.y + face.size.height / 2;
      painter.fillPolygon(
          {{cx - 16, cy}, {cx - 7, cy - 9}, {cx + 14, cy - 9}, {cx + 14, cy + 9}, {cx - 7, cy + 9}},
          *UIColor::colorWithWhiteAlpha(0.2f, 1));
      painter.strokeLine({cx - 3, cy - 4}, {cx + 5, cy + 4}, 2, *UIColor::whiteColor());
      painter.strokeLine({cx + 5, cy - 4}, {cx - 3, cy + 4}, 2, *UIColor::whiteColor());
    } else {
      painter.drawText(key.label, face, label);
    }
  }
}
