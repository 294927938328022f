#pragma once

// The platform paths the widget uses; the platform's file layer maps them under the device
// root.
namespace paths {
inline constexpr const char* kSettings = "/var/mobile/Library/Preferences/orvendel.plist";
inline constexpr const char* kDataDirectory = "/var/mobile/Library/Tessary/";
inline constexpr const char* kRates = "/var/mobile/Library/Tessary/Rates.plist";
inline constexpr const char* kDates = "/var/mobile/Library/Tessary/Dates.plist";
inline constexpr const char* kRecent = "/var/mobile/Library/Tessary/Recent.plist";
inline constexpr const char* kCurrencies = "/var/mobile/Library/Tessary/Currencies.plist";
inline constexpr const char* kEntries = "/var/mobile/Library/Tessary/Entries.plist";
inline constexpr const char* kBundle = "/System/Library/WeeAppPlugins/Tessary.bundle/";
inline constexpr const char* kBundleInfo =
    "/System/Library/WeeAppPlugins/Tessary.bundle/Info.plist";
}  // namespace paths
