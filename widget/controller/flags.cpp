#include "widget/controller/flags.h"

extern "C" {
BOOL left = YES;
BOOL portraitmode = YES;
BOOL animate = YES;
BOOL exclude = YES;
BOOL detailMode = NO;
BOOL editing = NO;
std::shared_ptr<NSString> titleString;
}

void resetWidgetFlagsForTesting() {
  left = YES;
  portraitmode = YES;
  animate = YES;
  exclude = YES;
  detailMode = NO;
  editing = NO;
  titleString.reset();
}
