// The host with the built bundle in a temporary device root, showing the detail layout.
#pragma once

#include <cstddef>
#include <memory>

#include "bench/bench_support.h"
#include "host/simulator.h"

namespace bench_support {

// At a fixed clock, with a store of `pairs` rates the newest of which is 10,000 seconds old (no
// store when 0), shown and settled.
class DetailScreen {
 public:
  explicit DetailScreen(std::size_t pairs);
  Simulator& sim() { return *sim_; }

 private:
  TempFolder root_;
  std::unique_ptr<Simulator> sim_;  // goes before its root
};

}  // namespace bench_support
