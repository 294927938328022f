// tessary-sim: the home screen that loads widget bundles, for people, tests and demos.
//
//   tessary-sim --root DIR [--bundle DIR] install
//   tessary-sim --root DIR [--device phone|tablet|old] [--orientation portrait|landscape]
//               --headless --script FILE|- [--transcript] [--snapshot-dir DIR]
//   tessary-sim --root DIR [--device …] [--orientation …] [--scale N] [--clock SECONDS]
//               [--record FILE]                 (a window on the computer's display)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "host/bundles.h"
#include "host/script_runner.h"
#include "host/simulator.h"
#include "host/window.h"

namespace {

constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: tessary-sim --root DIR [--bundle DIR] install\n"
    "       tessary-sim --root DIR [--bundle DIR] [--device phone|tablet|old]\n"
    "                   [--orientation portrait|landscape] --headless --script FILE|-\n"
    "                   [--transcript] [--snapshot-dir DIR]\n"
    "       tessary-sim --root DIR [--bundle DIR] [--device phone|tablet|old]\n"
    "                   [--orientation portrait|landscape] [--scale N] [--clock SECONDS]\n"
    "                   [--record FILE]      opens a window\n";

int usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "tessary-sim: %s\n", problem.c_str());
  std::fputs(kUsageText, stderr);
  return kUsage;
}

int run(int argc, char** argv) {
  Simulator::Options options;
  options.bundleDirectory = TESSARY_BUILT_BUNDLE;
  std::string scriptPath, snapshotDir;
  bool headless = false, transcript = false, install = false, haveRoot = false;
  window::Options windowOptions;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--root") {
      if (!value(options.root) || options.root.empty()) return usage("--root needs a folder");
      haveRoot = true;
    } else if (a == "--bundle") {
      if (!value(options.bundleDirectory)) return usage("--bundle needs a folder");
    } else if (a == "--device") {
      if (!value(v)) return usage("--device needs phone, tablet or old");
      if (v == "phone") {
        options.device = UIDevice::Kind::Phone;
      } else if (v == "tablet") {
        options.device = UIDevice::Kind::Tablet;
      } else if (v == "old") {
        options.device = UIDevice::Kind::Old;
      } else {
        return usage("unknown device " + v);
      }
    } else if (a == "--orientation") {
      if (!value(v)) return usage("--orientation needs portrait or landscape");
      if (v == "portrait") {
        options.orientation = 1;
      } else if (v == "landscape") {
        options.orientation = 3;
      } else {
        return usage("unknown orientation " + v);
      }
    } else if (a == "--headless") {
      headless = true;
    } else if (a == "--script") {
      if (!value(scriptPath) || scriptPath.empty()) return usage("--script needs a file or -");
    } else if (a == "--record") {
      if (!value(windowOptions.recordPath) || windowOptions.recordPath.empty())
        return usage("--record needs a file");
    } else if (a == "--scale") {
      if (!value(v)) return usage("--scale needs a number of pixels per point");
      char* end = nullptr;
      windowOptions.scale = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' ||
          !(windowOptions.scale >= 1 && windowOptions.scale <= 4))
        return usage("--scale is a number from 1 to 4");
    } else if (a == "--clock") {
      if (!value(v)) return usage("--clock needs seconds since 2001-01-01");
      char* end = nullptr;
      const double seconds = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(std::fabs(seconds) <= 2.5e11))
        return usage("--clock is a number of seconds since 2001-01-01 within 2.5e11");
      windowOptions.clock = seconds;
    } else if (a == "--report-idle") {
      windowOptions.reportIdle = true;
    } else if (a == "--transcript") {
      transcript = true;
    } else if (a == "--snapshot-dir") {
      if (!value(snapshotDir) || snapshotDir.empty()) return usage("--snapshot-dir needs a folder");
    } else if (a == "install") {
      install = true;
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsageText, stdout);
      return 0;
    } else {
      return usage("unknown argument " + a);
    }
  }
  if (!haveRoot) return usage("--root is required");

  if (install) {
    if (!scriptPath.empty()) return usage("install and --script do not go together");
    const std::string problem = bundles::install(options.root, options.bundleDirectory);
    if (!problem.empty()) {
      std::fprintf(stderr, "tessary-sim: install: %s\n", problem.c_str());
      return kUsage;
    }
    return 0;
  }
  if (scriptPath.empty() && !headless) {
    if (const std::string problem = window::displayProblem(); !problem.empty()) {
      std::fprintf(stderr,
                   "tessary-sim: %s; run a script without one with --headless --script FILE\n",
                   problem.c_str());
      return kUsage;
    }
    options.manualClock = true;
    Simulator simulator(options);
    return window::run(simulator, windowOptions);
  }
  if (scriptPath.empty()) return usage("--headless needs --script FILE|-");
  if (!headless) return usage("a script runs headless; pass --headless");
  if (!windowOptions.recordPath.empty()) return usage("--record goes with the window only");

  std::ifstream file;
  std::istream* in = &std::cin;
  if (scriptPath != "-") {
    file.open(scriptPath, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "tessary-sim: cannot read the script %s\n", scriptPath.c_str());
      return kUsage;
    }
    in = &file;
  }

  options.manualClock = true;
  Simulator simulator(options);
  ScriptRunner runner(simulator, std::cout, std::cerr);
  runner.setTranscript(transcript);
  if (!snapshotDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(snapshotDir, error);
    if (!std::filesystem::is_directory(snapshotDir, error)) {
      std::fprintf(stderr, "tessary-sim: cannot make the folder %s\n", snapshotDir.c_str());
      return kUsage;
    }
    runner.setSnapshotDirectory(snapshotDir);
  }
  const int status = runner.run(*in);
  for (const auto& problem : simulator.loadProblems()) {
    std::fprintf(stderr, "tessary-sim: skipped bundle %s\n", problem.c_str());
  }
  std::cout.flush();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tessary-sim: %s\n", error.what());
    return 1;
  }
}
