#include "platform/uikit/view_drawing.h"

Painter::~Painter() = default;

namespace {
// Below this the platform counts a view as not shown.
constexpr CGFloat kInvisibleAlpha = 0.01f;

// Whether a subview lies far outside the bounds of a parent that clips to them: more than the
// parent's own size away, so that what a subview draws past its frame (a touch glow) still
// shows. A long scrolling row draws the few subviews near its visible part, and the painter
// never sees the coordinates of the rest, which can pass what it can represent.
bool farOutside(const UIView& child, CGRect bounds) {
  const CGRect f = child.presentationFrame();
  const CGFloat mx = bounds.size.width;
  const CGFloat my = bounds.size.height;
  return f.origin.x >= bounds.origin.x + bounds.size.width + mx ||
         f.origin.x + f.size.width <= bounds.origin.x - mx ||
         f.origin.y >= bounds.origin.y + bounds.size.height + my ||
         f.origin.y + f.size.height <= bounds.origin.y - my;
}
}  // namespace

void drawViewTree(const UIView& view, Painter& painter) {
  if (view.isHidden()) return;
  const CGFloat alpha = view.presentationAlpha();
  if (!(alpha >= kInvisibleAlpha)) return;
  const CGRect frame = view.presentationFrame();
  const CGRect bounds = view.presentationBounds();
  const CGRect own = CGRectMake(0, 0, frame.size.width, frame.size.height);
  // Hold the view while its subviews draw: drawing never changes the tree, but a subview list
  // copied here keeps the walk safe if a view's drawing code ever did.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  const auto subviews = view.subviews();

  painter.save();
  painter.translate(frame.origin.x, frame.origin.y);
  // Only what the clip (the damaged area) reaches is drawn: a view wholly outside it draws
  // nothing, and a clipping one keeps its subviews from being walked as well.
  const CGRect visible = painter.visibleArea();
  const bool clips = view.clipsToBounds();
  const bool drawsOwn = CGRectIntersectsRect(view.drawnArea(own.size), visible);
  const bool walksSubviews = !subviews.empty() && (!clips || CGRectIntersectsRect(own, visible));
  if (drawsOwn || walksSubviews) {
    const bool layered = alpha < 1;
    if (layered) painter.beginLayer(alpha);
    if (clips) painter.clipRect(own);
    if (drawsOwn) view.drawRect(painter, own);
    if (walksSubviews) {
      painter.save();
      painter.translate(-bounds.origin.x, -bounds.origin.y);
      for (const auto& child : subviews) {
        if (child && !(clips && farOutside(*child, bounds))) drawViewTree(*child, painter);
      }
      painter.restore();
    }
    if (drawsOwn) view.drawOverSubviews(painter, own);
    if (layered) painter.endLayer();
  }
  painter.restore();
}
