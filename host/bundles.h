#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"
#include "platform/hostlist/wee_app_controller.h"

// Where the home screen keeps its plug-ins, and what it finds in them.
namespace bundles {

inline constexpr const char* kPluginsDirectory = "/System/Library/WeeAppPlugins/";
inline constexpr const char* kDataDirectory = "/var/mobile/Library/Tessary/";
inline constexpr const char* kPreferencesDirectory = "/var/mobile/Library/Preferences/";
// The settings pane's file, which the widget reads.
inline constexpr const char* kSettingsFile = "/var/mobile/Library/Preferences/orvendel.plist";
// Data files a bundle brings for its data directory.
inline constexpr const char* kInstalledDataFiles[] = {"Currencies.plist", "Entries.plist"};

// Lays out a device root at `root` (a host path): the bundle folder `bundleDirectory` copied
// under System/Library/WeeAppPlugins/ (replacing an older copy), the data directory with the
// bundle's data files, and the preferences folder. A settings file already there stays.
// Answers an empty string, or the reason it failed.
std::string install(const std::string& root, const std::string& bundleDirectory);

// The widget-wide flags of a loaded library, found by name; null where a name is missing.
struct Flags {
  const BOOL* left = nullptr;
  const BOOL* portraitmode = nullptr;
  const BOOL* animate = nullptr;
  const BOOL* exclude = nullptr;
  const BOOL* detailMode = nullptr;
  const BOOL* editing = nullptr;
  const std::shared_ptr<NSString>* titleString = nullptr;
};

struct Bundle {
  std::string name;            // "Tessary.bundle"
  std::string principalClass;  // from Info.plist, informative
  void* handle = nullptr;      // never closed: the flags and pending blocks outlive any use
  WeeAppFactory factory = nullptr;
  Flags flags;
};

// Loads every *.bundle folder under the plug-ins directory of the current device root, in
// name order: reads its Info.plist, opens the executable it names and finds the factory.
// Bundles that cannot be loaded are skipped, each with a line in `problems`.
std::vector<Bundle> loadAll(std::vector<std::string>& problems);

}  // namespace bundles
