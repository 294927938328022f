#pragma once

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::test {

// The host's JSON read back, by a reader that is not the host's writer. Tests reach members
// with at(), so a missing key fails the test with an exception instead of reading as null.
using Json = nlohmann::json;

// Nullopt for text that is not exactly one JSON value.
inline std::optional<Json> parseJson(std::string_view text) {
  Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return json;
}

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
  if (view.at("class").get<std::string>() == className) found.push_back(&view);
  for (const auto& child : view.at("subviews")) collectViews(child, className, found);
}

// The converter's field texts (className "UITextField", key "text") or currency codes
// ("UIButton", "title"), left to right, wherever the converter lies (in the widget's row, or
// lifted onto the picker's overlay); the picker's code row is not counted.
inline std::vector<std::string> converterTexts(const Json& dump, const std::string& className,
                                               const char* key) {
  std::vector<const Json*> views;
  const Json& tree = dump.at("overlay").is_null() ? dump.at("widget") : dump.at("overlay");
  for (const auto& child : tree.at("subviews")) {
    if (child.at("class").get<std::string>() == "UIView") collectViews(child, className, views);
  }
  std::stable_sort(views.begin(), views.end(), [](const Json* a, const Json* b) {
    return a->at("frame").at(0).get<double>() < b->at("frame").at(0).get<double>();
  });
  std::vector<std::string> out;
  for (const Json* view : views) {
    if (className != "UIButton" || view->at("title").get<std::string>().size() == 3)
      out.push_back(view->at(key).get<std::string>());
  }
  return out;
}

}  // namespace tessary::test
