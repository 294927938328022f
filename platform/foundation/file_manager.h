#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/objc.h"

// Every absolute platform path ("/var/mobile/Library/...") lives under a device root chosen by
// the program or test, like a simulator's sandbox. Paths that would climb out of the root map
// to nothing, so nothing is ever read or written outside it.
class TESSARY_EXPORT DeviceRoot {
 public:
  static void set(std::string directory);
  static const std::string& get();
  // The host path for a platform path, or nullopt for a relative path or one with "..".
  static std::optional<std::string> map(std::string_view platformPath);
  // The same for a path about to be written or removed, and nullopt also when a link inside
  // the root would lead the write outside it.
  static std::optional<std::string> mapForWriting(std::string_view platformPath);
  // A descriptor open for reading on the platform path, with every component, links included,
  // resolved beneath the root; -1 when the file is missing or unreadable, or a link leads out.
  static int openForReading(std::string_view platformPath);
};

class TESSARY_EXPORT NSFileManager {
 public:
  static NSFileManager& defaultManager();
  bool fileExistsAtPath(std::string_view platformPath) const;
  bool createDirectoryAtPath(std::string_view platformPath) const;
  bool removeItemAtPath(std::string_view platformPath) const;
  // Renames within the root; refuses to replace an existing destination.
  bool moveItemAtPathToPath(std::string_view platformPath, std::string_view destination) const;
  // The names in a folder, "." and ".." left out, in no particular order; empty when the
  // folder cannot be read.
  std::vector<std::string> contentsOfDirectoryAtPath(std::string_view platformPath) const;
};

// Whole-file I/O on host paths, for the property-list layer and the tests.
namespace file_io {
// No file of ours comes near this; a bigger one is neither read nor written.
inline constexpr size_t kMaxFileSize = 16 << 20;
// nullopt when the file is missing or unreadable.
TESSARY_EXPORT std::optional<std::string> readAll(const std::string& hostPath);
// Reads the whole file into the front of `buffer`, which only grows; the length read, or
// nullopt as readAll.
TESSARY_EXPORT std::optional<size_t> readInto(const std::string& hostPath, std::string& buffer);
// Reads an open file to its end into the front of `buffer`, as readInto.
std::optional<size_t> readDescriptorInto(int fd, std::string& buffer);
// The same two for a platform path, read beneath the device root (DeviceRoot::openForReading).
TESSARY_EXPORT std::optional<std::string> readBeneathRoot(std::string_view platformPath);
TESSARY_EXPORT std::optional<size_t> readBeneathRootInto(std::string_view platformPath,
                                                         std::string& buffer);
// The rest of an open file, as readAll reads it; the descriptor stays open.
TESSARY_EXPORT std::optional<std::string> readDescriptor(int fd);
// Opens `relative` (no "..", no empty component) beneath the folder `folderFd` with `flags`
// (O_RDONLY or O_PATH, O_CLOEXEC added) so that neither ".." nor a link leads out of it:
// openat2 with RESOLVE_BENEATH, or, where the kernel lacks it or `walkOnly` asks for it, a
// walk one component at a time that follows no link at all. -1 with errno on failure.
TESSARY_EXPORT int openBeneath(int folderFd, std::string_view relative, int flags,
                               bool walkOnly = false);
// A new temporary file in the same folder (created exclusively and held under an flock while
// it is written), flushed and renamed over the path; an existing file's permissions are kept.
// False on any failure, with the old file untouched. Temporary files of this pattern in the
// folder that nobody holds locked were left by a killed writer and are removed first.
TESSARY_EXPORT bool writeAtomically(const std::string& hostPath, std::string_view bytes);
// Whether a file name has the temporary pattern of writeAtomically: ".<name>.XXXXXX".
TESSARY_EXPORT bool isTemporaryName(std::string_view name);
// Written in place (not atomically), for a caller that asked for that.
TESSARY_EXPORT bool writeInPlace(const std::string& hostPath, std::string_view bytes);
}  // namespace file_io
