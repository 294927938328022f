#include "host/touch.h"

#include <algorithm>
#include <vector>

#include "platform/uikit/ui_scroll_view.h"

namespace touch {

namespace {

CGRect intersection(CGRect a, CGRect b) {
  const CGFloat x0 = std::max(a.origin.x, b.origin.x);
  const CGFloat y0 = std::max(a.origin.y, b.origin.y);
  const CGFloat x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
  const CGFloat y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
  return CGRectMake(x0, y0, std::max(CGFloat{0}, x1 - x0), std::max(CGFloat{0}, y1 - y0));
}

void visit(const std::shared_ptr<UIView>& view, bool inScroll, const UIView* ignored,
           const std::function<bool(const std::shared_ptr<UIView>&, bool)>& f, bool& stop) {
  const bool childrenInScroll =
      inScroll || (view.get() != ignored && dynamic_cast<const UIScrollView*>(view.get()));
  const auto subviews = view->subviews();
  for (auto it = subviews.rbegin(); it != subviews.rend() && !stop; ++it) {
    visit(*it, childrenInScroll, ignored, f, stop);
  }
  if (!stop && f(view, inScroll)) stop = true;
}

}  // namespace

bool isShown(const UIView& view) {
  return view.isShownForTouches();
}

std::shared_ptr<UIView> hitTest(const std::shared_ptr<UIView>& root, CGPoint point) {
  if (!root) return nullptr;
  return root->hitTest(point);
}

std::optional<CGRect> screenRect(const UIView& view, const UIView& root) {
  if (!view.isDescendantOfView(root)) return std::nullopt;
  return view.convertRectToView(view.bounds(), &root);
}

std::optional<CGRect> visibleRect(const UIView& view, const UIView& root) {
  auto rect = screenRect(view, root);
  if (!rect) return std::nullopt;
  CGRect visible = *rect;
  for (const UIView* v = &view;;) {
    if (!isShown(*v)) return std::nullopt;
    if (v != &view && (v->clipsToBounds() || v == &root)) {
      visible = intersection(visible, *screenRect(*v, root));
    }
    if (v == &root) break;
    const auto parent = v->superview();
    v = parent.get();
  }
  if (visible.size.width <= 0 || visible.size.height <= 0) return std::nullopt;
  return visible;
}

void frontToBack(const std::shared_ptr<UIView>& root, const UIView* ignoredScrollView,
                 const std::function<bool(const std::shared_ptr<UIView>&, bool)>& f) {
  if (!root) return;
  bool stop = false;
  visit(root, false, ignoredScrollView, f, stop);
}

}  // namespace touch
