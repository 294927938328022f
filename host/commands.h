#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "host/script.h"
#include "host/simulator.h"
#include "host/touch_tracking.h"

// The headless script's commands, as a table: each command's name, how many arguments it
// takes, its usage line and what it does.
namespace commands {

// What a command works on: the simulator, where `dump` and `locate` write, the finger that
// `touch` and `swipe` move, and the pixels per point of snapshots.
struct Context {
  Simulator& sim;
  std::ostream& out;
  TouchTracker& touches;
  double& scale;
};

// Answers an empty string on success, or the reason the command failed.
using Handler = std::string (*)(Context& context, const script::Command& command);

struct Entry {
  std::string_view name;
  size_t leastArguments;
  size_t mostArguments;
  std::string_view usage;
  Handler handler;
};

std::span<const Entry> table();
// Null for a name no command has.
const Entry* find(std::string_view name);

// Checks the number of arguments, then runs the command.
std::string run(Context& context, const script::Command& command);

// A number as the transcript and `locate` print it: whole numbers without a point, others as
// the shortest text that reads back the same.
std::string numberText(CGFloat value);

}  // namespace commands

// The orientation a `rotate` argument names: 1 to 4, or portrait, upsidedown, landscaperight,
// landscapeleft.
std::optional<UIInterfaceOrientation> orientationNamed(const std::string& name);
// The orientation's name as `rotate` takes it.
const char* orientationName(UIInterfaceOrientation orientation);
// The device a `device` argument or --device names: phone, tablet or old.
std::optional<UIDevice::Kind> deviceNamed(const std::string& name);
