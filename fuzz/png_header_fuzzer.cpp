// The image header reader: an accepted header starts with the PNG signature and an IHDR
// chunk, and gives the size written in it, within the limits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/uikit/png_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto found = png_header::sizeOf(bytes);
  if (!found) return 0;
  if (size < 24 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0 ||
      std::memcmp(data + 12, "IHDR", 4) != 0) {
    std::abort();
  }
  const uint32_t width = (uint32_t{data[16]} << 24) | (uint32_t{data[17]} << 16) |
                         (uint32_t{data[18]} << 8) | data[19];
  const uint32_t height = (uint32_t{data[20]} << 24) | (uint32_t{data[21]} << 16) |
                          (uint32_t{data[22]} << 8) | data[23];
  if (found->width != width || found->height != height || width == 0 || height == 0 ||
      width > png_header::kMaxSide || height > png_header::kMaxSide) {
    std::abort();
  }
  return 0;
}
