#include "tests/support/value_strings.h"

namespace tessary::test {

std::vector<std::string> strings(const std::shared_ptr<NSArray>& array) {
  std::vector<std::string> out;
  if (!array) return out;
  for (const id& object : array->objects()) {
    const auto text = kindOf<NSString>(object);
    out.push_back(text ? text->UTF8String() : "<not a string>");
  }
  return out;
}

}  // namespace tessary::test
