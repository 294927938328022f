// Whole-file reads and writes on host paths.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

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

}  // namespace

std::optional<size_t> readInto(const std::string& hostPath, std::string& buffer) {
  // Non-blocking, so that opening a FIFO does not wait for a writer. No fstat before reading:
  // the read itself refuses a folder, anything endless stops at the size limit, and only an
  // empty result is checked, so a regular file costs one system call less per keystroke.
  FileDescriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return std::nullopt;
  // The buffer only grows, so a caller that reuses it pays for no allocation or zeroing.
  if (buffer.size() < 4096) buffer.resize(4096);
  size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) {
      if (buffer.size() > kMaxFileSize) return std::nullopt;
      // One byte past the limit is enough to know a file is too big.
      buffer.resize(std::min(buffer.size() * 2, kMaxFileSize + 1));
    }
    const ssize_t got = ::read(file.get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled > kMaxFileSize) return std::nullopt;
  // Nothing read: only an empty regular file is an empty file (not a FIFO or a device).
  struct stat info {};
  if (filled == 0 && (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
    return std::nullopt;
  }
  return filled;
}

std::optional<std::string> readAll(const std::string& hostPath) {
  std::string bytes;
  const auto length = readInto(hostPath, bytes);
  if (!length) return std::nullopt;
  bytes.resize(*length);
  return bytes;
}

bool writeAtomically(const std::string& hostPath, std::string_view bytes) {
  const size_t slash = hostPath.rfind('/');
  std::string temporary = folderOf(hostPath) + "/." +
                          hostPath.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
  FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) return false;

  struct stat old {};
  const mode_t mode = ::stat(hostPath.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                          ? old.st_mode & 07777
                          : newFileMode();
  const bool written = writeAll(file.get(), bytes) && ::fchmod(file.get(), mode) == 0 &&
                       ::fsync(file.get()) == 0 && file.close() &&
                       ::rename(temporary.c_str(), hostPath.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is complete either way.
  FileDescriptor folder(::open(folderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
}

bool writeInPlace(const std::string& hostPath, std::string_view bytes) {
  // A link in the last component is not followed: it could lead out of the device root.
  FileDescriptor file(
      ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  return file.get() >= 0 && writeAll(file.get(), bytes) && file.close();
}

}  // namespace file_io
