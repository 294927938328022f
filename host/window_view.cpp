#include "host/window_view.h"

#include <algorithm>
#include <cmath>

#include "host/simulator.h"

namespace window {

const char* const View::kHelpLines[2] = {
    "Click: touch \u00b7 Drag: scroll \u00b7 Keys: type \u00b7 Return: OK",
    "Ctrl+R rotate \u00b7 Ctrl+L list \u00b7 Ctrl+V paste \u00b7 Ctrl+Q quit"};

namespace {

int pixels(CGFloat points, double scale) {
  return static_cast<int>(std::lround(points * scale));
}

}  // namespace

Placement placePicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
  const double scale = std::min(static_cast<double>(areaWidth) / pictureWidth,
                                static_cast<double>(areaHeight) / pictureHeight);
  Placement placement;
  placement.width = std::clamp(static_cast<int>(std::lround(pictureWidth * scale)), 1, areaWidth);
  placement.height =
      std::clamp(static_cast<int>(std::lround(pictureHeight * scale)), 1, areaHeight);
  placement.x = (areaWidth - placement.width) / 2;
  placement.y = (areaHeight - placement.height) / 2;
  return placement;
}

CGPoint toPicture(const Placement& placement, int pictureWidth, int pictureHeight, double x,
                  double y) {
  if (placement.width <= 0 || placement.height <= 0) return {};
  return {static_cast<CGFloat>((x - placement.x) * pictureWidth / placement.width),
          static_cast<CGFloat>((y - placement.y) * pictureHeight / placement.height)};
}

void View::resize(CGSize screen, double scale) {
  size_ = screen;
  scale_ = scale;
  screen_.emplace(pixels(screen.width, scale), pixels(screen.height, scale));
  help_.emplace(pixels(screen.width, scale), pixels(kHelpHeight, scale));
  help_->paint(scale, [&](Painter& painter) {
    painter.fillRect(CGRectMake(0, 0, screen.width, kHelpHeight),
                     *UIColor::colorWithRedGreenBlueAlpha(0.11f, 0.12f, 0.14f, 1));
    TextStyle style;
    style.font = UIFont::systemFontOfSize(screen.width < 400 ? 9.5f : 11);
    style.color = UIColor::colorWithWhiteAlpha(0.85f, 1);
    style.alignment = NSTextAlignmentCenter;
    const CGFloat line = kHelpHeight / 2;
    for (int i = 0; i < 2; ++i) {
      painter.drawText(kHelpLines[i], CGRectMake(4, 1 + i * (line - 1), screen.width - 8, line),
                       style);
    }
  });
  whole_ = true;
}

std::vector<render::PixelRect> View::update(const Simulator& simulator) {
  if (!screen_) return {};
  std::vector<CGRect> damage = damage_.take(simulator);
  if (whole_) {
    whole_ = false;
    damage.assign(1, CGRectMake(0, 0, size_.width, size_.height));
  }
  auto drawn = screen::drawDamage(simulator, *screen_, scale_, damage);
  if (!drawn.empty()) ++frames_;
  return drawn;
}

}  // namespace window
