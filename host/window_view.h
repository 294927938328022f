#pragma once

#include <optional>
#include <string>

#include "platform/render/surface.h"

#include "platform/uikit/geometry.h"

class Simulator;

// What the window shows: the simulator's screen, and under it the help line that names the
// window's keys.
namespace window {

class View {
 public:
  // The help line's height in points.
  static constexpr CGFloat kHelpHeight = 34;
  // The keys, as the help line and the README list them.
  static const char* const kHelpLines[2];

  void resize(CGSize screen, double scale);
  // Draws the screen and the help line into 32-bit 0xAARRGGBB pixels of the size the window
  // asked for, rows `pitch` bytes apart.
  void draw(const Simulator& simulator, unsigned char* pixels, int pitch);

 private:
  CGSize screen_{};
  double scale_ = 1;
  std::optional<render::Surface> help_;
};

}  // namespace window
