#pragma once

#include <pango/pangocairo.h>

#include <string>

#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_label.h"

namespace render {

// The layout that sets `text` in `font` for both measuring and drawing: 72 dpi, whole-point
// advances, grey antialiasing and no outline hinting, so that the same text gives the same
// pixels everywhere. `width` > 0 limits the line (breaking it when `wraps`, else ending it in an
// ellipsis when `ellipsis`). Null when pango cannot lay the text out (a size that is not a
// positive finite number, text too long for its fixed-point arithmetic, or a pango failure).
// The layout belongs to a cache of recent layouts: it is valid until the next call, and must
// not be changed, as the same text in the same font, width and alignment answers it again
// with its lines already laid out.
PangoLayout* textLayout(const std::string& text, const UIFont& font, double width, bool wraps,
                        bool ellipsis, NSTextAlignment alignment = NSTextAlignmentLeft);

// Pango takes only valid UTF-8 without NUL bytes; both become U+FFFD.
std::string validUTF8(const std::string& text);

}  // namespace render
