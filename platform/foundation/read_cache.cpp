#include "platform/foundation/read_cache.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"

namespace read_cache {
namespace {

// What a folder's watch reports of the names in it and of itself, and a file's of itself. A
// write through a shared memory mapping is the one change none of them reports.
constexpr uint32_t kFolderEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                   IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_DELETE_SELF |
                                   IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr uint32_t kFileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW;

// Local file systems, where every change passes through this kernel and is reported; on a
// network or user-space file system another machine's change is not. Overlays count: their
// layers are not to be changed beneath a mounted overlay.
bool reportsEveryChange(const struct statfs& fs) {
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

// A child process inherits the queue's descriptor; its reads would take the parent's events.
std::atomic<bool> forked{false};

class Cache {
 public:
  id read(const std::string& hostPath, const std::string& platformPath) {
    std::lock_guard lock(mutex_);
    if (forked.exchange(false)) leaveInheritedQueue();
    drain();
    auto found = find(hostPath);
    if (found != entries_.end() && found->current) {
      entries_.splice(entries_.begin(), entries_, found);
      return found->value;
    }
    // The watches are in place before the read, so a change in between is reported. A file
    // that could not be watched at its last read is read as it is until it can.
    Chain chain;
    if (found == entries_.end() || found->watchable) chain = watchChain(hostPath);
    struct stat info {};
    bool local = false;
    int error = 0;
    const std::optional<size_t> length = readFile(platformPath, info, local, error);
    if (!length) {
      // A missing file stays missing until an event on the way to it says otherwise.
      if (chain.missing && error == ENOENT) return remember(found, hostPath, std::move(chain));
      release(chain.watches);
      if (found != entries_.end()) erase(found);
      return nullptr;
    }
    // Another hard link or a link on the way is written through a name no watch sees.
    const bool watchable =
        local && S_ISREG(info.st_mode) && info.st_nlink == 1 && namesFile(hostPath, info);
    std::vector<Watch> watches = std::move(chain.watches);
    if (!watchable || chain.missing) {
      release(watches);
      watches.clear();
    }
    if (found != entries_.end()) {
      found->watchable = watchable;
      // The bytes land in a scratch buffer that is reused, so an unchanged file costs the
      // read and one comparison, with no allocation.
      if (found->bytes.size() == *length &&
          std::memcmp(found->bytes.data(), scratch_.data(), *length) == 0) {
        watch(*found, std::move(watches));
        entries_.splice(entries_.begin(), entries_, found);
        return found->value;
      }
      erase(found);
    }
    std::string bytes(scratch_.data(), *length);
    if (scratch_.size() > kMaxScratch) std::string().swap(scratch_);
    id value = property_list::parse(bytes);
    if (bytes.size() > kMaxBytes) {
      release(watches);
      return value;
    }
    totalBytes_ += bytes.size();
    entries_.push_front({hostPath, std::move(bytes), value, {}, false, watchable});
    watch(entries_.front(), std::move(watches));
    while (entries_.size() > kMaxEntries || totalBytes_ > kMaxBytes) {
      erase(std::prev(entries_.end()));
    }
    return value;
  }

  void forget(const std::string& hostPath) {
    std::lock_guard lock(mutex_);
    const auto found = find(hostPath);
    if (found != entries_.end()) erase(found);
  }

  void forgetAll() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    totalBytes_ = 0;
    std::string().swap(scratch_);
    // Closing the queue removes every watch on it.
    if (queue_ >= 0) ::close(queue_);
    queue_ = -1;
    references_.clear();
    failure_ = 0;
  }

  void failWatches(int error) {
    std::lock_guard lock(mutex_);
    failure_ = error;
  }

 private:
  // A watch an entry depends on: a folder on the way to the file, with the name in it that
  // leads there, or the file itself (no name).
  struct Watch {
    int descriptor;
    std::string name;
  };
  // The watches for a path, and whether they end at a component found missing.
  struct Chain {
    std::vector<Watch> watches;
    bool missing = false;
  };
  struct Entry {
    std::string path;
    std::string bytes;
    id value;
    std::vector<Watch> watches;
    // No event may concern the file since it was read; never set for an unwatched file,
    // which is read and compared every time.
    bool current;
    // Neither hard-linked nor reached through a link, on a file system whose changes the
    // kernel reports, when last read.
    bool watchable;
  };
  static constexpr size_t kMaxEntries = 8;
  static constexpr size_t kMaxBytes = 16 << 20;
  // Larger buffers are let go after use rather than held for the process's life.
  static constexpr size_t kMaxScratch = 4 << 20;

  std::list<Entry>::iterator find(const std::string& hostPath) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->path == hostPath) return it;
    }
    return entries_.end();
  }

  void erase(std::list<Entry>::iterator it) {
    release(it->watches);
    totalBytes_ -= it->bytes.size();
    entries_.erase(it);
  }

  void watch(Entry& entry, std::vector<Watch>&& watches) {
    release(entry.watches);
    entry.watches = std::move(watches);
    entry.current = !entry.watches.empty();
  }

  void makeStale(Entry& entry) {
    release(entry.watches);
    entry.watches.clear();
    entry.current = false;
  }

  // Keeps a file known to be missing, watched by the folders on the way to it.
  id remember(std::list<Entry>::iterator found, const std::string& hostPath, Chain&& chain) {
    if (found == entries_.end()) {
      entries_.push_front({hostPath, {}, nullptr, {}, false, true});
      found = entries_.begin();
    } else {
      totalBytes_ -= found->bytes.size();
      std::string().swap(found->bytes);
      found->value = nullptr;
      found->watchable = true;
      entries_.splice(entries_.begin(), entries_, found);
    }
    watch(*found, std::move(chain.watches));
    while (entries_.size() > kMaxEntries) erase(std::prev(entries_.end()));
    return nullptr;
  }

  std::optional<size_t> readFile(const std::string& platformPath, struct stat& info, bool& local,
                                 int& error) {
    const int fd = DeviceRoot::openForReading(platformPath);
    if (fd < 0) {
      error = errno;
      return std::nullopt;
    }
    struct statfs fs {};
    local = ::fstat(fd, &info) == 0 && ::fstatfs(fd, &fs) == 0 && reportsEveryChange(fs);
    const auto length = file_io::readDescriptorInto(fd, scratch_);
    ::close(fd);
    return length;
  }

  // The host path, which the watches follow, names the very file that was read.
  static bool namesFile(const std::string& hostPath, const struct stat& info) {
    struct stat named {};
    return ::lstat(hostPath.c_str(), &named) == 0 && named.st_dev == info.st_dev &&
           named.st_ino == info.st_ino;
  }

  bool ensureQueue() {
    if (queue_ >= 0) return true;
    static std::once_flag registered;
    std::call_once(registered, [] { ::pthread_atfork(nullptr, nullptr, [] { forked = true; }); });
    queue_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return queue_ >= 0;
  }

  int addWatch(const std::string& path, uint32_t events) {
    if (failure_ != 0) {
      errno = failure_;
      return -1;
    }
    const int descriptor = ::inotify_add_watch(queue_, path.c_str(), events);
    if (descriptor >= 0) ++references_[descriptor];
    return descriptor;
  }

  void release(const std::vector<Watch>& watches) {
    for (const Watch& w : watches) {
      const auto it = references_.find(w.descriptor);
      if (it == references_.end() || --it->second > 0) continue;
      ::inotify_rm_watch(queue_, w.descriptor);
      references_.erase(it);
    }
  }

  // Every folder from "/" down to the file, each with the name that leads on, then the file.
  // A component found missing ends the chain there, the folders above it still watched;
  // anything else ends it with no watch: a path that is not plain and absolute, a component
  // that is a link or not a folder, a watch that cannot be made (no descriptor, the user's
  // watches used up).
  Chain watchChain(const std::string& hostPath) {
    Chain chain;
    if (hostPath.empty() || hostPath.front() != '/' || !ensureQueue()) return chain;
    for (size_t start = 1;;) {
      const size_t slash = hostPath.find('/', start);
      const std::string name =
          hostPath.substr(start, slash == std::string::npos ? slash : slash - start);
      if (name.empty() || name == "." || name == "..") break;
      const int folder = addWatch(start == 1 ? "/" : hostPath.substr(0, start - 1), kFolderEvents);
      if (folder < 0) {
        // The folder above, watched for this name, tells when it appears.
        chain.missing = errno == ENOENT && !chain.watches.empty();
        break;
      }
      chain.watches.push_back({folder, name});
      if (slash == std::string::npos) {
        const int file = addWatch(hostPath, kFileEvents);
        if (file >= 0) {
          chain.watches.push_back({file, {}});
          return chain;
        }
        chain.missing = errno == ENOENT;
        break;
      }
      start = slash + 1;
    }
    if (!chain.missing) {
      release(chain.watches);
      chain.watches.clear();
    }
    return chain;
  }

  // Takes every event queued so far; a change another process completed before this read is
  // among them, since the kernel queues it before the writer's call returns.
  void drain() {
    if (queue_ < 0) return;
    for (;;) {
      const ssize_t got = ::read(queue_, events_, sizeof events_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        // Anything but an empty queue leaves no way to know what changed.
        if (got == 0 || errno != EAGAIN) staleAll();
        return;
      }
      for (ssize_t offset = 0; offset < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events_ + offset);
        apply(*event);
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      // Room left for another event: the queue held no more when it was read.
      if (static_cast<size_t>(got) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof events_) {
        return;
      }
    }
  }

  void apply(const inotify_event& event) {
    // An overflowing queue dropped events that may have concerned any file.
    if (event.mask & IN_Q_OVERFLOW) return staleAll();
    const std::string_view name = event.len ? std::string_view(event.name) : std::string_view();
    for (Entry& entry : entries_) {
      for (const Watch& w : entry.watches) {
        if (w.descriptor == event.wd && (name.empty() || w.name.empty() || w.name == name)) {
          makeStale(entry);
          break;
        }
      }
    }
  }

  void staleAll() {
    for (Entry& entry : entries_) makeStale(entry);
  }

  // In a child process: the inherited descriptor and its watches are the parent's.
  void leaveInheritedQueue() {
    if (queue_ >= 0) ::close(queue_);
    queue_ = -1;
    references_.clear();
    for (Entry& entry : entries_) {
      entry.watches.clear();
      entry.current = false;
    }
  }

  std::mutex mutex_;
  std::string scratch_;
  std::list<Entry> entries_;
  size_t totalBytes_ = 0;
  int queue_ = -1;
  // How many entries depend on each watch; one watch serves every entry on its folder.
  std::unordered_map<int, int> references_;
  int failure_ = 0;
  alignas(inotify_event) char events_[16 << 10];
};

Cache& cache() {
  static Cache instance;
  return instance;
}

}  // namespace

id read(const std::string& hostPath, const std::string& platformPath) {
  return cache().read(hostPath, platformPath);
}

void forget(const std::string& hostPath) {
  cache().forget(hostPath);
}

void forgetAll() {
  cache().forgetAll();
}

void failWatches(int error) {
  cache().failWatches(error);
}

}  // namespace read_cache
