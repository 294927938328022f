#include "platform/uikit/ui_table_view.h"

const std::shared_ptr<UIView>& UITableViewCell::contentView() {
  if (!contentView_) {
    contentView_ = UIView::initWithFrame(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                      UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
  }
  return contentView_;
}
