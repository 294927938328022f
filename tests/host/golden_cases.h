#pragma once

#include <string>
#include <vector>

// The screens the committed golden pictures show, as scripts after a pinned clock of
// 800000000, shared by the picture comparison and the damage-drawing test.
namespace tessary::test {

// A rate for EUR and USD a few hours old at the pinned clock, so typing converts without the
// network.
inline constexpr const char* kRates = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>EUR-USD</key><string>1.0843</string></dict></plist>
)";
inline constexpr const char* kDates = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>EUR-USD</key><real>799990000</real></dict></plist>
)";

struct GoldenCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* script;  // after the pinned clock
  bool seedRate = true;
};

inline const GoldenCase kGoldenCases[] = {
    {"compact-portrait", {}, "show\nwait 1\n"},
    {"compact-landscape", {"--orientation", "landscape"}, "show\nwait 1\n"},
    {"detail-portrait", {}, "settings Detail true\nshow\nwait 1\n"},
    {"detail-landscape", {"--orientation", "landscape"}, "settings Detail true\nshow\nwait 1\n"},
    {"picker-above", {}, "settings Detail true\nshow\nwait 1\ntap button:EUR\nwait 1\n"},
    {"picker-below", {}, "show\nwait 1\ntap field:left\nwait 1\ntap button:USD\nwait 1\n"},
    {"keyboard-portrait", {}, "show\nwait 1\ntap field:left\ntype 12.5\nwait 1\n"},
    {"keyboard-landscape",
     {"--orientation", "landscape"},
     "settings Detail true\nshow\nwait 1\ntap field:left\ntype 12.5\nwait 1\n"},
    {"tablet",
     {"--device", "tablet"},
     "settings Detail true\nshow\nwait 1\ntap field:right\ntype 250\nwait 1\n"},
    {"error-alert",
     {},
     "settings Detail true\nshow\nwait 1\ntap image:Refresh.png\nsettle\nwait 1\n",
     false},
    // The overlay half-way through its 0.6 s fade: the list dimmed by half the setting.
    {"overlay-half-faded", {}, "settings Detail true\nshow\nwait 1\ntap button:EUR\nwait 0.3\n"},
};

}  // namespace tessary::test
