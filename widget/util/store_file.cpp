#include "widget/util/store_file.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_manager.h"

namespace store_file {
namespace {

// UTC to the second, so that names sort by age: 20261208T075400Z.
std::string timeStamp() {
  const auto unixTime = static_cast<time_t>(Clock::current().wall() + kReferenceDateUnixTime);
  tm utc{};
  char text[32] = "0";
  if (::gmtime_r(&unixTime, &utc)) std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

bool setAside(const std::string& path) {
  auto& files = NSFileManager::defaultManager();
  const size_t slash = path.rfind('/');
  const std::string folder = path.substr(0, slash + 1);
  const std::string prefix = path.substr(slash + 1) + ".corrupt-";
  const std::string stamp = timeStamp();
  bool moved = files.moveItemAtPathToPath(path, path + ".corrupt-" + stamp);
  // Another bad file within the same second: "-2" sorts after the plain stamp.
  for (int n = 2; !moved && n <= 9; ++n) {
    moved = files.moveItemAtPathToPath(path, path + ".corrupt-" + stamp + "-" + std::to_string(n));
  }
  if (!moved) return false;
  std::vector<std::string> copies;
  for (std::string& name : files.contentsOfDirectoryAtPath(folder)) {
    if (name.starts_with(prefix)) copies.push_back(std::move(name));
  }
  std::sort(copies.begin(), copies.end());
  for (size_t i = 0; i + kKeptCorruptCopies < copies.size(); ++i) {
    files.removeItemAtPath(folder + copies[i]);
  }
  return true;
}

}  // namespace

std::shared_ptr<NSMutableDictionary> dictionaryForUpdate(const std::string& path,
                                                         bool freshWhenMissing) {
  if (auto dictionary = NSMutableDictionary::dictionaryWithContentsOfFile(path)) {
    return dictionary;
  }
  // Bytes that read but do not parse as a dictionary are corrupt; anything else (missing,
  // a folder, no permission, no descriptor left) is not ours to touch.
  if (NSData::dataWithContentsOfFile(path)) {
    return setAside(path) ? std::make_shared<NSMutableDictionary>() : nullptr;
  }
  // Only a file known to be missing starts afresh: a failed look (no descriptor left, a link
  // out of the root) cannot tell, and a fresh dictionary would write over what is there.
  errno = 0;
  if (freshWhenMissing && !NSFileManager::defaultManager().fileExistsAtPath(path) &&
      errno == ENOENT) {
    return std::make_shared<NSMutableDictionary>();
  }
  return nullptr;
}

}  // namespace store_file
