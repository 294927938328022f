#pragma once

#include <optional>
#include <string>
#include <string_view>

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
};

class TESSARY_EXPORT NSFileManager {
 public:
  static NSFileManager& defaultManager();
  bool fileExistsAtPath(std::string_view platformPath) const;
  bool createDirectoryAtPath(std::string_view platformPath) const;
  bool removeItemAtPath(std::string_view platformPath) const;
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
// A new temporary file in the same folder (created exclusively), written, flushed and
// renamed over the path; an existing file's permissions are kept. False on any failure, with
// the old file untouched.
TESSARY_EXPORT bool writeAtomically(const std::string& hostPath, std::string_view bytes);
// Written in place (not atomically), for a caller that asked for that.
TESSARY_EXPORT bool writeInPlace(const std::string& hostPath, std::string_view bytes);
}  // namespace file_io
