#include "platform/uikit/ui_scroll_view.h"

#include "platform/uikit/view_description.h"

void UIScrollView::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.size("contentSize", contentSize_);
  out.point("contentOffset", contentOffset());
}
