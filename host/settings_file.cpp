// The widget's settings file, changed as the system's settings change it.
#include <filesystem>
#include <system_error>

#include "host/simulator.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/utf16.h"

std::string Simulator::setSetting(const std::string& key, const id& value) {
  // A property list holds UTF-8 text only; the reader would refuse the whole file.
  const auto* string = dynamic_cast<const NSString*>(value.get());
  if (!utf16::isValidUTF8(key)) return "settings: the key is not valid UTF-8";
  if (string && !utf16::isValidUTF8(string->UTF8String())) {
    return "settings: the value is not valid UTF-8";
  }
  const auto path = DeviceRoot::map(bundles::kSettingsFile);
  if (!path) return "settings: the device root has no settings path";
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(*path).parent_path(), error);
  // Only a missing file is started afresh: one that cannot be read keeps its other keys.
  auto settings = NSMutableDictionary::dictionaryWithContentsOfFile(bundles::kSettingsFile);
  if (!settings && NSFileManager::defaultManager().fileExistsAtPath(bundles::kSettingsFile)) {
    return "settings: the settings file cannot be read as a dictionary; it is left as it is "
           "(settings - removes it)";
  }
  if (!settings) settings = std::make_shared<NSMutableDictionary>();
  settings->setObjectForKey(value, key);
  if (!settings->writeToFileAtomically(bundles::kSettingsFile, true)) {
    return "settings: cannot write the settings file";
  }
  return {};
}

std::string Simulator::removeSetting(const std::string& key) {
  auto settings = NSMutableDictionary::dictionaryWithContentsOfFile(bundles::kSettingsFile);
  if (!settings || !settings->objectForKey(key)) return {};
  settings->removeObjectForKey(key);
  if (!settings->writeToFileAtomically(bundles::kSettingsFile, true)) {
    return "settings: cannot write the settings file";
  }
  return {};
}

std::string Simulator::removeSettings() {
  const auto path = DeviceRoot::map(bundles::kSettingsFile);
  std::error_code error;
  if (path) std::filesystem::remove(*path, error);
  if (error) return "settings: cannot remove the settings file: " + error.message();
  return {};
}
