#pragma once

#include <string>

#include "platform/foundation/values.h"

// The last bytes read from each of a few property-list files and what they parsed to; the
// values are immutable and shared. The kernel tells the cache of every change (inotify), so a
// file no event may concern since it was read is not read again; a file the kernel cannot
// vouch for is read whole and its bytes compared, so an in-place rewrite is seen whatever the
// timestamps say.
namespace read_cache {

// `hostPath` is the key and what is watched; the file itself is read beneath the device root.
id read(const std::string& hostPath, const std::string& platformPath);
void forget(const std::string& hostPath);
// Forgets every entry and every watch, and undoes failWatches.
void forgetAll();
// Makes every new watch fail with `error`, as a full watch table would (0: no longer).
void failWatches(int error);

}  // namespace read_cache
