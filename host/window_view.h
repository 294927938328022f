#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/draw_screen.h"
#include "platform/render/surface.h"
#include "platform/uikit/geometry.h"

class Simulator;

// What the window shows: the simulator's screen, and under it the help line that names the
// window's keys; and where that picture lies in a window of any size.
namespace window {

// Where a picture goes in a drawable area: as large as fits with its aspect ratio kept,
// centred, the rest left as bars.
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
};
Placement placePicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);
// A point of the drawable area in the picture's pixels, through the same placement.
CGPoint toPicture(const Placement& placement, int pictureWidth, int pictureHeight, double x,
                  double y);

class View {
 public:
  // The help line's height in points.
  static constexpr CGFloat kHelpHeight = 34;
  // The keys, as the help line and the README list them.
  static const char* const kHelpLines[2];

  // A new picture for a screen of that size at `scale` pixels per point: the next update
  // draws all of it.
  void resize(CGSize screen, double scale);
  // Draws what changed on the screen since the last update (everything after a resize) and
  // answers the rectangles of the picture that changed; none when nothing did.
  std::vector<render::PixelRect> update(const Simulator& simulator);
  // The screen's pixels, 32-bit 0xAARRGGBB words, and the help line's, which lies under them.
  const render::Surface& screen() const { return *screen_; }
  const render::Surface& help() const { return *help_; }
  // How many updates drew anything.
  long framesDrawn() const { return frames_; }

 private:
  CGSize size_{};
  double scale_ = 1;
  std::optional<render::Surface> screen_, help_;
  screen::Damage damage_;
  bool whole_ = true;
  long frames_ = 0;
};

}  // namespace window
