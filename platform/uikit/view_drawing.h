#pragma once

#include "platform/uikit/painter.h"
#include "platform/uikit/ui_view.h"

// Draws a view and everything in it at its presentation values: the view's frame places it in
// the painter's present coordinates, hidden views and views that are fully transparent draw
// nothing, a view's alpha fades it with its subviews as one picture, its bounds origin moves
// its subviews, and a view that clips cuts them to its bounds.
TESSARY_EXPORT void drawViewTree(const UIView& view, Painter& painter);
