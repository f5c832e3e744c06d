#pragma once
// The rate at which the sound server's default sink runs. A stream at
// another rate is resampled, and its periods fall unevenly on the server's
// cycles: the device clock then sees callbacks jitter by a cycle.
#include <chrono>
#include <optional>

namespace fw::sound {

// Nothing when no server answers within the limit.
std::optional<int> DefaultSinkRate(std::chrono::milliseconds limit);

}  // namespace fw::sound
