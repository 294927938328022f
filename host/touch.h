#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/uikit/ui_view.h"

// Hit-testing and taps over a tree of views whose root lies at the screen's origin; screen
// points are the root's coordinates. Hit-testing and conversion are the views' own (UIView's
// hitTest and convertRect), so scroll offsets and clipping follow the platform's one model.
// Front to back means later subviews first, a view's subviews before the view.
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
// enabled tap recognizer takes the tap; a control takes it only when it is the hit view itself.
// A recognizer runs once and the control's touch-up-inside is not sent; a control is
// highlighted while the finger is down and gets TouchDown, then TouchUpInside; a text field
// then becomes first responder.
TapOutcome dispatchTap(const std::shared_ptr<UIView>& hitView);

// A tap at the screen point: hit-test, then dispatch. On a segmented control the segment under
// the point is touched; on a toolbar the item under the point sends its action. A tap that
// reaches a text field makes it first responder.
TapOutcome tapAt(const std::shared_ptr<UIView>& root, CGPoint point);

}  // namespace touch
