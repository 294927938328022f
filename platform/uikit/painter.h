#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_label.h"

class UIImage;

// How a piece of text is set: one line, cut with an ellipsis where it does not fit, unless
// `wraps`, when it breaks into lines at the rectangle's width. The text is centred vertically
// in its rectangle.
struct TextStyle {
  std::shared_ptr<UIFont> font;
  std::shared_ptr<UIColor> color;
  NSTextAlignment alignment = NSTextAlignmentLeft;
  std::shared_ptr<UIColor> shadowColor;  // none when null
  CGSize shadowOffset{0, -1};
  bool wraps = false;
  // A line too long for the rectangle ends in an ellipsis; else it runs on, cut by the clip.
  bool ellipsis = true;
};

// What views draw with. Coordinates are points; the back end maps them to pixels at its scale.
// Every call is in the current coordinate system, which translate, clip and the layers change
// until the matching restore or endLayer.
class TESSARY_EXPORT Painter {
 public:
  virtual ~Painter();

  virtual void save() = 0;
  virtual void restore() = 0;
  virtual void translate(CGFloat dx, CGFloat dy) = 0;
  virtual void clipRect(CGRect rect) = 0;
  // A rectangle holding all that drawing can still change, in the current coordinates: what
  // lies wholly outside it need not be drawn.
  virtual CGRect visibleArea() const = 0;
  // What is drawn until endLayer is put down as one picture at this opacity.
  virtual void beginLayer(CGFloat alpha) = 0;
  virtual void endLayer() = 0;

  virtual void fillRect(CGRect rect, const UIColor& color) = 0;
  virtual void fillRoundedRect(CGRect rect, CGFloat radius, const UIColor& color) = 0;
  // From `top` at the rectangle's top edge to `bottom` at its bottom edge.
  virtual void fillRoundedRectGradient(CGRect rect, CGFloat radius, const UIColor& top,
                                       const UIColor& bottom) = 0;
  virtual void strokeRoundedRect(CGRect rect, CGFloat radius, CGFloat lineWidth,
                                 const UIColor& color) = 0;
  virtual void strokeLine(CGPoint from, CGPoint to, CGFloat lineWidth, const UIColor& color) = 0;
  virtual void fillPolygon(const std::vector<CGPoint>& points, const UIColor& color) = 0;
  // A soft round light: `color` at the centre fading to nothing at `radius`.
  virtual void fillGlow(CGPoint centre, CGFloat radius, const UIColor& color) = 0;
  // The image scaled into the rectangle; an image with stretch caps keeps its left and right
  // caps (the right one as wide as the left, leaving one column between them that stretches)
  // and its top and bottom caps the same way.
  virtual void drawImage(const UIImage& image, CGRect rect) = 0;
  virtual void drawText(const std::string& text, CGRect rect, const TextStyle& style) = 0;
  // The size the text takes in the style, as drawText sets it (wrapped at `width` when the
  // style wraps).
  virtual CGSize textSize(const std::string& text, const TextStyle& style, CGFloat width) = 0;
};
