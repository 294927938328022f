#pragma once

#include <memory>

#include "platform/foundation/values.h"

// The widget-wide flags, under these exact names with C linkage so that other components
// loaded into the host find them by name. They keep their values for the life of the process.
extern "C" {
extern TESSARY_EXPORT BOOL left;          // the left side is the source side
extern TESSARY_EXPORT BOOL portraitmode;  // the interface is in a portrait orientation
extern TESSARY_EXPORT BOOL animate;       // auto-scroll ("AutoScroll")
extern TESSARY_EXPORT BOOL exclude;       // the picker leaves out the current codes ("Exclude")
extern TESSARY_EXPORT BOOL detailMode;    // the taller layout with names ("Detail")
extern TESSARY_EXPORT BOOL editing;       // a field is being edited
// Title of the next quick alert, or null.
extern TESSARY_EXPORT std::shared_ptr<NSString> titleString;
}

// Restores the values the flags have when the widget is loaded; for tests.
void resetWidgetFlagsForTesting();
