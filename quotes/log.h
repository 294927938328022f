#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessary::quotes {

// Writes one line to standard error in a single call, so lines from worker threads never mix.
void logLine(std::string_view line);

// Makes text from a client safe for one log line: control bytes escaped, length capped.
std::string sanitizeForLog(std::string_view text, std::size_t maxLength = 256);

}  // namespace tessary::quotes
