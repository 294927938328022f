#pragma once

#include <cairo.h>

#include "platform/uikit/painter.h"

namespace render {

// The painter on a cairo context. Images are read from the device root (their platform paths)
// and kept in a small cache; text is set by pango in the layouts that measure it.
class CairoPainter final : public Painter {
 public:
  explicit CairoPainter(cairo_t* cr) : cr_(cr) {}

  void save() override;
  void restore() override;
  void translate(CGFloat dx, CGFloat dy) override;
  void clipRect(CGRect rect) override;
  CGRect visibleArea() const override;
  void beginLayer(CGFloat alpha) override;
  void endLayer() override;
  void fillRect(CGRect rect, const UIColor& color) override;
  void fillRoundedRect(CGRect rect, CGFloat radius, const UIColor& color) override;
  void fillRoundedRectGradient(CGRect rect, CGFloat radius, const UIColor& top,
                               const UIColor& bottom) override;
  void strokeRoundedRect(CGRect rect, CGFloat radius, CGFloat lineWidth,
                         const UIColor& color) override;
  void strokeLine(CGPoint from, CGPoint to, CGFloat lineWidth, const UIColor& color) override;
  void fillPolygon(const std::vector<CGPoint>& points, const UIColor& color) override;
  void fillGlow(CGPoint centre, CGFloat radius, const UIColor& color) override;
  void drawImage(const UIImage& image, CGRect rect) override;
  void drawText(const std::string& text, CGRect rect, const TextStyle& style) override;
  CGSize textSize(const std::string& text, const TextStyle& style, CGFloat width) override;

 private:
  // Fills or strokes a rounded rectangle in the current source.
  void paintShape(bool stroked, CGRect rect, CGFloat radius, CGFloat lineWidth);
  void setColor(const UIColor& color);

  cairo_t* cr_;
  std::vector<CGFloat> layerAlphas_;
};

}  // namespace render
