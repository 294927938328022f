#include "platform/uikit/ui_device.h"

UIDevice& UIDevice::currentDevice() {
  static UIDevice device;
  return device;
}
