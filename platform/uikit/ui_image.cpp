#include "platform/uikit/ui_image.h"

#include <cstdint>
#include <cstring>

#include "platform/foundation/file_manager.h"

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& platformPath) {
  const auto bytes = file_io::readBeneathRoot(platformPath);
  // Signature, then the IHDR chunk with width and height as big-endian 32-bit numbers.
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!bytes || bytes->size() < 24 || std::memcmp(bytes->data(), kSignature, 8) != 0 ||
      bytes->compare(12, 4, "IHDR") != 0) {
    return nullptr;
  }
  auto be32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>((*bytes)[at + i]);
    return v;
  };
  const uint32_t width = be32(16), height = be32(20);
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return nullptr;
  return std::make_shared<UIImage>(
      platformPath, CGSize{static_cast<CGFloat>(width), static_cast<CGFloat>(height)});
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
