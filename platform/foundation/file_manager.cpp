#include "platform/foundation/file_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {
std::string& rootSlot() {
  static std::string root = "/tmp/tessary-device";
  return root;
}
}  // namespace

void DeviceRoot::set(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  rootSlot() = std::move(directory);
}

const std::string& DeviceRoot::get() { return rootSlot(); }

std::optional<std::string> DeviceRoot::map(std::string_view platformPath) {
  if (platformPath.empty() || platformPath.front() != '/') return std::nullopt;
  if (platformPath.find('\0') != std::string_view::npos) return std::nullopt;
  std::string mapped = rootSlot();
  size_t i = 0;
  while (i < platformPath.size()) {
    while (i < platformPath.size() && platformPath[i] == '/') ++i;
    const size_t end = std::min(platformPath.find('/', i), platformPath.size());
    const std::string_view part = platformPath.substr(i, end - i);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") {
      mapped += '/';
      mapped.append(part);
    }
    i = end;
  }
  return mapped;
}

NSFileManager& NSFileManager::defaultManager() {
  static NSFileManager manager;
  return manager;
}

bool NSFileManager::fileExistsAtPath(std::string_view platformPath) const {
  const auto path = DeviceRoot::map(platformPath);
  struct stat info {};
  return path && ::stat(path->c_str(), &info) == 0;
}

bool NSFileManager::createDirectoryAtPath(std::string_view platformPath) const {
  const auto path = DeviceRoot::map(platformPath);
  if (!path) return false;
  for (size_t slash = 0; slash != std::string::npos;) {
    slash = path->find('/', slash + 1);
    const std::string prefix = path->substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool NSFileManager::removeItemAtPath(std::string_view platformPath) const {
  const auto path = DeviceRoot::map(platformPath);
  return path && ::unlink(path->c_str()) == 0;
}
