#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/uikit/ui_control.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_label.h"

enum UIButtonType : NSInteger { UIButtonTypeCustom = 0, UIButtonTypeRoundedRect = 1 };

class TESSARY_EXPORT UIButton : public UIControl {
 public:
  explicit UIButton(PassKey<UIButton>, UIButtonType type = UIButtonTypeCustom) : UIButton(type) {}
  static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
  const char* className() const override { return "UIButton"; }
  void describe(ViewDescription& out) const override;

  // The title label is created with the button and lives in its subview tree.
  const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
  void setTitleForState(std::string title, UIControlState state);
  std::string titleForState(UIControlState state) const;
  // The title shown now: the highlighted one while highlighted, if set.
  std::string currentTitle() const;
  void setTitleColorForState(std::shared_ptr<UIColor> color, UIControlState state);
  void setBackgroundImageForState(std::shared_ptr<UIImage> image, UIControlState state);
  std::shared_ptr<UIImage> backgroundImageForState(UIControlState state) const;
  std::shared_ptr<UIImage> currentBackgroundImage() const;
  void setImageForState(std::shared_ptr<UIImage> image, UIControlState state);
  std::shared_ptr<UIImage> imageForState(UIControlState state) const;
  UIButtonType buttonType() const { return type_; }
  bool showsTouchWhenHighlighted() const { return showsTouch_; }
  void setShowsTouchWhenHighlighted(bool shows);

  void setHighlighted(bool highlighted) override;
  // A background image's size, else the title's size.
  CGSize sizeThatFits(CGSize size) const override;
  void setFrame(CGRect frame) override;
  // The background image filling the bounds, the image centred on it; the title label draws
  // itself. A rounded-rectangle button draws its white body and border.
  void drawRect(Painter& painter, CGRect rect) const override;
  // The soft white glow over the middle while highlighted, when the button shows touches.
  void drawOverSubviews(Painter& painter, CGRect rect) const override;
  // With the glow's square while it shows.
  CGRect drawnArea(CGSize size) const override;

 protected:
  explicit UIButton(UIButtonType type = UIButtonTypeCustom);

 private:
  void refreshTitle();
  static CGFloat glowRadius(CGSize size);

  UIButtonType type_;
  std::shared_ptr<UILabel> titleLabel_;
  std::map<UIControlState, std::string> titles_;
  std::map<UIControlState, std::shared_ptr<UIColor>> titleColors_;
  std::map<UIControlState, std::shared_ptr<UIImage>> backgrounds_;
  std::map<UIControlState, std::shared_ptr<UIImage>> images_;
  bool showsTouch_ = false;
};
