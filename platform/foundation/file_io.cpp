// Whole-file reads and writes on host paths, and reads that stay beneath a folder.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "platform/foundation/file_manager.h"

namespace file_io {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now, so that a failing close (a full disk on some file systems) is seen.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// New files get 0644 less the umask, as a file created by open(2) with 0644 would.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0644 & ~mask;
}

std::optional<std::string> bytesOf(std::optional<size_t> length, std::string&& bytes) {
  if (!length) return std::nullopt;
  bytes.resize(*length);
  return std::move(bytes);
}

// Set once the kernel has said it has no openat2; the walk serves from then on.
std::atomic<bool> openat2Missing{false};

// O_NOFOLLOW on every component: a link anywhere fails the open, even one that stays inside.
int openByWalk(int folderFd, std::string_view relative, int flags) {
  FileDescriptor held(::dup(folderFd));
  while (held.get() >= 0) {
    const size_t slash = relative.find('/');
    const std::string part(relative.substr(0, slash));
    if (part.empty() || part == "..") {
      errno = EXDEV;
      return -1;
    }
    if (slash == std::string_view::npos) {
      const int fd = ::openat(held.get(), part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
      // With O_PATH, O_NOFOLLOW opens a link itself instead of failing.
      struct stat info {};
      if (fd >= 0 && (flags & O_PATH) && ::fstat(fd, &info) == 0 && S_ISLNK(info.st_mode)) {
        ::close(fd);
        errno = ELOOP;
        return -1;
      }
      return fd;
    }
    const int next =
        ::openat(held.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) return -1;
    held.reset(next);
    relative.remove_prefix(slash + 1);
  }
  return -1;
}

// Our temporary files: ".<name>.XXXXXX", the last six as mkstemp makes them.
bool isTemporaryChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A temporary file that nobody holds locked was left by a writer that died before it renamed
// it. The lock is taken on what is open, and the name is checked to still be that file.
void removeStaleTemporaries(const std::string& folder) {
  FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() < 0) return;
  const int listed = ::dup(folderFd.get());
  if (listed < 0) return;
  DIR* dir = ::fdopendir(listed);
  if (!dir) {
    ::close(listed);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!isTemporaryName(name)) continue;
    FileDescriptor file(
        ::openat(folderFd.get(), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0 || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
    struct stat opened {
    }, named{};
    if (::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::fstatat(folderFd.get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      ::unlinkat(folderFd.get(), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// A new temporary file, locked, still under its name: a sweeping writer in another process
// may have removed it between creation and the lock, so that case makes another.
int createLockedTemporary(std::string& temporary) {
  const std::string pattern = temporary;
  for (int attempt = 0; attempt < 4; ++attempt) {
    temporary = pattern;
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return -1;
    struct stat opened {
    }, named{};
    if (::flock(file.get(), LOCK_EX) == 0 && ::fstat(file.get(), &opened) == 0 &&
        ::lstat(temporary.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev) {
      return file.release();
    }
  }
  return -1;
}

}  // namespace

std::optional<size_t> readDescriptorInto(int fd, std::string& buffer) {
  // No fstat before reading: the read itself refuses a folder, anything endless stops at the
  // size limit, and only an empty result is checked, so a regular file costs one system call
  // less per keystroke. The buffer only grows, so a caller that reuses it pays for no
  // allocation or zeroing.
  if (buffer.size() < 4096) buffer.resize(4096);
  size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) {
      if (buffer.size() > kMaxFileSize) return std::nullopt;
      // One byte past the limit is enough to know a file is too big.
      buffer.resize(std::min(buffer.size() * 2, kMaxFileSize + 1));
    }
    const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled > kMaxFileSize) return std::nullopt;
  // Nothing read: only an empty regular file is an empty file (not a FIFO or a device).
  struct stat info {};
  if (filled == 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) return std::nullopt;
  return filled;
}

bool isTemporaryName(std::string_view name) {
  if (name.size() < 9 || name.front() != '.' || name[name.size() - 7] != '.') return false;
  return std::all_of(name.end() - 6, name.end(), isTemporaryChar);
}

int openBeneath(int folderFd, std::string_view relative, int flags, bool walkOnly) {
  if (relative.empty()) relative = ".";
  if (!walkOnly && !openat2Missing.load(std::memory_order_relaxed)) {
    const std::string path(relative);
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, folderFd, path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
    openat2Missing.store(true, std::memory_order_relaxed);
  }
  if (relative == ".") return ::openat(folderFd, ".", flags | O_CLOEXEC);
  return openByWalk(folderFd, relative, flags);
}

std::optional<size_t> readInto(const std::string& hostPath, std::string& buffer) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  FileDescriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return std::nullopt;
  return readDescriptorInto(file.get(), buffer);
}

std::optional<std::string> readAll(const std::string& hostPath) {
  std::string bytes;
  return bytesOf(readInto(hostPath, bytes), std::move(bytes));
}

std::optional<size_t> readBeneathRootInto(std::string_view platformPath, std::string& buffer) {
  FileDescriptor file(DeviceRoot::openForReading(platformPath));
  if (file.get() < 0) return std::nullopt;
  return readDescriptorInto(file.get(), buffer);
}

std::optional<std::string> readDescriptor(int fd) {
  std::string bytes;
  return bytesOf(readDescriptorInto(fd, bytes), std::move(bytes));
}

std::optional<std::string> readBeneathRoot(std::string_view platformPath) {
  std::string bytes;
  return bytesOf(readBeneathRootInto(platformPath, bytes), std::move(bytes));
}

bool writeAtomically(const std::string& hostPath, std::string_view bytes) {
  const size_t slash = hostPath.rfind('/');
  const std::string folder = folderOf(hostPath);
  removeStaleTemporaries(folder);
  std::string temporary =
      folder + "/." + hostPath.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
  // The lock lasts until the descriptor closes, after the rename.
  FileDescriptor file(createLockedTemporary(temporary));
  if (file.get() < 0) return false;

  struct stat old {};
  const mode_t mode = ::stat(hostPath.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                          ? old.st_mode & 07777
                          : newFileMode();
  // Closed only after the rename: without the lock, a sweep could take the file away.
  const bool written = writeAll(file.get(), bytes) && ::fchmod(file.get(), mode) == 0 &&
                       ::fsync(file.get()) == 0 &&
                       ::rename(temporary.c_str(), hostPath.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  file.close();
  // Make the rename itself durable; the new file is complete either way.
  FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) ::fsync(folderFd.get());
  return true;
}

bool writeInPlace(const std::string& hostPath, std::string_view bytes) {
  // A link in the last component is not followed: it could lead out of the device root.
  FileDescriptor file(
      ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  return file.get() >= 0 && writeAll(file.get(), bytes) && file.close();
}

}  // namespace file_io
