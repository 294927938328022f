#include "platform/uikit/ui_image.h"

#include <cstdint>
#include <cstring>

#include "platform/foundation/file_manager.h"
#include "platform/uikit/painter.h"
#include "platform/uikit/png_header.h"
#include "platform/uikit/view_description.h"

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& platformPath) {
  const auto bytes = file_io::readBeneathRoot(platformPath);
  const auto size = bytes ? png_header::sizeOf(*bytes) : std::nullopt;
  if (!size) return nullptr;
  return std::make_shared<UIImage>(
      platformPath, CGSize{static_cast<CGFloat>(size->width), static_cast<CGFloat>(size->height)});
}

std::shared_ptr<UIImage> UIImage::stretchableImageWithLeftCapWidthTopCapHeight(
    NSInteger left, NSInteger top) const {
  auto image = std::make_shared<UIImage>(path_, size_);
  image->leftCap_ = left < 0 ? 0 : left;
  image->topCap_ = top < 0 ? 0 : top;
  return image;
}

std::string UIImage::fileName() const {
  const size_t slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

UIImageView::UIImageView(std::shared_ptr<UIImage> image)
    : UIView(image ? CGRect{{0, 0}, image->size()} : CGRectZero), image_(std::move(image)) {
  setUserInteractionEnabled(false);  // touches go to what lies under the picture
}

void UIImageView::drawRect(Painter& painter, CGRect rect) const {
  UIView::drawRect(painter, rect);
  if (image_) painter.drawImage(*image_, rect);
}

void UIImageView::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.image("image", image().get());
}
