#pragma once

#include <string>
#include <vector>

#include "platform/uikit/ui_control.h"

enum UISegmentedControlStyle : NSInteger {
  UISegmentedControlStylePlain = 0,
  UISegmentedControlStyleBordered = 1,
  UISegmentedControlStyleBar = 2,
};
inline constexpr NSInteger UISegmentedControlNoSegment = -1;

class TESSARY_EXPORT UISegmentedControl : public UIControl {
 public:
  explicit UISegmentedControl(PassKey<UISegmentedControl>, std::vector<std::string> titles = {})
      : UISegmentedControl(std::move(titles)) {}
  static std::shared_ptr<UISegmentedControl> initWithItems(std::vector<std::string> titles) {
    return construct<UISegmentedControl>(std::move(titles));
  }
  const char* className() const override { return "UISegmentedControl"; }
  void describe(ViewDescription& out) const override;

  NSUInteger numberOfSegments() const { return titles_.size(); }
  std::string titleForSegmentAtIndex(NSUInteger index) const {
    return index < titles_.size() ? titles_[index] : std::string();
  }
  NSInteger selectedSegmentIndex() const { return selected_; }
  void setSelectedSegmentIndex(NSInteger index);
  bool isMomentary() const { return momentary_; }
  void setMomentary(bool momentary) { momentary_ = momentary; }
  UISegmentedControlStyle segmentedControlStyle() const { return style_; }
  void setSegmentedControlStyle(UISegmentedControlStyle style) {
    style_ = style;
    setNeedsDisplay();
  }

  // Each segment as wide as its title and padding; the bar style is 30 high.
  CGSize sizeThatFits(CGSize size) const override;
  // The segment's rectangle in the control's coordinates.
  CGRect segmentFrame(NSUInteger index) const;
  // A touch on a segment: it is selected, the value-changed event is sent, and a momentary
  // control lets go of it again afterwards.
  void touchSegment(NSUInteger index);
  // The segment under the finger is drawn selected while the finger holds it; a lift inside
  // touches it, a lift outside or a cancel puts the selection back.
  bool beginTrackingWithTouch(UITouch& touch, UIEvent& event) override;
  void endTrackingWithTouch(UITouch* touch, UIEvent& event) override;
  void cancelTrackingWithEvent(UIEvent* event) override;
  // A rounded dark body split into its segments, the selected one pressed in, the titles in
  // white.
  void drawRect(Painter& painter, CGRect rect) const override;

 protected:
  explicit UISegmentedControl(std::vector<std::string> titles = {});

 private:
  CGFloat segmentWidth(NSUInteger index) const;

  std::vector<std::string> titles_;
  NSInteger selected_ = UISegmentedControlNoSegment;
  NSInteger held_ = UISegmentedControlNoSegment;
  NSInteger beforeHeld_ = UISegmentedControlNoSegment;
  bool momentary_ = false;
  UISegmentedControlStyle style_ = UISegmentedControlStylePlain;
};
