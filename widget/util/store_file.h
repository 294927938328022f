#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/values.h"

namespace store_file {

// How many set-aside copies of one file are kept; the oldest go first.
inline constexpr int kKeptCorruptCopies = 3;

// The dictionary in a data file, for an update that sets keys and writes it back. A file that
// is read but holds no dictionary is set aside beside itself ("Rates.plist.corrupt-<n>-<UTC
// time>", n one above the highest copy present, so the newest copies are kept whatever the
// clock says) and the update starts from an empty dictionary, so that one bad file does not
// stop every later update. A file that cannot be opened or read gives nothing and stays as it
// is; so does a missing one, unless `freshWhenMissing`. The caller holds the folder's lock.
std::shared_ptr<NSMutableDictionary> dictionaryForUpdate(const std::string& path,
                                                         bool freshWhenMissing);

// One read-modify-write of a data file, under an exclusive flock on its folder held from before
// the read until after the rename, so that two processes updating one store lose neither's
// keys. `change` edits the dictionary that dictionaryForUpdate gives and answers whether to
// write it back. True when the file was read and, if changed, written.
bool update(const std::string& path, bool freshWhenMissing,
            const std::function<bool(const std::shared_ptr<NSMutableDictionary>&)>& change);

// Writes an empty dictionary where the file is missing, under the same lock, so that it never
// replaces a file another process has just made.
void createIfMissing(const std::string& path);

}  // namespace store_file
