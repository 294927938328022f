#include "platform/uikit/png_header.h"

#include <cstring>

namespace png_header {

std::optional<Size> sizeOf(std::string_view bytes) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 24 || std::memcmp(bytes.data(), kSignature, 8) != 0 ||
      bytes.substr(12, 4) != "IHDR") {
    return std::nullopt;
  }
  auto be32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  const Size size{be32(16), be32(20)};
  if (size.width == 0 || size.height == 0 || size.width > kMaxSide || size.height > kMaxSide) {
    return std::nullopt;
  }
  return size;
}

}  // namespace png_header
