#pragma once

#include "platform/uikit/ui_device.h"

// The tag that marks the host's list cell holding the widget.
inline constexpr NSInteger kWidgetCellTag = 69;
