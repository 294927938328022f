#pragma once

#include "platform/uikit/ui_device.h"

// A tablet is a device that answers userInterfaceIdiom, and answers it with the tablet idiom.
inline bool isTablet() {
  const UIDevice& device = UIDevice::currentDevice();
  return device.respondsToUserInterfaceIdiom() &&
         device.userInterfaceIdiom() == UIUserInterfaceIdiomPad;
}

// The tag that marks the host's list cell holding the widget.
inline constexpr NSInteger kWidgetCellTag = 69;
