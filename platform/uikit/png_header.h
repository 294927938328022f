#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/foundation/objc.h"

// The size in a PNG file's header: the signature, then the IHDR chunk with width and height
// as big-endian 32-bit numbers.
namespace png_header {

// Larger sides are refused, as is a side of 0: decoded at four bytes a pixel, no picture
// takes more than 16 MiB.
inline constexpr uint32_t kMaxSide = 2048;

struct Size {
  uint32_t width = 0;
  uint32_t height = 0;
};

TESSARY_EXPORT std::optional<Size> sizeOf(std::string_view bytes);

}  // namespace png_header
