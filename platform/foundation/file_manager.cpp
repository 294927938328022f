#include "platform/foundation/file_manager.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
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

namespace {

// The root folder, and the platform path as a path relative to it.
int openRootFolder() {
  const std::string& root = rootSlot();
  return ::open(root.empty() ? "/" : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

std::optional<std::string> relativeToRoot(std::string_view platformPath) {
  auto mapped = DeviceRoot::map(platformPath);
  if (!mapped) return std::nullopt;
  mapped->erase(0, rootSlot().size());
  while (!mapped->empty() && mapped->front() == '/') mapped->erase(0, 1);
  return mapped;
}

int openBeneathRoot(std::string_view platformPath, int flags) {
  // An empty root is the host's own file system, with nothing to stay beneath.
  if (rootSlot().empty()) {
    const auto path = DeviceRoot::map(platformPath);
    return path ? ::open(path->c_str(), flags | O_CLOEXEC) : -1;
  }
  const auto relative = relativeToRoot(platformPath);
  if (!relative) return -1;
  const int root = openRootFolder();
  if (root < 0) return -1;
  const int fd = file_io::openBeneath(root, *relative, flags);
  ::close(root);
  return fd;
}

}  // namespace

std::optional<std::string> DeviceRoot::mapForWriting(std::string_view platformPath) {
  auto mapped = map(platformPath);
  if (!mapped || rootSlot().empty()) return mapped;
  // The nearest folder above the path that exists must open beneath the root, by the same
  // rule as reads; the last component itself is replaced, never followed.
  std::string folder = *relativeToRoot(platformPath);
  const int root = openRootFolder();
  if (root < 0) return std::nullopt;
  for (;;) {
    const size_t slash = folder.rfind('/');
    folder.resize(slash == std::string::npos ? 0 : slash);
    const int fd = file_io::openBeneath(root, folder, O_PATH | O_DIRECTORY);
    if (fd >= 0) ::close(fd);
    if (fd >= 0 || errno != ENOENT || folder.empty()) {
      ::close(root);
      return fd >= 0 ? mapped : std::nullopt;
    }
  }
}

int DeviceRoot::openForReading(std::string_view platformPath) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  return openBeneathRoot(platformPath, O_RDONLY | O_NONBLOCK);
}

NSFileManager& NSFileManager::defaultManager() {
  static NSFileManager manager;
  return manager;
}

bool NSFileManager::fileExistsAtPath(std::string_view platformPath) const {
  // A link that leads out of the root counts as missing, as it reads.
  const int fd = openBeneathRoot(platformPath, O_PATH);
  if (fd < 0) return false;
  ::close(fd);
  return true;
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

bool NSFileManager::moveItemAtPathToPath(std::string_view platformPath,
                                         std::string_view destination) const {
  const auto from = DeviceRoot::mapForWriting(platformPath);
  const auto to = DeviceRoot::mapForWriting(destination);
  return from && to &&
         ::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0;
}

std::vector<std::string> NSFileManager::contentsOfDirectoryAtPath(
    std::string_view platformPath) const {
  std::vector<std::string> names;
  const int fd = openBeneathRoot(platformPath, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}
