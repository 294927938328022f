#include "platform/foundation/file_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

const std::string& DeviceRoot::get() {
  return rootSlot();
}

std::optional<std::string> DeviceRoot::map(std::string_view platformPath) {
  if (platformPath.empty() || platformPath.front() != '/') return std::nullopt;
  if (platformPath.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string& root = rootSlot();
  // Most paths are already clean: no empty, "." or ".." component.
  bool clean = platformPath.back() != '/';
  for (size_t i = 0; clean && i + 1 < platformPath.size(); ++i) {
    clean = !(platformPath[i] == '/' && (platformPath[i + 1] == '/' || platformPath[i + 1] == '.'));
  }
  if (clean) {
    std::string mapped;
    mapped.reserve(root.size() + platformPath.size());
    mapped.append(root).append(platformPath);
    return mapped;
  }
  std::string mapped;
  mapped.reserve(root.size() + platformPath.size());
  mapped = root;
  // Components are copied one by one, so "//" and "." fold away and ".." is refused.
  size_t i = 0;
  while (i < platformPath.size()) {
    while (i < platformPath.size() && platformPath[i] == '/') ++i;
    size_t end = platformPath.find('/', i);
    if (end == std::string_view::npos) end = platformPath.size();
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

std::optional<std::string> DeviceRoot::mapForWriting(std::string_view platformPath) {
  auto mapped = map(platformPath);
  if (!mapped) return std::nullopt;
  char resolvedRoot[PATH_MAX];
  // An empty root is the host's own file system, as build tools use it.
  if (!::realpath(rootSlot().empty() ? "/" : rootSlot().c_str(), resolvedRoot)) return std::nullopt;
  // The nearest folder above the path that exists, with every link in it resolved, must lie
  // in the root; the last component itself is replaced, never followed.
  std::string folder = *mapped;
  char resolved[PATH_MAX];
  for (;;) {
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0) return std::nullopt;
    folder.resize(slash);
    if (::realpath(folder.c_str(), resolved)) break;
    if (errno != ENOENT) return std::nullopt;
  }
  const std::string inside = resolved;
  const std::string root = resolvedRoot;
  if (root != "/" && inside != root && inside.compare(0, root.size() + 1, root + "/") != 0) {
    return std::nullopt;
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
  // The root itself may be new; every folder below it is checked before it is made.
  const std::string& root = rootSlot();
  for (size_t slash = 1; !root.empty() && slash != std::string::npos;) {
    slash = root.find('/', slash + 1);
    const std::string prefix = root.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  const auto path = DeviceRoot::mapForWriting(platformPath);
  if (!path) return false;
  for (size_t slash = root.size(); slash != std::string::npos;) {
    slash = path->find('/', slash + 1);
    const std::string prefix = path->substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool NSFileManager::removeItemAtPath(std::string_view platformPath) const {
  const auto path = DeviceRoot::mapForWriting(platformPath);
  return path && ::unlink(path->c_str()) == 0;
}
