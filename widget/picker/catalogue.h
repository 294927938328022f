#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/values.h"

// The currency catalogue, the picker's entries and the recents, each read afresh at every use.
namespace catalogue {

// The full name of the first catalogue element whose "ISO" is the code; nothing when the
// catalogue is missing or lacks the code. Elements that are not dictionaries, or whose "ISO"
// or "Currency" is not a string, are skipped.
std::optional<std::string> nameForCode(const std::string& code);

// "Entries.plist" in file order; without the two current codes when `excludeCodes` is set.
// Non-string entries are skipped; a missing file gives no entries.
std::vector<std::string> entries(const std::string& leftCode, const std::string& rightCode,
                                 bool excludeCodes);

// A string value of "Recent.plist"; a non-string counts as absent.
std::optional<std::string> recentString(const NSDictionary* recent, const std::string& key);

// The pair a build shows when "Recent.plist" records none.
inline constexpr const char* kDefaultLeft = "EUR";
inline constexpr const char* kDefaultRight = "USD";

// Fills a missing "left" ("EUR") and "right" ("USD"), writing the file after each; returns the
// dictionary, or null when the file cannot be read as one.
std::shared_ptr<NSMutableDictionary> restorePair();

// Writes the chosen code for a side ("left" or "right"); an unreadable file is replaced by one
// that holds only that key.
void recordChoice(const std::string& side, const std::string& code);

}  // namespace catalogue
