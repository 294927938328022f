#include "platform/uikit/ui_application.h"

UIApplication& UIApplication::sharedApplication() {
  static UIApplication application;
  return application;
}
