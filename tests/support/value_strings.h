#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"

namespace tessary::test {

// The strings of a property-list array, in order; an element of another kind reads as
// "<not a string>", and a missing array as no strings.
std::vector<std::string> strings(const std::shared_ptr<NSArray>& array);

}  // namespace tessary::test
