#pragma once

#include <memory>

#include "platform/uikit/ui_alert_view.h"
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

// Lies over the whole screen, the size of `window`, while an alert is shown, and takes every
// touch then: nothing reaches the views beneath. The front alert's buttons are views of it
// where the alert draws them (host/draw_screen.h), laid out afresh at each touch down. While no
// alert is shown it takes no touch.
class AlertLayerView : public UIView {
 public:
  AlertLayerView(PassKey<AlertLayerView>, const std::shared_ptr<UIView>& window)
      : window_(window) {}
  std::shared_ptr<UIView> hitTest(CGPoint point) override;

 private:
  std::weak_ptr<UIView> window_;
};

// A button of the front alert: a touch that comes down on it and lifts on it presses it, if
// its alert is still the front one.
class AlertButtonView : public UIView {
 public:
  AlertButtonView(PassKey<AlertButtonView>, const std::shared_ptr<UIAlertView>& alert,
                  NSInteger index)
      : alert_(alert), index_(index) {}
  void touchesBegan(const UITouchSet&, UIEvent&) override {}
  void touchesMoved(const UITouchSet&, UIEvent&) override {}
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override;
  void touchesCancelled(const UITouchSet&, UIEvent&) override {}

 private:
  std::weak_ptr<UIAlertView> alert_;
  NSInteger index_;
};
