#pragma once

#include <memory>

#include "platform/uikit/ui_scroll_view.h"

struct NSIndexPath {
  NSInteger row = 0;
  NSInteger section = 0;
  static NSIndexPath indexPathForRowInSection(NSInteger row, NSInteger section) {
    return {row, section};
  }
  bool operator==(const NSIndexPath&) const = default;
};

enum UITableViewScrollPosition : NSInteger {
  UITableViewScrollPositionNone = 0,
  UITableViewScrollPositionTop = 1,
  UITableViewScrollPositionMiddle = 2,
  UITableViewScrollPositionBottom = 3,
};

class TESSARY_EXPORT UITableViewCell : public UIView {
 public:
  explicit UITableViewCell(PassKey<UITableViewCell>, CGRect frame = CGRectZero)
      : UITableViewCell(frame) {}
  const char* className() const override { return "UITableViewCell"; }
  // The view that holds the cell's content; a row's own view goes in here.
  const std::shared_ptr<UIView>& contentView();

 protected:
  explicit UITableViewCell(CGRect frame = CGRectZero) : UIView(frame) {}

 private:
  std::shared_ptr<UIView> contentView_;
};

// The notification list's table. The host gives its rows; the widget asks for cells and
// scrolls.
class TESSARY_EXPORT UITableView : public UIScrollView {
 public:
  explicit UITableView(PassKey<UITableView>, CGRect frame = CGRectZero) : UITableView(frame) {}
  const char* className() const override { return "UITableView"; }
  virtual NSInteger numberOfSections() const { return 0; }
  // The cell of a row while it is loaded (scrolled into sight), else null.
  virtual std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath) const {
    return nullptr;
  }
  virtual void scrollToRowAtIndexPathAtScrollPositionAnimated(NSIndexPath,
                                                              UITableViewScrollPosition, bool) {}

 protected:
  explicit UITableView(CGRect frame = CGRectZero) : UIScrollView(frame) {}
};
