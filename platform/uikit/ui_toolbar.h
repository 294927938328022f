#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_view.h"

enum UIBarStyle : NSInteger {
  UIBarStyleDefault = 0,
  UIBarStyleBlack = 1,
  UIBarStyleBlackTranslucent = 2,
};
enum UIBarButtonItemStyle : NSInteger {
  UIBarButtonItemStylePlain = 0,
  UIBarButtonItemStyleBordered = 1,
  UIBarButtonItemStyleDone = 2,
};
enum UIBarButtonSystemItem : NSInteger {
  UIBarButtonSystemItemDone = 0,
  UIBarButtonSystemItemCancel = 1,
  UIBarButtonSystemItemFlexibleSpace = 5,
  UIBarButtonSystemItemFixedSpace = 6,
};

// An item of a toolbar: a title, an image, a system item or a custom view. Its target is held
// weakly, as a control's.
struct TextStyle;

// The white, bold, shadowed title of a bar's items and of a segmented control on a bar.
TextStyle barTitleStyle();

class TESSARY_EXPORT UIBarButtonItem : public NSObject {
 public:
  template <class T>
  static std::shared_ptr<UIBarButtonItem> initWithTitleStyleTargetAction(
      std::string title, UIBarButtonItemStyle style, const std::shared_ptr<T>& target,
      void (T::*action)()) {
    auto item = construct<UIBarButtonItem>();
    item->title_ = std::move(title);
    item->style_ = style;
    item->setTargetAction(target, action);
    return item;
  }
  template <class T>
  static std::shared_ptr<UIBarButtonItem> initWithImageStyleTargetAction(
      std::shared_ptr<UIImage> image, UIBarButtonItemStyle style, const std::shared_ptr<T>& target,
      void (T::*action)()) {
    auto item = construct<UIBarButtonItem>();
    item->image_ = std::move(image);
    item->style_ = style;
    item->setTargetAction(target, action);
    return item;
  }
  template <class T>
  static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItemTargetAction(
      UIBarButtonSystemItem system, const std::shared_ptr<T>& target, void (T::*action)()) {
    auto item = construct<UIBarButtonItem>();
    item->system_ = system;
    item->style_ =
        system == UIBarButtonSystemItemDone ? UIBarButtonItemStyleDone : UIBarButtonItemStylePlain;
    if (target) item->setTargetAction(target, action);
    return item;
  }
  static std::shared_ptr<UIBarButtonItem> flexibleSpace();
  static std::shared_ptr<UIBarButtonItem> initWithCustomView(std::shared_ptr<UIView> view);

  const std::string& title() const { return title_; }
  const std::shared_ptr<UIImage>& image() const { return image_; }
  UIBarButtonItemStyle style() const { return style_; }
  // -1 when the item is not a system item.
  NSInteger systemItem() const { return system_; }
  bool isFlexibleSpace() const { return system_ == UIBarButtonSystemItemFlexibleSpace; }
  const std::shared_ptr<UIView>& customView() const { return customView_; }
  // What the item shows as text: its title, or "Done" for the Done system item.
  std::string displayTitle() const;
  // The item's place in its toolbar, in the toolbar's coordinates, after layout.
  CGRect frame() const { return frame_; }
  void setFrame(CGRect frame) { frame_ = frame; }
  // A tap on the item: its action, once, if the target lives.
  void sendAction();

  explicit UIBarButtonItem(PassKey<UIBarButtonItem>) {}

 private:
  template <class T>
  void setTargetAction(const std::shared_ptr<T>& target, void (T::*action)()) {
    target_ = target;
    action_ = [action](NSObject& t) { (static_cast<T&>(t).*action)(); };
  }

  std::string title_;
  std::shared_ptr<UIImage> image_;
  UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
  NSInteger system_ = -1;
  std::shared_ptr<UIView> customView_;
  std::weak_ptr<NSObject> target_;
  std::function<void(NSObject&)> action_;
  CGRect frame_{};
};

class TESSARY_EXPORT UIToolbar : public UIView {
 public:
  explicit UIToolbar(PassKey<UIToolbar>) {}
  static std::shared_ptr<UIToolbar> init() { return construct<UIToolbar>(); }
  const char* className() const override { return "UIToolbar"; }
  void describe(ViewDescription& out) const override;

  UIBarStyle barStyle() const { return style_; }
  void setBarStyle(UIBarStyle style) {
    style_ = style;
    setNeedsDisplay();
  }
  const std::vector<std::shared_ptr<UIBarButtonItem>>& items() const { return items_; }
  void setItemsAnimated(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated);

  // The screen's width; 44 high, 32 in landscape on a phone.
  CGSize sizeThatFits(CGSize size) const override;
  void setFrame(CGRect frame) override;
  // Places the items: fixed items at their own width, flexible spaces sharing the rest.
  void layoutItems();
  // The bar's gradient (black and see-through in the translucent style) and every item that
  // is not a custom view: bordered and Done items in their rounded frames, titles and images.
  void drawRect(Painter& painter, CGRect rect) const override;

  // An item that is neither a space nor a custom view takes a tap: it sends its action at the
  // lift when the finger has not strayed more than kItemSlop points from where it came down.
  static constexpr CGFloat kItemSlop = 10;
  void touchesBegan(const UITouchSet& touches, UIEvent& event) override;
  void touchesMoved(const UITouchSet& touches, UIEvent& event) override;
  void touchesEnded(const UITouchSet& touches, UIEvent& event) override;
  void touchesCancelled(const UITouchSet& touches, UIEvent& event) override;

 private:
  // The touch of this bar in the set, if any.
  const UITouch* ownTouch(const UITouchSet& touches) const;
  // Lets go of the held item once the finger has strayed too far.
  void dropIfStrayed(const UITouch& touch);

  UIBarStyle style_ = UIBarStyleDefault;
  std::weak_ptr<UIBarButtonItem> held_;
  std::vector<std::shared_ptr<UIBarButtonItem>> items_;
};
