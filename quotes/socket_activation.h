#pragma once

#include <string>

namespace tessary::quotes {

// The listening socket systemd passes a socket-activated service: LISTEN_PID names this
// process and LISTEN_FDS counts descriptors from 3 on. The variables are removed either way,
// so no child takes them for its own.
struct Activation {
  int fd = -1;        // -1: not socket-activated
  std::string error;  // set when the variables are there but unusable
};
Activation takeActivatedSocket();

}  // namespace tessary::quotes
