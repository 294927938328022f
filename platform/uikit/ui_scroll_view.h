#pragma once

#include "platform/uikit/ui_view.h"

// Scrolling moves the content: the content offset is the bounds origin, so subviews are drawn,
// converted and hit-tested shifted by -contentOffset. A scroll view clips its content to its
// bounds.
//
// It drags itself through a recognizer of its own, which sees every touch on its content: a
// finger that moves more than kSlop points along the axis in which the content is larger than
// the bounds begins a drag, which cancels the content's touch (a control inside gets
// TouchCancel); the content follows the finger, at half pace beyond its ends. At the lift a
// paging scroll view settles on a whole page (the next one in the drag's direction once the
// finger has gone kPageDrag, else the nearest), and one pulled past its ends goes back.
// Touches on the content are not delayed: a control under the finger highlights at once.
class TESSARY_EXPORT UIScrollView : public UIView {
 public:
  static constexpr CGFloat kSlop = 10;
  static constexpr CGFloat kPageDrag = 30;
  static constexpr Seconds kSettleDuration{0.3};

  explicit UIScrollView(PassKey<UIScrollView>, CGRect frame = CGRectZero) : UIScrollView(frame) {}
  static std::shared_ptr<UIScrollView> initWithFrame(CGRect frame) {
    return construct<UIScrollView>(frame);
  }
  const char* className() const override { return "UIScrollView"; }
  void describe(ViewDescription& out) const override;

  CGSize contentSize() const { return contentSize_; }
  void setContentSize(CGSize size) { contentSize_ = size; }
  CGPoint contentOffset() const { return bounds().origin; }
  virtual void setContentOffset(CGPoint offset) { setBounds({offset, bounds().size}); }
  void setContentOffsetAnimated(CGPoint offset, bool) { setContentOffset(offset); }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  bool isPagingEnabled() const { return paging_; }
  void setPagingEnabled(bool paging) { paging_ = paging; }
  bool showsHorizontalScrollIndicator() const { return horizontalIndicator_; }
  void setShowsHorizontalScrollIndicator(bool shows) { horizontalIndicator_ = shows; }
  bool showsVerticalScrollIndicator() const { return verticalIndicator_; }
  void setShowsVerticalScrollIndicator(bool shows) { verticalIndicator_ = shows; }
  bool isDragging() const { return dragging_; }

  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizersForTouches() override;

 protected:
  explicit UIScrollView(CGRect frame = CGRectZero) : UIView(frame) { setClipsToBounds(true); }

 private:
  friend class ScrollViewDrag;
  // Whether the content can be dragged, and along which axis.
  bool canDrag(bool& horizontal) const;
  CGFloat maximumOffset() const;
  void dragBegan(bool horizontal);
  void dragMoved(CGFloat along);
  void dragEnded();

  std::shared_ptr<UIGestureRecognizer> drag_;
  bool dragging_ = false;
  bool horizontal_ = false;
  CGPoint dragStart_{};
  CGSize contentSize_{};
  bool scrollEnabled_ = true;
  bool paging_ = false;
  bool horizontalIndicator_ = true;
  bool verticalIndicator_ = true;
};
