#pragma once

#include "platform/uikit/ui_table_view.h"
#include "platform/uikit/ui_view.h"

// The host's own views, which draw the parts of the screen that belong to the home screen
// (host/draw_host_views.cpp).

// The bar at the top: carrier, the network activity indicator turning while it is on, the
// time of the wall clock and the battery.
class StatusBarView : public UIView {
 public:
  explicit StatusBarView(PassKey<StatusBarView>) {}
  void drawRect(Painter& painter, CGRect rect) const override;
  // Marks the bar when the clock's minute or the indicator's step (or whether it shows) is not
  // what the last call saw: what a presenter calls before each frame, so an idle bar costs no
  // drawing.
  void markClockChanges();

 private:
  long minute_ = -1;
  long spinnerStep_ = -2;
};

// The list's grip at its bottom edge.
class ListHandleView : public UIView {
 public:
  explicit ListHandleView(PassKey<ListHandleView>) {}
  void drawRect(Painter& painter, CGRect rect) const override;
};

// A row of the list: a sample notification's row gets a hairline under it; the widget's row
// draws only what the widget puts in it.
class HostTableCell : public UITableViewCell {
 public:
  explicit HostTableCell(PassKey<HostTableCell>) {}
  void setSeparated(bool separated) {
    separated_ = separated;
    setNeedsDisplay();
  }
  void drawRect(Painter& painter, CGRect rect) const override;

 private:
  bool separated_ = false;
};
