#pragma once

#include <memory>
#include <string_view>

#include "platform/foundation/values.h"

// The settings file, written by a separate settings pane and only read here. Each reading
// opens the file afresh; a missing or unreadable file gives every key its default.
namespace settings {

inline constexpr int kDecimalMin = 0;
inline constexpr int kDecimalMax = 100;

// The settings file read once, or null when it is missing or unreadable.
std::shared_ptr<NSDictionary> read();
// The value of a key, or null when the dictionary or the key is absent. A value that is an
// array, dictionary, data or date counts as absent, so its default applies.
id value(const NSDictionary* settings, std::string_view key);
// The same, from the file read afresh.
id value(std::string_view key);

// Readings of one dictionary, for a caller that reads the file once for several keys.
int decimal(const NSDictionary* settings);
BOOL autoScroll(const NSDictionary* settings, BOOL current);
BOOL excludeCodes(const NSDictionary* settings, BOOL current);
BOOL clear(const NSDictionary* settings);

BOOL detail();  // "Detail", NO
int update();   // "Update", 3 (days)
BOOL clear();   // "Clear", NO
float alpha();  // "Alpha", 0.7
// "Decimal", 2, held within 0...100 so no setting gives an invalid format or unbounded text,
// while 25 gives the 25 fraction digits a precise result asks for.
int decimal();
// "AutoScroll" and "Exclude": the flag's current value when the key is absent.
BOOL autoScroll(BOOL current);
BOOL excludeCodes(BOOL current);

}  // namespace settings
