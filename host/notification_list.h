#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host_views.h"
#include "platform/hostlist/bulletin_list.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_table_view.h"

// The host's notification list: sections of one row each, laid out top to bottom. A row is
// loaded while any part of it lies in the table's visible part; only loaded rows answer a cell.
class HostTableView : public UITableView {
 public:
  struct Row {
    std::shared_ptr<UITableViewCell> cell;
    CGFloat height = 0;
  };

  explicit HostTableView(PassKey<HostTableView>) {}

  NSInteger numberOfSections() const override { return static_cast<NSInteger>(rows_.size()); }
  std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath path) const override;
  void scrollToRowAtIndexPathAtScrollPositionAnimated(NSIndexPath path,
                                                      UITableViewScrollPosition position,
                                                      bool animated) override;

  // Appends a section holding one row of that height; returns its section number.
  NSInteger addSection(CGFloat height);
  void setRowHeight(NSInteger section, CGFloat height);
  // Places the cells one under the other at the table's width and sets the content size.
  void layoutRows();
  // The row's rectangle in content coordinates; zero for an unknown row.
  CGRect rectForSection(NSInteger section) const;
  bool isRowVisible(NSInteger section) const;
  // The highest offset that still shows content, for the present frame.
  CGFloat maximumOffsetY() const;

  const std::vector<Row>& rows() const { return rows_; }

  // The list's dark background, in the part that shows.
  void drawRect(Painter& painter, CGRect rect) const override;

 private:
  std::vector<Row> rows_;
};

class HostListView : public SBBulletinListView {
 public:
  HostListView();
  std::shared_ptr<UIView> slidingView() const override { return sliding_; }
  std::shared_ptr<UITableView> tableView() const override { return table_; }
  const std::shared_ptr<HostTableView>& hostTable() const { return table_; }

 private:
  std::shared_ptr<UIView> sliding_;
  std::shared_ptr<HostTableView> table_;
};

class HostListController : public SBBulletinListController {
 public:
  HostListController() : listView_(std::make_shared<HostListView>()) {}
  std::shared_ptr<SBBulletinListView> listView() const override { return listView_; }
  const std::shared_ptr<HostListView>& hostListView() const { return listView_; }

 private:
  std::shared_ptr<HostListView> listView_;
};

// The list as the screen shows it: a window of the screen's size with the status bar on top
// and the sliding view below it (460 high on a portrait phone, 300 in landscape). The sliding
// view holds the table and, under it, the list's 40-point handle, so the table's resting
// height is the sliding view's height less 40. The widget's row lies among sample rows.
class NotificationList {
 public:
  NotificationList();
  ~NotificationList();
  NotificationList(const NotificationList&) = delete;
  NotificationList& operator=(const NotificationList&) = delete;

  // Makes the list findable as "SBBulletinListController" (and stops it at destruction).
  void registerAsHost();

  static constexpr CGFloat kStatusBarHeight = 20;
  static constexpr CGFloat kHandleHeight = 40;

  // Fits the window, sliding view, table and rows to a screen of that size.
  void setScreenSize(CGSize size);
  CGSize screenSize() const { return screen_; }

  const std::shared_ptr<UIView>& window() const { return window_; }
  const std::shared_ptr<StatusBarView>& statusBar() const { return statusBar_; }
  const std::shared_ptr<UIView>& slidingView() const { return sliding_; }
  const std::shared_ptr<UIView>& handle() const { return handle_; }
  const std::shared_ptr<HostTableView>& table() const { return table_; }
  const std::shared_ptr<HostListController>& controller() const { return controller_; }

  NSInteger widgetSection() const { return widgetSection_; }
  const std::shared_ptr<UITableViewCell>& widgetCell() const;
  // Places the widget's view in its cell at the cell's content width and the given height.
  void placeWidgetView(const std::shared_ptr<UIView>& view, CGFloat height);
  void removeWidgetView();
  // The list (its sliding view, with the rows and the handle) leaves the screen or comes back.
  void setHidden(bool hidden) { sliding_->setHidden(hidden); }
  bool isHidden() const { return sliding_->isHidden(); }
  // The width the widget's view is given: the screen's width minus 4.
  CGFloat widgetWidth() const { return screen_.width - 4; }

  // The frontmost view lying on the sliding view other than the table and the handle, or null.
  std::shared_ptr<UIView> overlay() const;

 private:
  void addSampleRow(const std::string& title, const std::string& message);

  std::shared_ptr<HostListController> controller_;
  std::shared_ptr<UIView> window_;
  std::shared_ptr<StatusBarView> statusBar_;
  std::shared_ptr<UIView> sliding_;
  std::shared_ptr<HostTableView> table_;
  std::shared_ptr<UIView> handle_;
  NSInteger widgetSection_ = 0;
  CGSize screen_{320, 480};
  bool registered_ = false;
};

// Gives `view` a new size and moves and sizes its subviews by their autoresizing masks, as the
// platform does for views that autoresize their subviews.
void resizeWithAutoresizing(UIView& view, CGSize size);
