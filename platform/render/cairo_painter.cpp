#include "platform/render/cairo_painter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "platform/foundation/file_manager.h"
#include "platform/render/pango_text.h"
#include "platform/uikit/png_header.h"
#include "platform/uikit/ui_image.h"

namespace render {

namespace {

bool finite(CGRect r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

bool drawable(CGRect r) {
  return finite(r) && r.size.width > 0 && r.size.height > 0;
}

// Reads a PNG held in memory, for cairo's stream decoder.
struct PngBytes {
  std::string_view rest;

  static cairo_status_t read(void* self, unsigned char* into, unsigned int length) {
    auto* bytes = static_cast<PngBytes*>(self);
    if (bytes->rest.size() < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(into, bytes->rest.data(), length);
    bytes->rest.remove_prefix(length);
    return CAIRO_STATUS_SUCCESS;
  }
};

// Decoded images by file identity, size and modification time, so a changed file is read
// again. Every byte is read beneath the device root through one descriptor, and a picture
// whose header declares more than the platform's limit is refused before a pixel is decoded.
class ImageCache {
 public:
  ~ImageCache() { clear(); }

  cairo_surface_t* get(const std::string& platformPath) {
    const int fd = DeviceRoot::openForReading(platformPath);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      ::close(fd);
      return nullptr;
    }
    Key key{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    if (const auto found = images_.find(key); found != images_.end()) {
      ::close(fd);
      return found->second;
    }
    const auto bytes = file_io::readDescriptor(fd);
    ::close(fd);
    cairo_surface_t* image = bytes ? decode(*bytes) : nullptr;
    // Broken files are remembered too, so they are not decoded at every frame.
    const size_t cost = image ? static_cast<size_t>(cairo_image_surface_get_stride(image)) *
                                    static_cast<size_t>(cairo_image_surface_get_height(image))
                              : 0;
    if (images_.size() >= kMaxImages || cachedBytes_ + cost > kMaxCachedBytes) clear();
    cachedBytes_ += cost;
    images_.emplace(key, image);
    return image;
  }

  // Moves on whenever decoded images are let go, so that an image's address within one
  // generation names one picture.
  unsigned long generation() const { return generation_; }

 private:
  static constexpr size_t kMaxImages = 64;
  static constexpr size_t kMaxCachedBytes = size_t{48} << 20;
  using Key = std::tuple<dev_t, ino_t, off_t, time_t, long>;

  static cairo_surface_t* decode(std::string_view bytes) {
    if (!png_header::sizeOf(bytes)) return nullptr;
    PngBytes reader{bytes};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(&PngBytes::read, &reader);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(image);
      return nullptr;
    }
    return image;
  }

  void clear() {
    for (auto& [key, image] : images_) {
      if (image) cairo_surface_destroy(image);
    }
    images_.clear();
    cachedBytes_ = 0;
    ++generation_;
  }

  std::map<Key, cairo_surface_t*> images_;
  size_t cachedBytes_ = 0;
  unsigned long generation_ = 0;
};

ImageCache& imageCache() {
  static ImageCache* cache = new ImageCache;  // lives as long as the process draws
  return *cache;
}

// One slice of an image, from its pixel rectangle to a rectangle in points.
void drawSlice(cairo_t* cr, cairo_surface_t* image, double sx, double sy, double sw, double sh,
               double dx, double dy, double dw, double dh) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  cairo_surface_t* part = cairo_surface_create_for_rectangle(image, sx, sy, sw, sh);
  cairo_save(cr);
  cairo_rectangle(cr, dx, dy, dw, dh);
  cairo_clip(cr);
  cairo_translate(cr, dx, dy);
  cairo_scale(cr, dw / sw, dh / sh);
  cairo_set_source_surface(cr, part, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(part);
}

// Splits one axis of a stretchable image: the caps keep their size while there is room, the
// middle takes the rest. Answers source and destination edges (four each).
void splitAxis(double length, double cap, double target, double src[4], double dst[4]) {
  if (cap <= 0 || cap * 2 + 1 > length) {
    src[0] = src[1] = 0;
    src[2] = src[3] = length;
    dst[0] = dst[1] = 0;
    dst[2] = dst[3] = target;
    return;
  }
  const double end = length - cap - 1;  // the far cap: what lies beyond the stretching column
  const double shrink = std::min(1.0, target / (cap + end));
  src[0] = 0;
  src[1] = cap;
  src[2] = cap + 1;
  src[3] = length;
  dst[0] = 0;
  dst[1] = cap * shrink;
  dst[2] = target - end * shrink;
  dst[3] = target;
}

void roundedPath(cairo_t* cr, CGRect rect, CGFloat radius) {
  const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
  const double r = std::clamp<double>(radius, 0, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  if (r <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// Pictures of what a drawing call puts down, in device pixels: the coverage of a rounded
// rectangle, a gradient face, a stretched image. Building a path and scan-converting it, or
// sampling a scaled image, costs many times more than putting a finished picture down, and
// the same things (a field's frame, a button's face, the widget's background) are drawn at
// the same place frame after frame. A picture depends only on what is drawn in device units
// and where it falls within a pixel, so it holds exactly what drawing there would.
class Pictures {
 public:
  struct Placed {
    cairo_surface_t* picture;  // owned by the cache
    int x, y;                  // its top-left device pixel
  };

  ~Pictures() { clear(); }

  // The picture of what `draw` puts within `bounds` (user units) under the context's matrix;
  // `what` tells apart everything else that decides its pixels. `draw` gets a context whose
  // matrix is the caller's moved to the picture's corner. None when the matrix turns or skews
  // space or the picture would be too large to keep: the caller then draws directly.
  std::optional<Placed> get(cairo_t* cr, CGRect bounds, cairo_format_t format,
                            const std::string& what, const std::function<void(cairo_t*)>& draw) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || !(m.xx > 0) || !(m.yy > 0)) return std::nullopt;
    const double left = std::floor(m.xx * bounds.origin.x + m.x0);
    const double top = std::floor(m.yy * bounds.origin.y + m.y0);
    const double right = std::ceil(m.xx * (bounds.origin.x + bounds.size.width) + m.x0);
    const double bottom = std::ceil(m.yy * (bounds.origin.y + bounds.size.height) + m.y0);
    const double width = right - left, height = bottom - top;
    if (!(width > 0 && height > 0 && width * height <= kMaxPixels)) return std::nullopt;
    if (!(std::abs(left) <= kMaxCoordinate && std::abs(top) <= kMaxCoordinate)) return std::nullopt;
    // The matrix relative to the picture's corner: the same for any whole-pixel shift.
    cairo_matrix_t shifted = m;
    shifted.x0 -= left;
    shifted.y0 -= top;
    std::string key = what;
    for (double term : {shifted.xx, shifted.yy, shifted.x0, shifted.y0, width, height}) {
      key.append(reinterpret_cast<const char*>(&term), sizeof term);
    }
    key.push_back(static_cast<char>(format));
    auto found = pictures_.find(key);
    if (found == pictures_.end()) {
      cairo_surface_t* picture =
          cairo_image_surface_create(format, static_cast<int>(width), static_cast<int>(height));
      if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return std::nullopt;
      }
      cairo_t* on = cairo_create(picture);
      cairo_set_matrix(on, &shifted);
      draw(on);
      cairo_destroy(on);
      cairo_surface_flush(picture);
      const size_t cost = static_cast<size_t>(cairo_image_surface_get_stride(picture)) *
                          static_cast<size_t>(height);
      if (pictures_.size() >= kMaxPictures || bytes_ + cost > kMaxBytes) clear();
      bytes_ += cost;
      found = pictures_.emplace(std::move(key), picture).first;
    }
    return Placed{found->second, static_cast<int>(left), static_cast<int>(top)};
  }

  void clear() {
    for (auto& [key, picture] : pictures_) cairo_surface_destroy(picture);
    pictures_.clear();
    bytes_ = 0;
  }

 private:
  static constexpr double kMaxPixels = 1 << 20;
  static constexpr double kMaxCoordinate = 1 << 24;
  static constexpr size_t kMaxPictures = 256;
  static constexpr size_t kMaxBytes = size_t{24} << 20;

  std::unordered_map<std::string, cairo_surface_t*> pictures_;
  size_t bytes_ = 0;
};

Pictures& pictures() {
  static Pictures* cache = new Pictures;  // lives as long as the process draws
  return *cache;
}

// Appends the values' bytes to a picture's key.
template <typename... Values>
std::string keyOf(char kind, Values... values) {
  std::string key(1, kind);
  (key.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
  return key;
}

// Puts a picture down where it was made for: its colours as they are, or as the coverage of
// the current source.
void putDown(cairo_t* cr, const Pictures::Placed& placed) {
  cairo_save(cr);
  cairo_identity_matrix(cr);
  if (cairo_image_surface_get_format(placed.picture) == CAIRO_FORMAT_A8) {
    // The source keeps the user space it was set in.
    cairo_mask_surface(cr, placed.picture, placed.x, placed.y);
  } else {
    cairo_set_source_surface(cr, placed.picture, placed.x, placed.y);
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

}  // namespace

void CairoPainter::save() {
  cairo_save(cr_);
}

void CairoPainter::restore() {
  cairo_restore(cr_);
}

void CairoPainter::translate(CGFloat dx, CGFloat dy) {
  if (std::isfinite(dx) && std::isfinite(dy)) cairo_translate(cr_, dx, dy);
}

void CairoPainter::clipRect(CGRect rect) {
  if (!finite(rect)) return;
  cairo_rectangle(cr_, rect.origin.x, rect.origin.y, std::max<CGFloat>(0, rect.size.width),
                  std::max<CGFloat>(0, rect.size.height));
  cairo_clip(cr_);
}

CGRect CairoPainter::visibleArea() const {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
  return CGRectMake(static_cast<CGFloat>(x1), static_cast<CGFloat>(y1),
                    static_cast<CGFloat>(x2 - x1), static_cast<CGFloat>(y2 - y1));
}

void CairoPainter::beginLayer(CGFloat alpha) {
  cairo_push_group(cr_);
  layerAlphas_.push_back(std::clamp<CGFloat>(alpha, 0, 1));
}

void CairoPainter::endLayer() {
  if (layerAlphas_.empty()) return;
  cairo_pop_group_to_source(cr_);
  cairo_paint_with_alpha(cr_, layerAlphas_.back());
  layerAlphas_.pop_back();
}

void CairoPainter::setColor(const UIColor& color) {
  cairo_set_source_rgba(cr_, color.red(), color.green(), color.blue(), color.alpha());
}

void CairoPainter::fillRect(CGRect rect, const UIColor& color) {
  if (!drawable(rect)) return;
  setColor(color);
  cairo_rectangle(cr_, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_fill(cr_);
}

void CairoPainter::paintShape(bool stroked, CGRect rect, CGFloat radius, CGFloat lineWidth) {
  const auto drawPath = [&](cairo_t* cr) {
    roundedPath(cr, rect, radius);
    if (stroked) {
      cairo_set_line_width(cr, lineWidth);
      cairo_stroke(cr);
    } else {
      cairo_fill(cr);
    }
  };
  // A square fill is cheap for cairo as it is. A square corner's miter reaches past half the
  // line width.
  if (stroked || radius > 0) {
    const CGFloat pad = stroked ? lineWidth + 1 : 1;
    if (const auto placed =
            pictures().get(cr_, CGRectInset(rect, -pad, -pad), CAIRO_FORMAT_A8,
                           keyOf(stroked ? 's' : 'f', rect.size.width, rect.size.height,
                                 rect.origin.x, rect.origin.y, radius, lineWidth),
                           drawPath)) {
      putDown(cr_, *placed);
      return;
    }
  }
  drawPath(cr_);
}

void CairoPainter::fillRoundedRect(CGRect rect, CGFloat radius, const UIColor& color) {
  if (!drawable(rect) || !std::isfinite(radius)) return;
  setColor(color);
  paintShape(false, rect, radius, 0);
}

void CairoPainter::fillRoundedRectGradient(CGRect rect, CGFloat radius, const UIColor& top,
                                           const UIColor& bottom) {
  if (!drawable(rect) || !std::isfinite(radius)) return;
  const auto draw = [&](cairo_t* cr) {
    cairo_pattern_t* gradient =
        cairo_pattern_create_linear(0, rect.origin.y, 0, rect.origin.y + rect.size.height);
    cairo_pattern_add_color_stop_rgba(gradient, 0, top.red(), top.green(), top.blue(), top.alpha());
    cairo_pattern_add_color_stop_rgba(gradient, 1, bottom.red(), bottom.green(), bottom.blue(),
                                      bottom.alpha());
    cairo_set_source(cr, gradient);
    roundedPath(cr, rect, radius);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
  };
  const std::string what =
      keyOf('g', rect.origin.x, rect.origin.y, rect.size.width, rect.size.height, radius, top.red(),
            top.green(), top.blue(), top.alpha(), bottom.red(), bottom.green(), bottom.blue(),
            bottom.alpha());
  if (const auto placed =
          pictures().get(cr_, CGRectInset(rect, -1, -1), CAIRO_FORMAT_ARGB32, what, draw)) {
    putDown(cr_, *placed);
    return;
  }
  cairo_save(cr_);
  draw(cr_);
  cairo_restore(cr_);
}

void CairoPainter::strokeRoundedRect(CGRect rect, CGFloat radius, CGFloat lineWidth,
                                     const UIColor& color) {
  if (!drawable(rect) || !std::isfinite(radius) || !(lineWidth > 0)) return;
  setColor(color);
  paintShape(true, rect, radius, lineWidth);
}

void CairoPainter::strokeLine(CGPoint from, CGPoint to, CGFloat lineWidth, const UIColor& color) {
  if (!(lineWidth > 0)) return;
  setColor(color);
  cairo_move_to(cr_, from.x, from.y);
  cairo_line_to(cr_, to.x, to.y);
  cairo_set_line_width(cr_, lineWidth);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr_);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
}

void CairoPainter::fillPolygon(const std::vector<CGPoint>& points, const UIColor& color) {
  if (points.size() < 3) return;
  setColor(color);
  cairo_new_path(cr_);
  for (const CGPoint& p : points) cairo_line_to(cr_, p.x, p.y);
  cairo_close_path(cr_);
  cairo_fill(cr_);
}

void CairoPainter::fillGlow(CGPoint centre, CGFloat radius, const UIColor& color) {
  if (!(radius > 0) || !std::isfinite(radius)) return;
  cairo_pattern_t* glow =
      cairo_pattern_create_radial(centre.x, centre.y, 0, centre.x, centre.y, radius);
  cairo_pattern_add_color_stop_rgba(glow, 0, color.red(), color.green(), color.blue(),
                                    color.alpha());
  cairo_pattern_add_color_stop_rgba(glow, 0.35, color.red(), color.green(), color.blue(),
                                    color.alpha() * 0.6);
  cairo_pattern_add_color_stop_rgba(glow, 1, color.red(), color.green(), color.blue(), 0);
  cairo_set_source(cr_, glow);
  cairo_arc(cr_, centre.x, centre.y, radius, 0, 2 * M_PI);
  cairo_fill(cr_);
  cairo_pattern_destroy(glow);
}

void CairoPainter::drawImage(const UIImage& image, CGRect rect) {
  if (!drawable(rect)) return;
  cairo_surface_t* pixels = imageCache().get(image.path());
  if (!pixels) return;
  const double width = cairo_image_surface_get_width(pixels);
  const double height = cairo_image_surface_get_height(pixels);
  double sx[4], dx[4], sy[4], dy[4];
  splitAxis(width, static_cast<double>(image.leftCapWidth()), rect.size.width, sx, dx);
  splitAxis(height, static_cast<double>(image.topCapHeight()), rect.size.height, sy, dy);
  // `visible` leaves out the slices outside the clip when drawing directly.
  const auto draw = [&](cairo_t* cr, CGRect visible) {
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) {
        const CGRect slice = CGRectMake(static_cast<CGFloat>(rect.origin.x + dx[column]),
                                        static_cast<CGFloat>(rect.origin.y + dy[row]),
                                        static_cast<CGFloat>(dx[column + 1] - dx[column]) + 1,
                                        static_cast<CGFloat>(dy[row + 1] - dy[row]) + 1);
        if (!CGRectIntersectsRect(slice, visible)) continue;
        drawSlice(cr, pixels, sx[column], sy[row], sx[column + 1] - sx[column],
                  sy[row + 1] - sy[row], rect.origin.x + dx[column], rect.origin.y + dy[row],
                  dx[column + 1] - dx[column], dy[row + 1] - dy[row]);
      }
    }
  };
  const std::string what =
      keyOf('i', reinterpret_cast<std::uintptr_t>(pixels), imageCache().generation(),
            image.leftCapWidth(), image.topCapHeight(), rect.origin.x, rect.origin.y,
            rect.size.width, rect.size.height);
  const CGRect everywhere = CGRectInset(rect, -1, -1);
  if (const auto placed = pictures().get(cr_, everywhere, CAIRO_FORMAT_ARGB32, what,
                                         [&](cairo_t* cr) { draw(cr, everywhere); })) {
    putDown(cr_, *placed);
    return;
  }
  draw(cr_, visibleArea());
}

CGSize CairoPainter::textSize(const std::string& text, const TextStyle& style, CGFloat width) {
  if (!style.font || text.empty()) return {};
  PangoLayout* layout = textLayout(text, *style.font, style.wraps ? width : 0, style.wraps, false);
  if (!layout) return {};
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  return {static_cast<CGFloat>(logical.width / double(PANGO_SCALE)),
          static_cast<CGFloat>(logical.height / double(PANGO_SCALE))};
}

void CairoPainter::drawText(const std::string& text, CGRect rect, const TextStyle& style) {
  if (text.empty() || !style.font || !finite(rect) || rect.size.width <= 0) return;
  PangoLayout* layout =
      textLayout(text, *style.font, rect.size.width, style.wraps, style.ellipsis, style.alignment);
  if (!layout) return;
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  const double height = logical.height / double(PANGO_SCALE);
  // Without a width limit on the layout (a rectangle too wide for pango) alignment is ours.
  double x = rect.origin.x;
  if (pango_layout_get_width(layout) < 0) {
    const double width = logical.width / double(PANGO_SCALE);
    if (style.alignment == NSTextAlignmentCenter) x += (rect.size.width - width) / 2;
    if (style.alignment == NSTextAlignmentRight) x += rect.size.width - width;
  }
  const double y = rect.origin.y + std::round((rect.size.height - height) / 2);
  if (style.shadowColor && style.shadowColor->alpha() > 0) {
    setColor(*style.shadowColor);
    cairo_move_to(cr_, x + style.shadowOffset.width, y + style.shadowOffset.height);
    pango_cairo_show_layout(cr_, layout);
  }
  setColor(style.color ? *style.color : *UIColor::blackColor());
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout);
}

}  // namespace render
