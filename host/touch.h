#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/uikit/ui_view.h"

// Where views lie and show on a tree of views whose root lies at the screen's origin, for
// finding what a script names; screen points are the root's coordinates. Hit-testing and conversion
// are the views' own (UIView's hitTest and convertRect), so scroll offsets and clipping follow the
// platform's one model. Front to back means later subviews first, a view's subviews before the
// view.
namespace touch {

bool isShown(const UIView& view);

// The frontmost view under the screen point, or null.
std::shared_ptr<UIView> hitTest(const std::shared_ptr<UIView>& root, CGPoint point);

// The view's bounds in screen points; nullopt when it is not in `root`'s tree.
std::optional<CGRect> screenRect(const UIView& view, const UIView& root);

// The part of the view that can be seen: its screen rectangle cut by every clipping ancestor
// and by the root's bounds; nullopt when nothing of it shows (zero size, hidden or transparent
// itself or by an ancestor, clipped away, outside the tree).
std::optional<CGRect> visibleRect(const UIView& view, const UIView& root);

// Visits the tree front to back until `visit` answers true; `inScrollView` tells whether a
// scroll view other than `ignoredScrollView` lies between the root and the view.
void frontToBack(
    const std::shared_ptr<UIView>& root, const UIView* ignoredScrollView,
    const std::function<bool(const std::shared_ptr<UIView>&, bool inScrollView)>& visit);

}  // namespace touch
