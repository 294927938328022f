#pragma once

#include <chrono>

// An interval of time in seconds. Delays, waits and durations carry their unit in the type; a
// bare double becomes one only by saying so (`Seconds(0.05)`, or a literal such as `50ms`).
// Points in time stay plain monotonic or wall seconds, as the clock reads them.
using Seconds = std::chrono::duration<double>;
