#pragma once

#include <memory>
#include <string>

#include "platform/foundation/values.h"
#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_view.h"

// A PNG image by its platform path. Its size comes from the file's header; the pixels are the
// renderer's business.
class TESSARY_EXPORT UIImage : public NSObject {
 public:
  UIImage(std::string path, CGSize size) : path_(std::move(path)), size_(size) {}
  // nullptr when the file is missing or not a PNG.
  static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& platformPath);
  std::shared_ptr<UIImage> stretchableImageWithLeftCapWidthTopCapHeight(NSInteger left,
                                                                        NSInteger top) const;

  const std::string& path() const { return path_; }
  // The file name alone ("ButtonBG.png"), as dumps name images.
  std::string fileName() const;
  CGSize size() const { return size_; }
  NSInteger leftCapWidth() const { return leftCap_; }
  NSInteger topCapHeight() const { return topCap_; }

 private:
  std::string path_;
  CGSize size_;
  NSInteger leftCap_ = 0;
  NSInteger topCap_ = 0;
};

class TESSARY_EXPORT UIImageView : public UIView {
 public:
  explicit UIImageView(PassKey<UIImageView>, std::shared_ptr<UIImage> image = nullptr)
      : UIImageView(std::move(image)) {}
  static std::shared_ptr<UIImageView> initWithImage(std::shared_ptr<UIImage> image) {
    return construct<UIImageView>(std::move(image));
  }
  const char* className() const override { return "UIImageView"; }
  void describe(ViewDescription& out) const override;
  const std::shared_ptr<UIImage>& image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) {
    image_ = std::move(image);
    setNeedsDisplay();
  }
  CGSize sizeThatFits(CGSize size) const override { return image_ ? image_->size() : size; }
  // The image scaled to fill the bounds, keeping its stretch caps.
  void drawRect(Painter& painter, CGRect rect) const override;

 protected:
  explicit UIImageView(std::shared_ptr<UIImage> image = nullptr);

 private:
  std::shared_ptr<UIImage> image_;
};
