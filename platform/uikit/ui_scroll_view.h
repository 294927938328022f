#pragma once

#include "platform/uikit/ui_view.h"

// Scrolling moves the content: subviews are drawn and hit-tested shifted by -contentOffset.
class TESSARY_EXPORT UIScrollView : public UIView {
 public:
  using UIView::UIView;
  static std::shared_ptr<UIScrollView> initWithFrame(CGRect frame) {
    return std::make_shared<UIScrollView>(frame);
  }
  const char* className() const override { return "UIScrollView"; }

  CGSize contentSize() const { return contentSize_; }
  void setContentSize(CGSize size) { contentSize_ = size; }
  CGPoint contentOffset() const { return contentOffset_; }
  virtual void setContentOffset(CGPoint offset) { contentOffset_ = offset; }
  void setContentOffsetAnimated(CGPoint offset, bool) { setContentOffset(offset); }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  bool isPagingEnabled() const { return paging_; }
  void setPagingEnabled(bool paging) { paging_ = paging; }
  bool showsHorizontalScrollIndicator() const { return horizontalIndicator_; }
  void setShowsHorizontalScrollIndicator(bool shows) { horizontalIndicator_ = shows; }
  bool showsVerticalScrollIndicator() const { return verticalIndicator_; }
  void setShowsVerticalScrollIndicator(bool shows) { verticalIndicator_ = shows; }

 private:
  CGSize contentSize_{};
  CGPoint contentOffset_{};
  bool scrollEnabled_ = true;
  bool paging_ = false;
  bool horizontalIndicator_ = true;
  bool verticalIndicator_ = true;
};
