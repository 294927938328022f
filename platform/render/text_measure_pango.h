#pragma once

#include <string>

#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_color.h"

// Text measurement with pango and fontconfig, the same layouts that the painter draws with.

// The logical size of one line of text (a newline is drawn, not broken) in the font's family,
// bold when the font is, at 72 dpi so that one point is one pixel, rounded up to whole points.
// A font size that is not a positive finite number measures as zero. Text too long for
// pango's fixed-point arithmetic at that size, and any failure of pango itself, fall back to
// estimateTextSize. Invalid UTF-8 is measured with U+FFFD in place of the bad bytes.
CGSize pangoMeasureText(const std::string& text, const UIFont& font);

// Makes pangoMeasureText the process's text measurer (measureText in platform/uikit).
void installPangoTextMeasurer();
