#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/painter.h"

namespace render {

// One pixel, straight (not premultiplied) alpha.
struct RGBA {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const RGBA&) const = default;
};

// A rectangle of whole pixels.
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// The pixels that show areas given in points at `scale`: each area rounded out to whole
// pixels and cut to a surface of `width` by `height`; areas that overlap become the one
// rectangle holding both, so no pixel is in two rectangles. Empty areas give nothing.
std::vector<PixelRect> pixelRegion(const std::vector<CGRect>& areas, double scale, int width,
                                   int height);

// An image in memory that views are drawn into and PNGs are read from and written to. The
// pixels are 32-bit words, 0xAARRGGBB with premultiplied alpha, rows `stride` bytes apart
// (a window can hand them to its texture as they are).
class Surface {
 public:
  // A transparent surface; sizes below 1 or above 16384 pixels are taken as 1 and 16384.
  Surface(int width, int height);
  ~Surface();
  Surface(Surface&&) noexcept;
  Surface& operator=(Surface&&) noexcept;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int width() const;
  int height() const;
  int stride() const;
  const unsigned char* data() const;

  // Runs `draw` with a painter whose coordinates are points of `scale` pixels.
  void paint(double scale, const std::function<void(Painter&)>& draw);
  // Draws again only in `region`: its pixels are made transparent, then `draw` runs clipped
  // to them, giving there what paint gives on a new surface; the rest keeps what it had.
  void paintRegion(double scale, const std::vector<PixelRect>& region,
                   const std::function<void(Painter&)>& draw);
  // Replaces every pixel with `source`'s (sizes must match), or copies what fits.
  void copyFrom(const Surface& source);
  void fill(RGBA color);

  RGBA pixel(int x, int y) const;

  // An empty string, or why the file could not be written or read.
  std::string writePNG(const std::string& path) const;
  static std::string readPNG(const std::string& path, std::unique_ptr<Surface>& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How two pictures differ: the pixels whose channels differ by more than `tolerance` in any
// channel, out of all; sizes that differ count every pixel.
struct Difference {
  long differing = 0;
  long total = 0;
  int largest = 0;  // the largest channel difference seen
  bool sizesDiffer = false;
};
Difference compare(const Surface& a, const Surface& b, int tolerance);

}  // namespace render
