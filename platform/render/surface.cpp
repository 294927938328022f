#include "platform/render/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/render/cairo_painter.h"

namespace render {

namespace {
constexpr int kMaxSide = 16384;

uint32_t word(const unsigned char* row, int x) {
  uint32_t value;
  std::memcpy(&value, row + 4 * static_cast<size_t>(x), 4);
  return value;
}

RGBA straight(uint32_t argb) {
  const uint8_t a = argb >> 24;
  if (a == 0) return {};
  const auto un = [a](uint32_t c) { return static_cast<uint8_t>((c * 255 + a / 2) / a); };
  return {un((argb >> 16) & 0xFF), un((argb >> 8) & 0xFF), un(argb & 0xFF), a};
}
}  // namespace

struct Surface::Impl {
  cairo_surface_t* surface = nullptr;
  ~Impl() {
    if (surface) cairo_surface_destroy(surface);
  }
};

Surface::Surface(int width, int height) : impl_(std::make_unique<Impl>()) {
  width = std::clamp(width, 1, kMaxSide);
  height = std::clamp(height, 1, kMaxSide);
  impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

Surface::~Surface() = default;
Surface::Surface(Surface&&) noexcept = default;
Surface& Surface::operator=(Surface&&) noexcept = default;

int Surface::width() const {
  return cairo_image_surface_get_width(impl_->surface);
}

int Surface::height() const {
  return cairo_image_surface_get_height(impl_->surface);
}

int Surface::stride() const {
  return cairo_image_surface_get_stride(impl_->surface);
}

const unsigned char* Surface::data() const {
  cairo_surface_flush(impl_->surface);
  return cairo_image_surface_get_data(impl_->surface);
}

void Surface::paint(double scale, const std::function<void(Painter&)>& draw) {
  cairo_t* cr = cairo_create(impl_->surface);
  if (scale > 0 && scale < 64) cairo_scale(cr, scale, scale);
  CairoPainter painter(cr);
  draw(painter);
  cairo_destroy(cr);
  cairo_surface_flush(impl_->surface);
}

void Surface::paintRegion(double scale, const std::vector<PixelRect>& region,
                          const std::function<void(Painter&)>& draw) {
  if (region.empty()) return;
  cairo_t* cr = cairo_create(impl_->surface);
  for (const PixelRect& r : region) cairo_rectangle(cr, r.x, r.y, r.width, r.height);
  cairo_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  if (scale > 0 && scale < 64) cairo_scale(cr, scale, scale);
  CairoPainter painter(cr);
  draw(painter);
  cairo_destroy(cr);
  cairo_surface_flush(impl_->surface);
}

std::vector<PixelRect> pixelRegion(const std::vector<CGRect>& areas, double scale, int width,
                                   int height) {
  std::vector<PixelRect> region;
  for (const CGRect& area : areas) {
    if (!(area.size.width > 0 && area.size.height > 0)) continue;
    const double left = std::floor(area.origin.x * scale);
    const double top = std::floor(area.origin.y * scale);
    const double right = std::ceil((area.origin.x + area.size.width) * scale);
    const double bottom = std::ceil((area.origin.y + area.size.height) * scale);
    // Beyond the surface is cut off; a side that is not a number leaves nothing sure to draw.
    if (std::isnan(left) || std::isnan(top) || std::isnan(right) || std::isnan(bottom)) continue;
    PixelRect r;
    r.x = static_cast<int>(std::clamp(left, 0.0, static_cast<double>(width)));
    r.y = static_cast<int>(std::clamp(top, 0.0, static_cast<double>(height)));
    r.width = static_cast<int>(std::clamp(right, 0.0, static_cast<double>(width))) - r.x;
    r.height = static_cast<int>(std::clamp(bottom, 0.0, static_cast<double>(height))) - r.y;
    if (r.width <= 0 || r.height <= 0) continue;
    // Swallows every rectangle it overlaps, and starts over with the larger one.
    for (bool merged = true; merged;) {
      merged = false;
      for (auto it = region.begin(); it != region.end(); ++it) {
        if (it->x >= r.x + r.width || r.x >= it->x + it->width || it->y >= r.y + r.height ||
            r.y >= it->y + it->height) {
          continue;
        }
        const int x = std::min(r.x, it->x), y = std::min(r.y, it->y);
        r = {x, y, std::max(r.x + r.width, it->x + it->width) - x,
             std::max(r.y + r.height, it->y + it->height) - y};
        region.erase(it);
        merged = true;
        break;
      }
    }
    region.push_back(r);
  }
  return region;
}

void Surface::copyFrom(const Surface& source) {
  cairo_t* cr = cairo_create(impl_->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, source.impl_->surface, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
}

void Surface::fill(RGBA color) {
  cairo_t* cr = cairo_create(impl_->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, color.r / 255.0, color.g / 255.0, color.b / 255.0, color.a / 255.0);
  cairo_paint(cr);
  cairo_destroy(cr);
}

RGBA Surface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return {};
  return straight(word(data() + static_cast<size_t>(y) * stride(), x));
}

std::string Surface::writePNG(const std::string& path) const {
  const cairo_status_t status = cairo_surface_write_to_png(impl_->surface, path.c_str());
  if (status == CAIRO_STATUS_SUCCESS) return {};
  return "cannot write " + path + ": " + cairo_status_to_string(status);
}

std::string Surface::readPNG(const std::string& path, std::unique_ptr<Surface>& out) {
  cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
  const cairo_status_t status = cairo_surface_status(image);
  if (status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    return "cannot read " + path + ": " + cairo_status_to_string(status);
  }
  out = std::make_unique<Surface>(cairo_image_surface_get_width(image),
                                  cairo_image_surface_get_height(image));
  cairo_t* cr = cairo_create(out->impl_->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(image);
  return {};
}

Difference compare(const Surface& a, const Surface& b, int tolerance) {
  Difference result;
  result.total = static_cast<long>(a.width()) * a.height();
  if (a.width() != b.width() || a.height() != b.height()) {
    result.sizesDiffer = true;
    result.differing = result.total;
    result.largest = 255;
    return result;
  }
  for (int y = 0; y < a.height(); ++y) {
    const unsigned char* rowA = a.data() + static_cast<size_t>(y) * a.stride();
    const unsigned char* rowB = b.data() + static_cast<size_t>(y) * b.stride();
    for (int x = 0; x < a.width(); ++x) {
      const uint32_t wa = word(rowA, x), wb = word(rowB, x);
      if (wa == wb) continue;
      const RGBA pa = straight(wa), pb = straight(wb);
      const int d = std::max({std::abs(pa.r - pb.r), std::abs(pa.g - pb.g), std::abs(pa.b - pb.b),
                              std::abs(pa.a - pb.a)});
      result.largest = std::max(result.largest, d);
      if (d > tolerance) ++result.differing;
    }
  }
  return result;
}

}  // namespace render
