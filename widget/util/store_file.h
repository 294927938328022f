#pragma once

#include <memory>
#include <string>

#include "platform/foundation/values.h"

namespace store_file {

// How many set-aside copies of one file are kept; the oldest go first.
inline constexpr int kKeptCorruptCopies = 3;

// The dictionary in a data file, for an update that sets keys and writes it back. A file that
// is read but holds no dictionary is renamed beside itself ("Rates.plist.corrupt-<time>") and
// the update starts from an empty dictionary, so that one bad file does not stop every later
// update. A file that cannot be opened or read gives nothing and stays as it is; so does a
// missing one, unless `freshWhenMissing`.
std::shared_ptr<NSMutableDictionary> dictionaryForUpdate(const std::string& path,
                                                         bool freshWhenMissing);

}  // namespace store_file
