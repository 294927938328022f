#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/uikit/ui_view.h"

// Hit-testing and taps over a tree of views whose root's frame is its place on the screen.
// A view takes touches where it is seen: it must be shown (not hidden, alpha of at least
// 0.01, as the platform counts it), take user interaction, and the point must lie in its
// bounds and in every clipping ancestor's. Front to back means later subviews first, a view's
// subviews before the view; scroll views shift their content by the content offset.
namespace touch {

bool isShown(const UIView& view);

// The frontmost view under the screen point, or null.
std::shared_ptr<UIView> hitTest(const std::shared_ptr<UIView>& root, CGPoint point);

// The view's rectangle in screen points, with the content offsets of its scroll ancestors
// applied; nullopt when it is not in `root`'s tree.
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

enum class TapOutcome {
  Recognizer,       // a tap recognizer ran; the control under it got nothing
  Control,          // a control got touch down and touch up inside
  DisabledControl,  // the touch ended on a control that is not enabled
  Segment,          // a segment of a segmented control was touched
  BarItem,          // a toolbar's item sent its action
  Nothing,          // no view took it
  Swallowed,        // a modal alert was up, so no view saw it
};

// One tap on the hit view: walking from it towards the root, the first view that has an
// enabled tap recognizer, or that is a control, takes the tap. A recognizer runs once and the
// control's touch-up-inside is not sent; a control is highlighted while the finger is down
// and gets TouchDown, then TouchUpInside; a text field then becomes first responder.
TapOutcome dispatchTap(const std::shared_ptr<UIView>& hitView);

// A tap at the screen point: hit-test, then dispatch. On a segmented control the segment under
// the point is touched; on a toolbar the item under the point sends its action. A tap that
// reaches a text field makes it first responder.
TapOutcome tapAt(const std::shared_ptr<UIView>& root, CGPoint point);

}  // namespace touch
