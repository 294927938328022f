#include "host/window_view.h"

#include <cmath>
#include <cstring>

#include "host/simulator.h"

namespace window {

const char* const View::kHelpLines[2] = {
    "Click: touch \u00b7 Drag: scroll \u00b7 Type: digits \u00b7 Backspace: delete",
    "Ctrl+R: rotate \u00b7 Ctrl+L: hide/show list \u00b7 Ctrl+V: paste \u00b7 Ctrl+Q: quit"};

void View::resize(CGSize screen, double scale) {
  screen_ = screen;
  scale_ = scale;
}

void View::draw(const Simulator&, unsigned char* pixels, int pitch) {
  const int width = static_cast<int>(std::lround(screen_.width * scale_));
  const int height = static_cast<int>(std::lround((screen_.height + kHelpHeight) * scale_));
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * pitch);
    for (int x = 0; x < width; ++x) row[x] = 0xFF303030;
  }
}

}  // namespace window
