#pragma once

#include <string>
#include <vector>

#include "platform/render/surface.h"
#include "platform/uikit/painter.h"

class Simulator;
class UIAlertView;

// The whole screen as the simulator shows it, for the window and for snapshots: the window's
// view tree (status bar, list, the widget in its row, overlays, keyboard) at its presentation
// values, then the alerts as modal boxes over everything.
namespace screen {

// Pixels per point unless asked otherwise.
inline constexpr double kDefaultScale = 2;

void draw(const Simulator& simulator, Painter& painter);

// The screen drawn into a new surface of the screen's size times `scale` (at most 8).
render::Surface render(const Simulator& simulator, double scale = kDefaultScale);

// What changed on the screen since the last frame, for a presenter that draws only that: the
// window's damage after the running animations and the status bar have marked theirs, and the
// whole screen when the alerts shown are not the ones last seen (they are drawn over the views).
class Damage {
 public:
  std::vector<CGRect> take(const Simulator& simulator);

 private:
  std::vector<const UIAlertView*> alerts_;
};

// Draws the damaged areas again on `surface`, which holds the screen's last picture at `scale`;
// answers the pixels drawn.
std::vector<render::PixelRect> drawDamage(const Simulator& simulator, render::Surface& surface,
                                          double scale, const std::vector<CGRect>& damage);

// Where the alert's buttons lie on a screen of that size, as it is drawn there, in the order
// of its button titles.
std::vector<CGRect> alertButtonFrames(const UIAlertView& alert, CGSize screen);

// Draws the screen and writes it as a PNG; an empty string, or why it failed.
std::string snapshot(const Simulator& simulator, const std::string& path,
                     double scale = kDefaultScale);

}  // namespace screen
