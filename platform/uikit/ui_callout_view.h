#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/ui_view.h"

// The platform's one callout bubble: a rounded body holding a title and an optional subtitle,
// with an arrow whose tip rests on an anchor point.
//
// Geometry. The body is as wide as the wider of its texts (title in bold 17, subtitle in 12)
// plus 10 on each side, at least 30, and never wider than the boundary rectangle; it is
// 8 + title height + subtitle height + 8 high. The arrow is 13 high. The bubble lies above
// the anchor, the arrow pointing down, when body and arrow fit between the boundary's top and
// the anchor; otherwise below it, the arrow pointing up. Horizontally the body is centred on
// the anchor, then pushed inside the boundary; a boundary without width leaves it centred.
// Subview 0 is the body: its y is 0 when the bubble lies above the anchor and the arrow's
// height when it lies below. Subview 1 is the arrow, a square whose centre is the anchor's x
// where the body allows.
//
// A change of texts keeps the anchor, the boundary and the side chosen at the last anchoring.
class TESSARY_EXPORT UICalloutView : public UIView {
 public:
  static constexpr CGFloat kArrowHeight = 13;
  static constexpr CGFloat kSidePadding = 10;
  static constexpr CGFloat kVerticalPadding = 8;
  static constexpr CGFloat kMinimumWidth = 30;
  // How long an animated anchoring or change of texts takes.
  static constexpr Seconds kResizeDuration{0.2};

  explicit UICalloutView(PassKey<UICalloutView>);
  static const std::shared_ptr<UICalloutView>& sharedCalloutView();
  // Takes the shared bubble off its superview and starts a fresh one, as at process start.
  static void resetSharedCalloutView();
  const char* className() const override { return "UICalloutView"; }
  void describe(ViewDescription& out) const override;

  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  const std::optional<std::string>& subtitle() const { return subtitle_; }
  void setSubtitleAnimated(std::optional<std::string> subtitle, bool animated);

  void setAnchorPointBoundaryRectAnimate(CGPoint point, CGRect boundary, bool animate);
  CGPoint anchorPoint() const { return anchor_; }
  CGRect boundaryRect() const { return boundary_; }
  bool isAbove() const { return above_; }

  // The body's size for the present texts, before the boundary limits its width.
  CGSize contentSize() const;

  // Alpha to 0 over the duration, then off its superview with alpha 1 again. An anchoring in
  // the meantime keeps the bubble where it is shown.
  void fadeOutWithDuration(double seconds);

  // The body as a dark rounded box with a light edge and the texts, and the arrow as a
  // triangle from the body to the anchor, both where their parts stand now.
  void drawRect(Painter& painter, CGRect rect) const override;
  // The body's edge lies a point outside it. The arrow's base is wider than its square by a
  // fifth of the square on each side, which an arrow pushed to an end carries past the view.
  CGRect drawnArea(CGSize size) const override {
    return CGRectInset(UIView::drawnArea(size), -(1 + kArrowHeight * 0.2f), -1);
  }

 private:
  static std::shared_ptr<UICalloutView>& sharedSlot();
  static std::shared_ptr<UICalloutView> fresh();
  void layout(bool animated);

  std::shared_ptr<UIView> body_, arrow_;
  std::string title_;
  std::optional<std::string> subtitle_;
  CGPoint anchor_{};
  CGRect boundary_{};
  bool above_ = true;
  unsigned generation_ = 0;  // counts anchorings, so a stale fade-out leaves the bubble alone
};
