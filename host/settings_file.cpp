// The widget's settings file, changed as the system's settings change it.
#include <filesystem>
#include <system_error>

#include "host/simulator.h"
#include "platform/foundation/file_manager.h"

std::string Simulator::setSetting(const std::string& key, const id& value) {
  const auto path = DeviceRoot::map(bundles::kSettingsFile);
  if (!path) return "settings: the device root has no settings path";
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(*path).parent_path(), error);
  // A missing or unreadable file is started afresh.
  auto settings = NSMutableDictionary::dictionaryWithContentsOfFile(bundles::kSettingsFile);
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
