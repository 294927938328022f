#pragma once

#include "platform/uikit/ui_view.h"

// Scrolling moves the content: the content offset is the bounds origin, so subviews are drawn,
// converted and hit-tested shifted by -contentOffset. A scroll view clips its content to its
// bounds.
class TESSARY_EXPORT UIScrollView : public UIView {
 public:
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

 protected:
  explicit UIScrollView(CGRect frame = CGRectZero) : UIView(frame) { setClipsToBounds(true); }

 private:
  CGSize contentSize_{};
  bool scrollEnabled_ = true;
  bool paging_ = false;
  bool horizontalIndicator_ = true;
  bool verticalIndicator_ = true;
};
