#include "host/window_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/draw_screen.h"
#include "host/simulator.h"

namespace window {

const char* const View::kHelpLines[2] = {
    "Click: touch \u00b7 Drag: scroll \u00b7 Keys: type \u00b7 Return: OK",
    "Ctrl+R rotate \u00b7 Ctrl+L list \u00b7 Ctrl+V paste \u00b7 Ctrl+Q quit"};

namespace {

int pixels(CGFloat points, double scale) {
  return static_cast<int>(std::lround(points * scale));
}

// Copies the surface's rows into the window's pixels from row `top` on.
void copyRows(const render::Surface& surface, unsigned char* pixels, int pitch, int top, int width,
              int height) {
  const int rows = std::min(surface.height(), height - top);
  const size_t bytes = static_cast<size_t>(std::min(surface.width(), width)) * 4;
  for (int y = 0; y < rows; ++y) {
    std::memcpy(pixels + static_cast<size_t>(top + y) * pitch,
                surface.data() + static_cast<size_t>(y) * surface.stride(), bytes);
  }
}

}  // namespace

void View::resize(CGSize screen, double scale) {
  screen_ = screen;
  scale_ = scale;
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
}

void View::draw(const Simulator& simulator, unsigned char* target, int pitch) {
  const int width = pixels(screen_.width, scale_);
  const int height = pixels(screen_.height + kHelpHeight, scale_);
  const render::Surface screen = screen::render(simulator, scale_);
  copyRows(screen, target, pitch, 0, width, height);
  if (help_) copyRows(*help_, target, pitch, screen.height(), width, height);
}

}  // namespace window
