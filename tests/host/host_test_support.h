#pragma once

#include <string>
#include <vector>

#include "tests/host/json_reader.h"

namespace tessary::test {

// Where the build put the simulator and the bundles.
inline constexpr const char* kSimulatorPath = TESSARY_SIM_PATH;
inline constexpr const char* kBuiltBundle = TESSARY_BUILT_BUNDLE;
inline constexpr const char* kFakeBundle = TESSARY_FAKE_BUNDLE;

struct SimulatorRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out, err;
  // Every line of standard output that is a JSON object, parsed.
  std::vector<Json> dumps() const;
};

// Runs tessary-sim with the arguments, the script on its standard input (when `script` is
// given, "--headless --script -" are added) and extra environment entries ("NAME=value").
SimulatorRun runSimulator(const std::vector<std::string>& args, const std::string* script,
                          const std::vector<std::string>& environment = {});
inline SimulatorRun runScript(const std::string& root, const std::string& script,
                              const std::vector<std::string>& extraArgs = {},
                              const std::vector<std::string>& environment = {}) {
  std::vector<std::string> args{"--root", root};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  return runSimulator(args, &script, environment);
}

// Appends every view of the dumped tree whose class is `className`, in tree order.
inline void collectViews(const Json& view, const std::string& className,
                         std::vector<const Json*>& found) {
  if (view["class"].string() == className) found.push_back(&view);
  for (const auto& child : view["subviews"].array()) collectViews(child, className, found);
}

}  // namespace tessary::test
