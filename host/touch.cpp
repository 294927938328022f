#include "host/touch.h"

#include <algorithm>
#include <vector>

#include "platform/uikit/ui_control.h"
#include "platform/uikit/ui_scroll_view.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"

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

bool hasEnabledRecognizer(const UIView& view) {
  const auto& recognizers = view.gestureRecognizers();
  return std::any_of(recognizers.begin(), recognizers.end(),
                     [](const auto& r) { return r && r->isEnabled(); });
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

TapOutcome dispatchTap(const std::shared_ptr<UIView>& hitView) {
  for (auto view = hitView; view; view = view->superview()) {
    if (hasEnabledRecognizer(*view)) {
      // Copies: the action may change the recognizers or release the view.
      const auto recognizers = view->gestureRecognizers();
      for (const auto& recognizer : recognizers) {
        if (recognizer && recognizer->isEnabled()) {
          recognizer->handleTap();
          break;
        }
      }
      return TapOutcome::Recognizer;
    }
    // A control takes only touches whose hit view it is itself: a view lying on it that takes
    // touches keeps them from it.
    if (view != hitView) continue;
    if (auto control = std::dynamic_pointer_cast<UIControl>(view)) {
      if (!control->isEnabled()) return TapOutcome::DisabledControl;
      control->setHighlighted(true);
      control->sendActionsForControlEvents(UIControlEventTouchDown);
      control->setHighlighted(false);
      control->sendActionsForControlEvents(UIControlEventTouchUpInside);
      // A tap into a text field puts the cursor there: the field becomes first responder.
      if (auto field = std::dynamic_pointer_cast<UITextField>(control))
        field->becomeFirstResponder();
      return TapOutcome::Control;
    }
  }
  return TapOutcome::Nothing;
}

TapOutcome tapAt(const std::shared_ptr<UIView>& root, CGPoint point) {
  const auto view = hitTest(root, point);
  if (!view) return TapOutcome::Nothing;
  const CGPoint local = view->convertPointFromView(point, root.get());
  // A segmented control and a toolbar's items answer by where the finger lands on them.
  if (const auto segments = std::dynamic_pointer_cast<UISegmentedControl>(view)) {
    if (!segments->isEnabled()) return TapOutcome::DisabledControl;
    for (NSUInteger i = 0; i < segments->numberOfSegments(); ++i) {
      if (CGRectContainsPoint(segments->segmentFrame(i), local)) {
        segments->touchSegment(i);
        return TapOutcome::Segment;
      }
    }
    return TapOutcome::Nothing;
  }
  if (const auto bar = std::dynamic_pointer_cast<UIToolbar>(view)) {
    const auto items = bar->items();  // a copy: an action may set new items
    for (const auto& item : items) {
      if (!item || item->isFlexibleSpace() || item->customView()) continue;
      if (CGRectContainsPoint(item->frame(), local)) {
        item->sendAction();
        return TapOutcome::BarItem;
      }
    }
    return TapOutcome::Nothing;
  }
  return dispatchTap(view);
}

}  // namespace touch
