#include "widget/util/store_file.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_manager.h"

namespace store_file {
namespace {

// UTC to the second, for people reading the folder: 20261208T075400Z. The order of the copies
// never depends on it.
std::string timeStamp() {
  const double seconds = Clock::current().wall() + kReferenceDateUnixTime;
  const auto unixTime = static_cast<time_t>(std::fabs(seconds) < 1e15 ? seconds : 0.0);
  tm utc{};
  char text[32] = "0";
  if (::gmtime_r(&unixTime, &utc)) std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

// The place of a set-aside copy from what follows "<name>.corrupt-": "<n>-<time>" gives n; a
// copy named by its time alone ("20260706T000000Z", "20260706T000000Z-2") predates the numbers
// and counts as older than any numbered one. Other names are not ours and are left alone.
std::optional<uint64_t> sequenceOf(std::string_view suffix) {
  size_t digits = 0;
  while (digits < suffix.size() && suffix[digits] >= '0' && suffix[digits] <= '9') ++digits;
  if (digits == 0) return std::nullopt;
  if (digits == suffix.size() || suffix[digits] == 'T') return 0;
  if (suffix[digits] != '-' || digits > 15) return std::nullopt;
  uint64_t n = 0;
  for (size_t i = 0; i < digits; ++i) n = n * 10 + static_cast<uint64_t>(suffix[i] - '0');
  return n;
}

bool setAside(const std::string& path) {
  auto& files = NSFileManager::defaultManager();
  const size_t slash = path.rfind('/');
  const std::string folder = path.substr(0, slash + 1);
  const std::string prefix = path.substr(slash + 1) + ".corrupt-";
  std::vector<std::pair<uint64_t, std::string>> copies;
  uint64_t highest = 0;
  for (std::string& name : files.contentsOfDirectoryAtPath(folder)) {
    if (!name.starts_with(prefix)) continue;
    if (const auto n = sequenceOf(std::string_view(name).substr(prefix.size()))) {
      highest = std::max(highest, *n);
      copies.emplace_back(*n, std::move(name));
    }
  }
  // The move never replaces a name: one taken meanwhile by a writer that holds no lock moves
  // this copy on to the next number.
  const std::string stamp = timeStamp();
  std::string made;
  for (uint64_t n = highest + 1; made.empty() && n <= highest + 8; ++n) {
    std::string name = prefix + std::to_string(n) + "-" + stamp;
    if (files.moveItemAtPathToPath(path, folder + name)) {
      made = name;
      copies.emplace_back(n, std::move(name));
    }
  }
  if (made.empty()) return false;
  std::sort(copies.begin(), copies.end());
  for (size_t i = 0; i + kKeptCorruptCopies < copies.size(); ++i) {
    if (copies[i].second != made) files.removeItemAtPath(folder + copies[i].second);
  }
  return true;
}

// An exclusive flock on the folder of a data file, held while it lives. A lock on the file
// itself would be lost when the new file is renamed over it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& path) {
    const size_t slash = path.rfind('/');
    fd_ = DeviceRoot::openForReading(path.substr(0, slash == 0 ? 1 : slash));
    while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      ::close(fd_);
      fd_ = -1;
    }
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

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

bool update(const std::string& path, bool freshWhenMissing,
            const std::function<bool(const std::shared_ptr<NSMutableDictionary>&)>& change) {
  // Without the lock the update is skipped: the file could not have been read either.
  const FolderLock lock(path);
  if (!lock.held()) return false;
  const auto dictionary = dictionaryForUpdate(path, freshWhenMissing);
  if (!dictionary) return false;
  return !change(dictionary) || dictionary->writeToFileAtomically(path, true);
}

void createIfMissing(const std::string& path) {
  const FolderLock lock(path);
  if (lock.held() && !NSFileManager::defaultManager().fileExistsAtPath(path)) {
    NSDictionary().writeToFileAtomically(path, true);
  }
}

}  // namespace store_file
